// The monitor of one printer: its hidden window, tray icon, popup menu with the driver's
// auxiliary tools, the two watch timers and the process's record in the instance table.
//
// The tray icon, menu and launching are in src/tray; construction, start-up, the
// duplication and deleted-printer checks, timers, clean-up and the window procedure here.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "close_request.h"
#include "instance_check.h"
#include "printer.h"

// The shell's tray icon callback to the frame's window (WM_REFRESHICON, which other
// programs send, is with the monitor's window class in instance_check.h).
constexpr UINT WM_TRAYNOTIFY = WM_USER + 100; // 1124: mouse message in lParam

// Timers: both are one-shot in effect (killed on arrival, restarted after the check).
constexpr UINT_PTR TIMER_PRINTER_CHECK = 2;
constexpr UINT_PTR TIMER_MASK_CHECK = 4;
constexpr UINT MASK_CHECK_PERIOD = 3000;

// Menu commands.
constexpr UINT ID_PRINTER_STATUS = 900;
constexpr UINT ID_MONITOR_PREFS = 901;
constexpr UINT ID_AUX_FIRST = 920;
constexpr UINT ID_AUX_LAST = 998;         // last command with a registry value and resources
constexpr UINT ID_AUX_DISPATCH_LAST = 999; // commands up to here reach OnAux
constexpr int AUX_ITEM_COUNT = 79;         // slots for commands 920 to 998

// The hidden window of every running monitor (any printer).
#define FRAME_WINDOW_CLASS MONITOR_WINDOW_CLASS // "TrayIconWClass"
#define FRAME_WINDOW_TITLE "ZET3 TrayIcon"
constexpr DWORD FRAME_WINDOW_STYLE = WS_MINIMIZE | WS_OVERLAPPEDWINDOW; // 0x20CF0000

// Resources taken from the driver's resource library.
constexpr int TRAY_ICON_COUNT = 3;     // images for TrayIconSelected 0, 1, 2
constexpr UINT IDI_TRAY_FIRST = 700;   // icons 700, 701, 702
constexpr UINT IDM_TRAY_MENU = 801;    // the popup menu (its first submenu is shown)

// The tray record's size: the first form, ending with a 64-byte tip (88 bytes in a 32-bit
// program, 104 in a 64-bit one).
constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
constexpr int TRAY_TIP_CHARS = 63;

// Attempts and pause when the notification area is not ready yet at log-on.
constexpr int TRAY_ADD_ATTEMPTS = 11; // the first try and up to 10 retries
constexpr DWORD TRAY_ADD_RETRY_DELAY = 1000;

// Indices of the frame's message texts.
enum FrameText {
    TEXT_CAPTION = 0,        // "ORVEL Zetwatch"
    TEXT_STATUS_FAILED = 1,  // Printer Status could not be opened
    TEXT_PREFS_FAILED = 2,   // Monitoring Preferences could not be opened
    TEXT_NO_MEMORY = 3,      // the instance table failed
    TEXT_NO_FILE = 4,        // the resource library is missing
    TEXT_COUNT = 5
};

// One owner-drawn auxiliary menu item (slot k belongs to command 920 + k).
class CAuxMenuItem {
public:
    CAuxMenuItem();
    virtual ~CAuxMenuItem();
    CAuxMenuItem(const CAuxMenuItem&) = delete;
    CAuxMenuItem& operator=(const CAuxMenuItem&) = delete;

    UINT m_nCommand;       // 920 + slot; 0 until used
    HBITMAP m_hBitmap;     // bitmap resource of the command, may be null
    char m_szText[260];    // string resource of the command
};

// The shell call that adds, changes and deletes the tray icon; tests replace it to make
// the notification area refuse an icon.
typedef BOOL(WINAPI* ShellNotifyIconFn)(DWORD message, PNOTIFYICONDATAA data);

class CMainFrame {
public:
    CMainFrame();
    virtual ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Releases what the running frame holds: timers, its instance-table slot and handle,
    // the tray icon and the menu. Safe to run more than once. Always 0.
    virtual int CleanUp();

    // Registers the window class and creates the hidden window; 1 when it exists.
    int CreateFrameWindow(const char* className, const char* title, DWORD style, HINSTANCE instance);
    // 1 running, 0 stop quietly, -1 this printer can never be served.
    int StartUp();
    void OnTimer(UINT_PTR id);
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Instance table (one copy per printer).
    int DuplicationChk();
    // Deleted-printer check: 1 present (or not checked), 0 gone and start-up entries removed.
    // A monitor without a printer name checks that its port is still there.
    int ChkDelPrn();

    // Tray icon.
    int LoadTraySettings();
    int SetTrayIcon(int index, int add);
    int RefreshTrayIcon();
    int DisableTrayIcon();
    // The shell's notification area was re-created: show the icon again.
    int OnTaskbarCreated();

    // Popup menu and auxiliary tools.
    int BuildAuxMenu(HMENU popup);
    void MeasureAuxItem(MEASUREITEMSTRUCT* item);
    void DrawAuxItem(const DRAWITEMSTRUCT* item);
    int OnTrayNotify(WPARAM wParam, LPARAM mouseMessage);
    void OnAux(UINT command);
    int GetDepExeName(char* buffer, DWORD size);
    int IsDepExeCommand(UINT command, const char* programName);
    int HasIoUrl();

    // Launching the status-window program.
    int StartExe(const char* commandLine);
    int StartZETExe(const char* programPath, int preferences);
    void OnPrinterStatus();
    void OnMonitorPrefs();

    // Fields, in the order of the frame's record.
    CAuxMenuItem* m_pAuxItems;
    char m_szPortName[260];
    char m_szModelID[260];
    char m_szPrinterName[260];
    char m_szDriverName[260];
    char m_szTargetKey[260];
    HWND m_hWnd;
    HMENU m_hMenu;
    InstanceTable m_table;
    char m_szMsg[TEXT_COUNT][260];
    int m_fRemove;
    int m_fIconInstall;
    HICON m_hIcon[TRAY_ICON_COUNT];
    int m_nSelectedIcon;
    NOTIFYICONDATAA m_nid;
    HMODULE m_hResDll;
    char m_szResDllPath[260];
    char m_szProfilePath[260];
    UINT_PTR m_nPrinterCheckTimer;
    UINT m_nPrinterCheckInterval;
    int m_nAuxItemCount;
    UINT_PTR m_nMaskCheckTimer;

    // Beyond the record: the shell's "TaskbarCreated" message, the tray-add seam and the
    // menu's scale.
    UINT m_uTaskbarCreated;
    ShellNotifyIconFn m_pfnNotifyIcon;
    DWORD m_dwTrayRetryDelay;
    // The port listing that a port-only monitor's deleted-printer check reads.
    EnumPortsFn m_pfnEnumPorts = EnumPortsA;
    // The DPI that the popup menu's tool items are measured and drawn at: that of the
    // monitor where the menu last opened; 0 until then (the system's).
    UINT m_nMenuDpi = 0;
    // The installer's close request for the monitors of this program's folder, watched
    // while running.
    CloseRequestWatch m_closeWatch;

private:
    // The printer key: the printer name, or the port name when the printer name is empty.
    const char* KeyName() const;
    // 1 when the printer opens (or, without a printer name, the spooler lists the port).
    int IsPrinterPresent();
    // The profile's default tray image for the model.
    int ProfileSelectedIcon() const;
    // Adds the icon, retrying while the notification area is not ready.
    BOOL AddTrayIconWithRetry();
    void SetMessageTexts();
    int PrepareMenu();
    UINT MenuDpi() const;
};

// The one frame of the process, reached by the window procedure.
extern CMainFrame* g_pMainFrame;
LRESULT CALLBACK FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

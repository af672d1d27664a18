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
#include "printer_status.h"
#include "printer_watch.h"

// The shell's tray icon callback to the frame's window (WM_REFRESHICON, which other
// programs send, is with the monitor's window class in instance_check.h).
constexpr UINT WM_TRAYNOTIFY = WM_USER + 100; // 1124: mouse message in lParam
// The printer-change waiter's call to the frame: read the printer's state again.
constexpr UINT WM_PRINTERCHANGE = WM_USER + 101;

// Timers: both are one-shot in effect (killed on arrival, restarted after the check).
constexpr UINT_PTR TIMER_PRINTER_CHECK = 2;
constexpr UINT_PTR TIMER_MASK_CHECK = 4;
constexpr UINT MASK_CHECK_PERIOD = 3000;
// The state's notification waits this long in Error or Offline (one-shot timer).
constexpr UINT_PTR TIMER_ATTENTION = 5;
constexpr DWORD ATTENTION_DELAY = 10000;
// With a change notification the state is still read on every twentieth check (60 s).
constexpr int STATE_REREAD_CHECKS = 20;

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

// The tray record's size: the form with the 128-byte tip, the notification texts and the
// icon's version (shells ignore a notification in the 88-byte first form).
constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V3_SIZE;
constexpr int TRAY_TIP_CHARS = 127;

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

    // The menu item's data: what screen readers read of an owner-drawn item (the layout of
    // MSAAMENUINFO: its signature, the name's length and the name, "&" before the access
    // key), then the access key's offset in m_szText (-1: none).
    struct AccessName {
        DWORD signature;
        DWORD chars;
        WCHAR* text;
    } m_access;
    WCHAR m_wszName[262];
    int m_nAccessKey;
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
    // The display scale may have changed: images at the shell's new small-icon size. 1
    // when they were loaded again.
    int OnDisplayScaleChanged();

    // The printer's state on the icon, in its tooltip and in a notification.
    // Reads the two switches (target, profile, policy).
    void LoadStateSwitches();
    // Starts watching the printer's state: by change notification, else by the checks.
    void StartStateWatch();
    // Reads the state from an open printer now (level 6, and level 2 when due) and shows it.
    void ReadPrinterState(HANDLE printer);
    // Opens the printer and reads its state.
    void ReadPrinterStateNow();
    // The change waiter's message: a deleted printer closes the monitor, else the state is
    // read again. 1 when the monitor is closing.
    int OnPrinterChange();
    // The tooltip: the printer key, then the state and the document count when not Ready.
    void ComposeTrayTip(char* tip, size_t size) const;
    // The flags of a record that carries the tooltip: NIF_TIP, and at version 4, where the
    // shell shows its tooltip only when asked, NIF_SHOWTIP.
    UINT TrayTipFlags() const;
    // WM_REFRESHICON: the switches, the state and the image read again.
    void OnRefreshIcon();
    // Shows the notification for the state now (once per episode).
    int ShowAttentionBalloon();

    // Popup menu and auxiliary tools.
    int BuildAuxMenu(HMENU popup);
    void MeasureAuxItem(MEASUREITEMSTRUCT* item);
    void DrawAuxItem(const DRAWITEMSTRUCT* item);
    // WM_MENUCHAR: the tool item of `menu` whose access key is `key`, as the result that
    // runs it; 0 when none.
    LRESULT OnMenuChar(UINT key, HMENU menu);
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

    // The printer's state: the switches, the last sample and what it shows.
    int m_fShowState = 1;
    int m_fNotify = 1;
    CPrinterStatusReader m_stateReader;
    PrinterCondition m_condition = PRINTER_READY; // as read
    PrinterCondition m_shownCondition = PRINTER_READY; // as the icon shows it
    const char* m_pszStateText = "";  // one of m_stateTexts, or ""
    CStateTexts m_stateTexts;         // in the resource library's language
    DWORD m_dwShownJobs = 0;
    HICON m_hStateIcon = nullptr;     // the composed image in use, or null
    bool m_fInTrouble = false;        // in Error or Offline since the episode began
    bool m_fBalloonShown = false;     // this episode's notification was shown
    DWORD m_dwAttentionDelay = ATTENTION_DELAY;
    UINT_PTR m_nAttentionTimer = 0;
    int m_nChecksSinceRead = 0;
    CPrinterWatch m_watch;
    const PrinterChangeApi* m_pChangeApi = SpoolerChangeApi();
    // The shell's notify-icon version in use (4, 3, or 0 when the shell took neither).
    UINT m_uTrayVersion = 0;
    // A left click's NIN_SELECT follows its WM_LBUTTONUP: the click is not a selection.
    bool m_fMouseSelect = false;

private:
    // The printer key: the printer name, or the port name when the printer name is empty.
    const char* KeyName() const;
    // 1 when the printer opens (or, without a printer name, the spooler lists the port).
    int IsPrinterPresent();
    // The profile's default tray image for the model.
    int ProfileSelectedIcon() const;
    // Adds the icon, retrying while the notification area is not ready.
    BOOL AddTrayIconWithRetry();
    // Asks the shell for the newest notify-icon version it knows, and has the shell show the
    // tooltip at that version.
    void SetTrayVersion();
    void SetMessageTexts();
    int PrepareMenu();
    UINT MenuDpi() const;
    // The image for the selected icon and the shown state (a composed one while badged).
    HICON TrayImage(int index);
    // Applies the sample: tooltip and badge when they change, the notification's episode.
    void ApplyPrinterState();
    void ShowTrayMenu(POINT anchor);
};

// The one frame of the process, reached by the window procedure.
extern CMainFrame* g_pMainFrame;
LRESULT CALLBACK FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

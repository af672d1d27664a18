// The monitor of one printer: its hidden window, tray icon, popup menu with the driver's
// auxiliary tools, the two watch timers and the process's record in the instance table.
//
// The tray icon, menu and launching are in src/tray; construction, start-up, the
// duplication and deleted-printer checks, timers, clean-up and the window procedure here.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "attention.h"
#include "instance_check.h"
#include "printer.h"
#include "printer_status.h"
#include "printer_watch.h"

// The shell's tray icon callback to the frame's window (WM_REFRESHICON, which other
// programs send, is with the monitor's window class in instance_check.h).
constexpr UINT WM_TRAYNOTIFY = WM_USER + 100; // 1124: mouse message in lParam
// The printer's worker to the frame: a report waits (CPrinterWatch::Take).
constexpr UINT WM_PRINTERREPORT = WM_USER + 101;

// Timers that ask the printer's worker for its checks: the printer and its monitoring
// switch every 3 s, and the deleted-printer check at the interval that the profile sets.
constexpr UINT_PTR TIMER_PRINTER_CHECK = 2;
constexpr UINT_PTR TIMER_MASK_CHECK = 4;
constexpr UINT MASK_CHECK_PERIOD = 3000;
// The state's notification waits this long in Error or Offline (one-shot timer).
constexpr UINT_PTR TIMER_ATTENTION = 5;
constexpr DWORD ATTENTION_DELAY = 10000;

// What a callback of the shell asks of the icon, decoded once.
enum TrayAction { TRAY_NOTHING, TRAY_MENU, TRAY_STATUS };
struct TrayEvent {
    TrayAction action;
    POINT anchor; // where the menu opens: the icon's point (version 4) or the cursor's
};
// Decodes the callback of the notify-icon version in use (4, 3, or 0 for none).
// *mouseSelect carries a left click from its WM_LBUTTONUP to the NIN_SELECT that follows,
// which is that click and does nothing.
TrayEvent DecodeTrayNotify(UINT version, WPARAM wParam, LPARAM lParam, bool* mouseSelect);

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
    // What the latest open told of the printer (PRESENCE_*): while it cannot be reached, the
    // icon says so; when it answers again, its state shows again.

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
    // Starts watching the printer (its worker, the state while a switch wants it), the
    // timers of the checks and the installer's close request.
    void StartWatch();
    // The worker's report: a printer found deleted (its start-up entries gone), gone or
    // switched off closes the monitor; otherwise its reachability and state are shown.
    // 1 when the monitor is closing.
    int OnPrinterReport();
    // Acts on one report (the part of OnPrinterReport after the take).
    int ApplyReport(const PrinterReport& report);
    // The tooltip: the printer key, then the state and the document count when not Ready;
    // a key too long for both is cut (with "...") on a character boundary of codePage.
    void ComposeTrayTip(char* tip, size_t size, unsigned codePage = 0) const;
    // The flags of a record that carries the tooltip: NIF_TIP, and at version 4, where the
    // shell shows its tooltip only when asked, NIF_SHOWTIP.
    UINT TrayTipFlags() const;
    // WM_REFRESHICON: the switches, the state and the image read again.
    void OnRefreshIcon();
    // Shows the notification for the state now (the episode decides when: once each).
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
    // The DPI that the popup menu's tool items are measured and drawn at: that of the
    // monitor where the menu last opened; 0 until then (the system's).
    UINT m_nMenuDpi = 0;
    // The printer's state: the switches, the last sample and what it shows.
    int m_fShowState = 1;
    int m_fNotify = 1;
    PrinterStatusSample m_sample = {0, 0, 0};     // the worker's last read
    PrinterCondition m_condition = PRINTER_READY; // as read
    bool m_fUnreachable = false;                  // the latest open could not reach it
    bool m_fPrinterGone = false;                  // a report found it gone: closing
    const char* m_pszConditionText = "";          // the text of m_condition
    PrinterCondition m_shownCondition = PRINTER_READY; // as the icon shows it
    const char* m_pszStateText = "";  // one of m_stateTexts, or ""
    CStateTexts m_stateTexts;         // in the resource library's language
    DWORD m_dwShownJobs = 0;
    HICON m_hStateIcon = nullptr;     // the composed image in use, or null
    CAttentionEpisode m_episode{TIMER_ATTENTION, ATTENTION_DELAY};
    // The printer's worker: every spooler call once the window exists.
    CPrinterWatch m_watch;
    // The period of the check (tests make it shorter).
    DWORD m_dwCheckPeriod = MASK_CHECK_PERIOD;
    // The installer's close request for the monitors of this program's folder (an event
    // that the message loop waits on and closes once set; null when it is not watched).
    HANDLE m_hCloseRequest = nullptr;
    // The shell's notify-icon version in use (4, 3, or 0 when the shell took neither).
    UINT m_uTrayVersion = 0;
    // A left click's NIN_SELECT follows its WM_LBUTTONUP: the click is not a selection.
    bool m_fMouseSelect = false;

private:
    // The window existed and was destroyed (a message answered during a wait).
    bool WindowLost() const;
    // The printer key: the printer name, or the port name when the printer name is empty.
    const char* KeyName() const;
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

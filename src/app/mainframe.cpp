#include "mainframe.h"

#include <initializer_list>
#include <new>
#include <string.h>

#include "close_request.h"
#include "driver_config.h"
#include "lang_resolver.h"
#include "library.h"
#include "printer.h"
#include "strutil.h"
#include "table_lock.h"
#include "trace.h"

CMainFrame* g_pMainFrame = nullptr;

namespace {

const UINT kDpiChangedMessage = 0x02E0; // WM_DPICHANGED, Windows 8.1 and later

const char* const kFrameTexts[TEXT_COUNT] = {
    "ORVEL Zetwatch",
    "\nUnable to open Printer Status window for this printer.",
    "\nUnable to open Monitoring Preferences window for this printer.",
    "Insufficient memory.",
    "Could not find specified file.",
};

} // namespace

CAuxMenuItem::CAuxMenuItem() : m_nCommand(0), m_hBitmap(nullptr), m_access{0, 0, nullptr}, m_nAccessKey(-1)
{
    memset(m_szText, 0, sizeof(m_szText));
    memset(m_wszName, 0, sizeof(m_wszName));
}

CAuxMenuItem::~CAuxMenuItem() = default;

CMainFrame::CMainFrame()
    : m_pAuxItems(nullptr), m_hWnd(nullptr), m_hMenu(nullptr), m_table{nullptr, 0, nullptr}, m_fRemove(0),
      m_fIconInstall(0), m_nSelectedIcon(0), m_hResDll(nullptr), m_nPrinterCheckTimer(0),
      m_nPrinterCheckInterval(0), m_nAuxItemCount(0), m_nMaskCheckTimer(0), m_uTaskbarCreated(0),
      m_pfnNotifyIcon(Shell_NotifyIconA), m_dwTrayRetryDelay(TRAY_ADD_RETRY_DELAY)
{
    memset(m_szPortName, 0, sizeof(m_szPortName));
    memset(m_szModelID, 0, sizeof(m_szModelID));
    memset(m_szPrinterName, 0, sizeof(m_szPrinterName));
    memset(m_szDriverName, 0, sizeof(m_szDriverName));
    memset(m_szTargetKey, 0, sizeof(m_szTargetKey));
    memset(m_szMsg, 0, sizeof(m_szMsg));
    memset(m_hIcon, 0, sizeof(m_hIcon));
    memset(&m_nid, 0, sizeof(m_nid));
    memset(m_szResDllPath, 0, sizeof(m_szResDllPath));
    memset(m_szProfilePath, 0, sizeof(m_szProfilePath));
    m_pAuxItems = new (std::nothrow) CAuxMenuItem[AUX_ITEM_COUNT];
    m_nAuxItemCount = m_pAuxItems ? AUX_ITEM_COUNT : 0;
}

CMainFrame::~CMainFrame()
{
    if (m_pAuxItems) {
        for (int i = 0; i < m_nAuxItemCount; ++i) {
            if (m_pAuxItems[i].m_hBitmap)
                DeleteObject(m_pAuxItems[i].m_hBitmap);
        }
        delete[] m_pAuxItems;
        m_pAuxItems = nullptr;
    }
    if (m_hStateIcon)
        DestroyIcon(m_hStateIcon);
    for (HICON& icon : m_hIcon) {
        if (icon) {
            DestroyIcon(icon);
            icon = nullptr;
        }
    }
}

const char* CMainFrame::KeyName() const
{
    return m_szPrinterName[0] ? m_szPrinterName : m_szPortName;
}

int CMainFrame::CreateFrameWindow(const char* className, const char* title, DWORD style, HINSTANCE instance)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.style = CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = FrameWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(1));
    wc.lpszClassName = className;
    RegisterClassA(&wc); // a second registration in the process fails harmlessly

    m_hWnd = CreateWindowExA(0, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    // The shell broadcasts this message to top-level windows when its notification area
    // is (re)created, e.g. after the shell restarted.
    m_uTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return m_hWnd ? 1 : 0;
}

void CMainFrame::SetMessageTexts()
{
    for (int i = 0; i < TEXT_COUNT; ++i)
        SafeCopy(m_szMsg[i], kFrameTexts[i]);
}

// Loads menu 801 from the resource library, makes its first item the printer's own
// (command 900, shown bold) and appends the auxiliary tools. 1 when the menu is ready.
int CMainFrame::PrepareMenu()
{
    m_hMenu = LoadMenuA(m_hResDll, MAKEINTRESOURCEA(IDM_TRAY_MENU));
    HMENU popup = m_hMenu ? GetSubMenu(m_hMenu, 0) : nullptr;
    if (!popup)
        return 0;

    char text[2 * ZT_TEXT]; // room for a name of 259 characters that are all '&'
    CopyMenuText(text, sizeof(text), KeyName());
    ModifyMenuA(popup, 0, MF_BYPOSITION | MF_STRING, ID_PRINTER_STATUS, text);
    char read[260] = {0};
    MENUITEMINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_TYPE;
    info.dwTypeData = read;
    info.cch = sizeof(read);
    if (GetMenuItemInfoA(popup, ID_PRINTER_STATUS, FALSE, &info)) {
        info.fMask = MIIM_STATE | MIIM_TYPE;
        info.fType = MFT_STRING;
        info.fState = MFS_DEFAULT;
        info.dwTypeData = text;
        info.cch = static_cast<UINT>(strlen(text));
        SetMenuItemInfoA(popup, ID_PRINTER_STATUS, FALSE, &info);
    }
    BuildAuxMenu(popup);
    return 1;
}

bool CMainFrame::WindowLost() const
{
    return m_hWnd && !IsWindow(m_hWnd);
}

int CMainFrame::StartUp()
{
    SetMessageTexts();
    // One wait for a stuck lock at most in this start.
    LockWaitScope startWaits;

    // The waits for the locks answer messages sent to the window: the session may have
    // ended meanwhile (WM_ENDSESSION destroys the window), and then the start stops.
    if (!DuplicationChk())
        return 0;
    if (WindowLost()) {
        TraceMsg("CMainFrame::StartUp : the window went while waiting; stopping");
        return 0;
    }

    if (m_fRemove) {
        RemoveOwnRecord(&m_table, m_szPrinterName, m_szPortName, INSTANCE_KIND_MONITOR, m_szPrinterName[0] ? 0 : 1);
        CloseInstanceTable(&m_table);
        return 0;
    }

    // A printer that cannot be reached now is watched all the same: it may answer later.
    bool unreachable = false;
    {
        CCtrlSetReg ctrl;
        int invalid = ctrl.IsZetInvalid(m_szPrinterName);
        if (invalid == 1) {
            TraceMsg("Zet is invalid.\n");
            return -1;
        }
        unreachable = invalid == ZET_UNREACHABLE;
    }

    if (!GetProfilePath(m_szProfilePath, m_szDriverName, m_szModelID) || !m_szProfilePath[0])
        return -1;

    if (!LoadTraySettings())
        return -1;
    if (WindowLost()) {
        TraceMsg("CMainFrame::StartUp : the window went while waiting; stopping");
        return 0;
    }

    // For its resources only: no code of the library runs.
    m_hResDll = LoadResourceLibrary(m_szResDllPath);
    if (!m_hResDll) {
        TraceLoadError("CMainFrame::StartUp", PROFILE_INI_RES_DLL, m_szResDllPath, GetLastError());
        MessageBoxA(m_hWnd, m_szMsg[TEXT_NO_FILE], m_szMsg[TEXT_CAPTION], MB_OK);
        return -1;
    }

    if (!SetTrayIcon(m_nSelectedIcon, 1)) {
        FreeLibrary(m_hResDll);
        m_hResDll = nullptr;
        return 0;
    }

    int menuReady = PrepareMenu();
    m_stateTexts.Load(m_hResDll);
    // Icons, menu, texts and bitmaps were copied out of the library.
    FreeLibrary(m_hResDll);
    m_hResDll = nullptr;
    if (!menuReady)
        return 0;

    LoadStateSwitches();
    if (unreachable) {
        m_fUnreachable = true;
        ApplyPrinterState();
    }

    if (m_szProfilePath[0]) {
        m_nPrinterCheckInterval =
            GetPrivateProfileIntA(m_szModelID, PROFILE_INI_END_TIME, 0, m_szProfilePath);
    }
    // From here on the printer is asked on the worker thread only.
    StartWatch();
    return 1;
}

void CMainFrame::StartWatch()
{
    PrinterWatchSetup setup;
    setup.printer = m_szPrinterName;
    setup.port = m_szPortName;
    setup.window = m_hWnd;
    setup.message = WM_PRINTERREPORT;
    setup.readSwitch = true;
    // An icon-install start does not check for a deleted printer.
    setup.deletionChecks = m_fIconInstall != 1;
    if (!m_watch.Start(setup, m_szPrinterName[0] && (m_fShowState || m_fNotify)))
        TraceMsg("CMainFrame::StartUp : the printer cannot be watched");
    if (setup.deletionChecks && m_nPrinterCheckInterval != 0)
        m_nPrinterCheckTimer = SetTimer(m_hWnd, TIMER_PRINTER_CHECK, m_nPrinterCheckInterval, nullptr);
    m_nMaskCheckTimer = SetTimer(m_hWnd, TIMER_MASK_CHECK, m_dwCheckPeriod, nullptr);
    bool raised = false;
    m_hCloseRequest = OpenCloseRequest(&raised);
    if (!m_hCloseRequest)
        TraceMsg("CMainFrame::StartUp : the installer's close request is not watched");
    // An installer that raised its request before this monitor's own existed.
    if (raised)
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainFrame::OnTimer(UINT_PTR id)
{
    // The checks run on the printer's worker; their reports come later (WM_PRINTERREPORT).
    if (id == TIMER_MASK_CHECK) {
        TraceMsg("CMainFrame::OnTimer : Mask check");
        m_watch.CheckNow();
    } else if (id == TIMER_PRINTER_CHECK) {
        TraceMsg("CMainFrame::OnTimer : Printer check");
        m_watch.CheckDeletionNow();
    }
    // The notification's delay ended: told when still in trouble, by the last report.
    else if (id == TIMER_ATTENTION &&
             m_episode.TimerDue(m_hWnd, ConditionNeedsAttention(m_condition) != 0, m_fNotify != 0))
        ShowAttentionBalloon();
}

int CMainFrame::CleanUp()
{
    for (UINT_PTR* timer : {&m_nMaskCheckTimer, &m_nPrinterCheckTimer}) {
        if (*timer) {
            KillTimer(m_hWnd, *timer);
            *timer = 0;
        }
    }
    m_watch.Stop();
    m_episode.Stop(m_hWnd);
    if (m_hCloseRequest) {
        CloseHandle(m_hCloseRequest);
        m_hCloseRequest = nullptr;
    }
    if (m_table.hMapping) {
        RemoveOwnRecord(&m_table, m_szPrinterName, m_szPortName, INSTANCE_KIND_MONITOR, m_szPrinterName[0] ? 0 : 1);
        CloseInstanceTable(&m_table);
    }
    if (m_nid.hWnd) {
        m_pfnNotifyIcon(NIM_DELETE, &m_nid);
        m_nid.hWnd = nullptr;
    }
    if (m_hMenu) {
        DestroyMenu(m_hMenu);
        m_hMenu = nullptr;
    }
    return 0;
}

LRESULT CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        TraceMsg("WM_DESTROY");
        CleanUp();
        PostQuitMessage(0);
        break;
    case WM_CLOSE:
        TraceMsg("WM_CLOSE");
        break;
    case WM_ENDSESSION:
        // The session ends (log-off, shut-down), or an installer's restart manager asks the
        // program to close (ENDSESSION_CLOSEAPP): end now, as on WM_CLOSE. The start-up
        // entries stay. WM_QUERYENDSESSION gets the default answer: the session may end.
        TraceInt("WM_ENDSESSION", static_cast<int>(wParam));
        if (wParam)
            DestroyWindow(hwnd);
        break;
    case WM_DRAWITEM:
        DrawAuxItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        break;
    case WM_MEASUREITEM:
        MeasureAuxItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        break;
    case WM_MENUCHAR: {
        LRESULT item = OnMenuChar(LOWORD(wParam), reinterpret_cast<HMENU>(lParam));
        if (item)
            return item;
        break;
    }
    case WM_COMMAND: {
        UINT command = LOWORD(wParam);
        if (command == ID_PRINTER_STATUS)
            OnPrinterStatus();
        else if (command == ID_MONITOR_PREFS)
            OnMonitorPrefs();
        else if (command >= ID_AUX_FIRST && command <= ID_AUX_DISPATCH_LAST)
            OnAux(command);
        break;
    }
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_TRAYNOTIFY:
        OnTrayNotify(wParam, lParam);
        break;
    case WM_REFRESHICON:
        OnRefreshIcon();
        break;
    case WM_PRINTERREPORT:
        OnPrinterReport();
        break;
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
    case kDpiChangedMessage:
        OnDisplayScaleChanged();
        break;
    default:
        if (message != 0 && message == m_uTaskbarCreated)
            OnTaskbarCreated();
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_pMainFrame)
        return g_pMainFrame->WindowProc(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

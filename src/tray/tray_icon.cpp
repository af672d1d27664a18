// The notification-area icon of the monitored printer: whether it is shown, which of the
// three images it shows, its tooltip, and its callback into the frame.
#include <windows.h>
#include <shellapi.h>

#include <string.h>

#include "lang_resolver.h"
#include "library.h"
#include "mainframe.h"
#include "scoped.h"
#include "strutil.h"
#include "targets.h"

namespace {

const char kTrayIconSelected[] = TARGET_TRAY_SELECTED;
const char kTrayIconEnable[] = TARGET_TRAY_ENABLE;

// An index outside the three images shows the first one.
int ValidIconIndex(int index)
{
    return (index >= 0 && index < TRAY_ICON_COUNT) ? index : 0;
}

// Opens the target key under HKCU for reading. An empty path is no target: it would
// open HKCU itself.
bool OpenTargetKey(const char* path, ScopedRegKey* key)
{
    return path[0] && RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key->Put()) == ERROR_SUCCESS;
}

} // namespace

int CMainFrame::ProfileSelectedIcon() const
{
    return static_cast<int>(GetPrivateProfileIntA(m_szModelID, kTrayIconSelected, 0, m_szProfilePath));
}

int CMainFrame::LoadTraySettings()
{
    char path[260];
    memset(path, 0, sizeof(path));
    int portList = 0;
    GetTargetReg(m_szPrinterName, m_szPortName, m_szModelID, &portList, path, m_szDriverName);
    if (path[0])
        SafeCopy(m_szTargetKey, path);

    // No target path means no target key (an empty path would open HKCU itself).
    ScopedRegKey key;
    if (OpenTargetKey(m_szTargetKey, &key)) {
        DWORD size = sizeof(m_nSelectedIcon);
        RegQueryValueExA(key.Get(), kTrayIconSelected, nullptr, nullptr, reinterpret_cast<BYTE*>(&m_nSelectedIcon),
                         &size);
        DWORD enable = 0;
        size = sizeof(enable);
        LONG rc = RegQueryValueExA(key.Get(), kTrayIconEnable, nullptr, nullptr, reinterpret_cast<BYTE*>(&enable),
                                   &size);
        key.Close();
        if (rc == ERROR_SUCCESS) {
            if (enable == 0)
                return 0;
            GetResDllPath(m_szResDllPath, m_szDriverName, m_szModelID);
            return 1;
        }
    }

    // No target key, or one whose defaults were never written (not a switched-off icon):
    // the driver's profile holds the defaults.
    if (m_szProfilePath[0]) {
        m_nSelectedIcon = ProfileSelectedIcon();
        UINT enable = GetPrivateProfileIntA(m_szModelID, kTrayIconEnable, 0, m_szProfilePath);
        if (enable == 0)
            return 0;
    }
    GetResDllPath(m_szResDllPath, m_szDriverName, m_szModelID);
    return 1;
}

int CMainFrame::SetTrayIcon(int index, int add)
{
    ComposeTrayTip(m_nid.szTip, sizeof(m_nid.szTip));
    int image = ValidIconIndex(index);
    if (!add) {
        m_nid.hIcon = TrayImage(image);
        m_pfnNotifyIcon(NIM_MODIFY, &m_nid);
        return 1;
    }

    m_nid.cbSize = TRAY_RECORD_SIZE;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = 0;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | TrayTipFlags();
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    // At the shell's small-icon size, which follows the display scale: of an icon with
    // several sizes, the image made for it is taken.
    int width = GetSystemMetrics(SM_CXSMICON);
    int height = GetSystemMetrics(SM_CYSMICON);
    for (int i = 0; i < TRAY_ICON_COUNT; ++i) {
        if (m_hIcon[i])
            DestroyIcon(m_hIcon[i]);
        m_hIcon[i] = static_cast<HICON>(LoadImageA(m_hResDll, MAKEINTRESOURCEA(IDI_TRAY_FIRST + i), IMAGE_ICON,
                                                   width, height, LR_DEFAULTCOLOR));
    }
    m_nid.hIcon = TrayImage(image);
    if (AddTrayIconWithRetry()) {
        SetTrayVersion();
        return 1;
    }
    // The icon was never set up: the clean-up must not delete it.
    m_nid.hWnd = nullptr;
    return 0;
}

void CMainFrame::SetTrayVersion()
{
    // Version 4 hands over the icon's anchor point with each callback; version 3 is the
    // one older shells know. Either sends WM_CONTEXTMENU and NIN_SELECT / NIN_KEYSELECT,
    // so that the keyboard reaches the icon.
    NOTIFYICONDATAA version = m_nid;
    m_uTrayVersion = 0;
    const UINT versions[] = {NOTIFYICON_VERSION_4, NOTIFYICON_VERSION};
    for (UINT wanted : versions) {
        version.uVersion = wanted;
        if (m_pfnNotifyIcon(NIM_SETVERSION, &version)) {
            m_uTrayVersion = wanted;
            break;
        }
    }
    // The icon was added before its version was known: at version 4 its tooltip shows only
    // once a record asks for it.
    const UINT tipFlags = TrayTipFlags();
    if ((m_nid.uFlags & (NIF_TIP | NIF_SHOWTIP)) != tipFlags) {
        m_nid.uFlags = (m_nid.uFlags & ~static_cast<UINT>(NIF_TIP | NIF_SHOWTIP)) | tipFlags;
        m_pfnNotifyIcon(NIM_MODIFY, &m_nid);
    }
}

UINT CMainFrame::TrayTipFlags() const
{
    return m_uTrayVersion >= NOTIFYICON_VERSION_4 ? NIF_TIP | NIF_SHOWTIP : NIF_TIP;
}

BOOL CMainFrame::AddTrayIconWithRetry()
{
    // At log-on the shell's notification area may not exist yet: try again for a while.
    // No message loop runs yet; messages wait in the queue meanwhile.
    for (int attempt = 0; attempt < TRAY_ADD_ATTEMPTS; ++attempt) {
        if (attempt > 0)
            Sleep(m_dwTrayRetryDelay);
        if (m_pfnNotifyIcon(NIM_ADD, &m_nid))
            return TRUE;
    }
    return FALSE;
}

int CMainFrame::RefreshTrayIcon()
{
    ScopedRegKey key;
    if (!OpenTargetKey(m_szTargetKey, &key)) {
        // No target: the image is the profile's default, which may have changed.
        if (m_szTargetKey[0] || !m_szProfilePath[0])
            return 0;
        m_nSelectedIcon = ProfileSelectedIcon();
        SetTrayIcon(m_nSelectedIcon, 0);
        UpdateWindow(m_hWnd);
        return 0;
    }
    DWORD size = sizeof(m_nSelectedIcon);
    LONG rc = RegQueryValueExA(key.Get(), kTrayIconSelected, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&m_nSelectedIcon), &size);
    key.Close();
    if (rc == ERROR_SUCCESS)
        SetTrayIcon(m_nSelectedIcon, 0);
    UpdateWindow(m_hWnd);
    return 1;
}

int CMainFrame::DisableTrayIcon()
{
    char path[260];
    memset(path, 0, sizeof(path));
    if (m_szPrinterName[0])
        FindTargetReg(m_szPrinterName, 0, path);
    else
        FindTargetReg(m_szPortName, 1, path);
    if (!path[0])
        return 0;

    ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
        return 0;
    DWORD zero = 0;
    LONG rc = RegSetValueExA(key.Get(), kTrayIconEnable, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                             sizeof(zero));
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int CMainFrame::OnDisplayScaleChanged()
{
    // Only a shown icon of another size than the shell's small icons now needs new images.
    int width = GetSystemMetrics(SM_CXSMICON);
    ICONINFO info;
    BITMAP bm;
    if (!m_nid.hWnd || !m_hIcon[0] || !GetIconInfo(m_hIcon[0], &info))
        return 0;
    bool same = GetObjectA(info.hbmMask, sizeof(bm), &bm) && bm.bmWidth == width;
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    if (same)
        return 0;
    // The images again from the resource library, at the new size, and the badge on them.
    m_hResDll = LoadResourceLibrary(m_szResDllPath);
    if (!m_hResDll)
        return 0;
    int height = GetSystemMetrics(SM_CYSMICON);
    for (int i = 0; i < TRAY_ICON_COUNT; ++i) {
        HICON fresh = static_cast<HICON>(LoadImageA(m_hResDll, MAKEINTRESOURCEA(IDI_TRAY_FIRST + i), IMAGE_ICON,
                                                    width, height, LR_DEFAULTCOLOR));
        if (!fresh)
            continue;
        if (m_hIcon[i])
            DestroyIcon(m_hIcon[i]);
        m_hIcon[i] = fresh;
    }
    FreeLibrary(m_hResDll);
    m_hResDll = nullptr;
    SetTrayIcon(m_nSelectedIcon, 0);
    return 1;
}

int CMainFrame::OnTaskbarCreated()
{
    // The icon exists only while it was set up by StartUp (the record holds the window).
    // The resource library is gone by now: add the icon again with the handles held.
    if (!m_nid.hWnd)
        return 0;
    m_nid.hIcon = TrayImage(ValidIconIndex(m_nSelectedIcon));
    if (m_pfnNotifyIcon(NIM_ADD, &m_nid)) {
        SetTrayVersion();
        return 1;
    }
    // Still there (the shell kept it): bring its image up to date instead.
    return m_pfnNotifyIcon(NIM_MODIFY, &m_nid) ? 1 : 0;
}

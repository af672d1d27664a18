// The popup menu's auxiliary tools (registered by the driver under its Menu key, drawn by
// the frame with a bitmap and a text from the resource library) and the tray icon's
// mouse handling.
#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <ctype.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "aux_layout.h"
#include "cmdinfo.h"
#include "display_scale.h"
#include "driver_config.h"
#include "mainframe.h"
#include "reg_read.h"
#include "reg_view.h"
#include "scoped.h"
#include "strutil.h"
#include "trace.h"

namespace {

const char kMenuSubkey[] = "\\" DRIVER_MENU_SUBKEY;
const char kSeparators[] = MENU_VALUE_SEPARATORS;
const char kDepExe[] = DRIVER_VALUE_DEP_EXE;
const int kSeparatorSlots = AUX_ITEM_COUNT;

// A tool's command line with its four quoted values: the registry value and the four
// names, each at most 259 characters, and the options around them (each at most
// " /P259 \"\"").
const size_t kAuxCommandLineSize = 5 * 260 + 64;

// Reads a string value into a buffer, always terminated (a value that does not fit counts
// as missing). 1 when the value was read and is not empty.
int ReadMenuString(HKEY key, const char* name, char* out, DWORD size)
{
    return QueryText(key, name, out, size) && out[0] ? 1 : 0;
}

// The driver's Menu key path: "software\ORVEL\ZET3\Driver\<driver>\Menu".
int MenuKeyPath(char* out, size_t size, const char* driverName)
{
    return SafeFormat(out, size, "%s%s%s", DRIVER_KEY_PREFIX, driverName, kMenuSubkey);
}

// Upper-cases the ASCII letters; a character of several bytes stays as it is.
void UpperCase(char* text)
{
    for (char* p = text; *p; p = const_cast<char*>(NextChar(p))) {
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
}

// Appends one value option of a tool's command line: ` /P "value"`, or, for a value that
// holds a quote mark, the length form ` /P12 "value"`, which the option reader takes whole
// (a quote mark would otherwise end the value and let the rest read as more options).
void AppendToolOption(char* line, size_t size, const char* name, const char* value)
{
    char option[ZT_TEXT + 32];
    if (strchr(value, '"'))
        SafeFormat(option, sizeof(option), " /%s%u \"%s\"", name, static_cast<unsigned>(strlen(value)), value);
    else
        SafeFormat(option, sizeof(option), " /%s \"%s\"", name, value);
    SafeAppend(line, size, option);
}

// The slot of an owner-drawn item's command, or -1 when it is none of ours.
int AuxSlot(const CMainFrame* frame, UINT itemId)
{
    if (!frame->m_pAuxItems || itemId < ID_AUX_FIRST)
        return -1;
    UINT slot = itemId - ID_AUX_FIRST;
    return slot < static_cast<UINT>(frame->m_nAuxItemCount) ? static_cast<int>(slot) : -1;
}

// A bitmap's own size; 0 x 0 for none.
SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info;
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

static_assert(sizeof(CAuxMenuItem::AccessName) == sizeof(MSAAMENUINFO) &&
                  offsetof(CAuxMenuItem::AccessName, text) == offsetof(MSAAMENUINFO, pszWText),
              "the item data starts as screen readers read it");

// A letter or digit that can be an access key, in upper case; 0 for another character.
char AccessKeyOf(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x80 && isalnum(u)) ? static_cast<char>(toupper(u)) : 0;
}

void TakeKey(char key, char* taken, size_t takenSize)
{
    size_t used = strlen(taken);
    if (used + 1 < takenSize) {
        taken[used] = key;
        taken[used + 1] = '\0';
    }
}

// The access keys that the menu's own items (the resource library's) hold, into `taken`:
// the character after a '&' that does not double one. The system gives such a key to its
// item before the menu asks for the tools' keys.
void TakeMenuAccessKeys(HMENU popup, char* taken, size_t takenSize)
{
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        char text[ZT_TEXT] = "";
        if (GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION) <= 0)
            continue;
        for (const char* p = text; *p; p = NextChar(p)) {
            if (*p != '&')
                continue;
            if (p[1] == '&') {
                ++p; // "&&" shows one '&'
                continue;
            }
            if (char key = AccessKeyOf(p[1]))
                TakeKey(key, taken, takenSize);
            break;
        }
    }
}

// The access key of a tool item: the first letter or digit of its text that neither the
// menu's own items nor an earlier tool took (`taken` holds the keys taken, in upper case).
// Its offset, or -1.
int ChooseAccessKey(const char* text, char* taken, size_t takenSize)
{
    for (const char* p = text; *p; p = NextChar(p)) {
        char key = AccessKeyOf(*p);
        if (!key || strchr(taken, key))
            continue;
        TakeKey(key, taken, takenSize);
        return static_cast<int>(p - text);
    }
    return -1;
}

// Fills the item's data for screen readers: its text as wide characters, with "&" before
// the access key (and every "&" of the text doubled).
void SetAccessName(CAuxMenuItem* item)
{
    char marked[2 * 260 + 2];
    size_t out = 0;
    for (int i = 0; item->m_szText[i] && out + 3 < sizeof(marked); ++i) {
        if (i == item->m_nAccessKey || item->m_szText[i] == '&')
            marked[out++] = '&';
        marked[out++] = item->m_szText[i];
    }
    marked[out] = '\0';
    const int room = static_cast<int>(sizeof(item->m_wszName) / sizeof(WCHAR));
    int chars = MultiByteToWideChar(CP_ACP, 0, marked, -1, item->m_wszName, room);
    if (chars <= 0) {
        item->m_wszName[room - 1] = L'\0';
        chars = static_cast<int>(lstrlenW(item->m_wszName)) + 1;
    }
    item->m_access.signature = MSAA_MENU_SIG;
    item->m_access.chars = static_cast<DWORD>(chars - 1);
    item->m_access.text = item->m_wszName;
}

// The item's text in wide characters, converted from the ANSI code page that it was read in:
// drawn so, it shows as that code page's text whatever character set the menu's font
// names. Its length; *key receives the access key's position in it (-1: none).
int WideItemText(const CAuxMenuItem& item, WCHAR (&wide)[ZT_TEXT], int* key)
{
    int chars = MultiByteToWideChar(CP_ACP, 0, item.m_szText, -1, wide, ZT_TEXT);
    if (chars <= 0) {
        wide[0] = L'\0';
        chars = 1;
    }
    *key = item.m_nAccessKey > 0 ? MultiByteToWideChar(CP_ACP, 0, item.m_szText, item.m_nAccessKey, nullptr, 0)
                                 : item.m_nAccessKey;
    return chars - 1;
}

// True in high-contrast mode: bitmaps are drawn without their light background then.
bool HighContrast()
{
    HIGHCONTRASTA contrast;
    memset(&contrast, 0, sizeof(contrast));
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// Copies a bitmap of `own` size into `place`, stretched when the menu is not at 100 %:
// whole multiples keep sharp pixel blocks, other scales are smoothed. With `clear`, the
// colour of its top-left pixel (its background) is left out.
void DrawBitmap(HDC dc, HBITMAP bitmap, SIZE own, const RECT& place, bool clear)
{
    HDC mem = CreateCompatibleDC(dc);
    if (!mem)
        return;
    {
        ScopedSelect select(mem, bitmap);
        int width = place.right - place.left;
        int height = place.bottom - place.top;
        if (clear) {
            GdiTransparentBlt(dc, place.left, place.top, width, height, mem, 0, 0, own.cx, own.cy,
                              GetPixel(mem, 0, 0));
        } else if (width == own.cx && height == own.cy) {
            BitBlt(dc, place.left, place.top, width, height, mem, 0, 0, SRCCOPY);
        } else {
            bool whole = width % own.cx == 0 && height % own.cy == 0;
            int oldMode = SetStretchBltMode(dc, whole ? COLORONCOLOR : HALFTONE);
            POINT oldOrigin = {0, 0};
            SetBrushOrgEx(dc, 0, 0, &oldOrigin);
            StretchBlt(dc, place.left, place.top, width, height, mem, 0, 0, own.cx, own.cy, SRCCOPY);
            SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
            SetStretchBltMode(dc, oldMode);
        }
    }
    DeleteDC(mem);
}

} // namespace

int CMainFrame::GetDepExeName(char* buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    char keyPath[260];
    if (!SafeFormat(keyPath, sizeof(keyPath), "%s%s", DRIVER_KEY_PREFIX, m_szDriverName))
        return 0;
    ScopedRegKey key;
    if (OpenMachineKey(keyPath, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    char value[260];
    if (!ReadMenuString(key.Get(), kDepExe, value, sizeof(value)))
        return 0;
    // The program's file name: the text after the last backslash, in upper case.
    const char* slash = FindLastCharOf(value, "\\");
    SafeCopy(buffer, size, slash ? slash + 1 : "");
    UpperCase(buffer);
    return 1;
}

int CMainFrame::IsDepExeCommand(UINT command, const char* programName)
{
    if (!programName || !programName[0])
        return 0;
    char keyPath[260];
    if (!MenuKeyPath(keyPath, sizeof(keyPath), m_szDriverName))
        return 0;
    ScopedRegKey key;
    if (OpenMachineKey(keyPath, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    char name[16];
    SafeFormat(name, sizeof(name), "%u", command);
    char value[260];
    if (!ReadMenuString(key.Get(), name, value, sizeof(value)))
        return 0;
    UpperCase(value);
    return (strstr(value, programName) && strstr(value, "MENU")) ? 1 : 0;
}

int CMainFrame::HasIoUrl()
{
    char keyPath[260];
    if (!SafeFormat(keyPath, sizeof(keyPath), "Software\\ORVEL\\%s IO_URL", m_szDriverName))
        return 0;
    ScopedRegKey key;
    return OpenMachineKey(keyPath, KEY_READ, key.Put()) == ERROR_SUCCESS ? 1 : 0;
}

int CMainFrame::BuildAuxMenu(HMENU popup)
{
    char keyPath[260];
    ScopedRegKey key;
    if (!MenuKeyPath(keyPath, sizeof(keyPath), m_szDriverName) ||
        OpenMachineKey(keyPath, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        // No tools: the item table is not needed.
        delete[] m_pAuxItems;
        m_pAuxItems = nullptr;
        m_nAuxItemCount = 0;
        return 0;
    }

    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);

    char depName[260];
    GetDepExeName(depName, sizeof(depName));
    int ioUrl = HasIoUrl();
    UINT depCommand = 0;
    for (UINT command = ID_AUX_FIRST; command <= ID_AUX_LAST; ++command) {
        if (IsDepExeCommand(command, depName)) {
            depCommand = command;
            break;
        }
    }

    // Visible-item positions (from 1) before which a separator goes, in list order.
    int separators[kSeparatorSlots];
    memset(separators, 0, sizeof(separators));
    char list[260];
    if (ReadMenuString(key.Get(), kSeparators, list, sizeof(list))) {
        int count = 0;
        char* piece = list;
        while (piece && count < kSeparatorSlots) {
            separators[count++] = atoi(piece);
            piece = strchr(piece, ',');
            if (piece)
                ++piece;
        }
    }

    int visible = 0;
    int nextSeparator = 0;
    // Letters and digits: at most 36 keys are ever taken.
    char takenKeys[64] = "";
    TakeMenuAccessKeys(popup, takenKeys, sizeof(takenKeys));
    for (int slot = 0; slot < m_nAuxItemCount; ++slot) {
        UINT command = ID_AUX_FIRST + slot;
        char name[16];
        SafeFormat(name, sizeof(name), "%d", static_cast<int>(command));
        char value[260];
        if (!ReadMenuString(key.Get(), name, value, sizeof(value)))
            continue;
        char text[260];
        memset(text, 0, sizeof(text));
        LoadStringA(m_hResDll, command, text, sizeof(text));
        if (command == depCommand && !ioUrl)
            text[0] = '\0';
        if (!text[0])
            continue;

        ++visible;
        if (nextSeparator < kSeparatorSlots && separators[nextSeparator] == visible) {
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
            ++nextSeparator;
        }
        CAuxMenuItem& item = m_pAuxItems[slot];
        if (item.m_hBitmap)
            DeleteObject(item.m_hBitmap);
        item.m_hBitmap = LoadBitmapA(m_hResDll, MAKEINTRESOURCEA(command));
        item.m_nCommand = command;
        SafeAppend(item.m_szText, text);
        item.m_nAccessKey = ChooseAccessKey(item.m_szText, takenKeys, sizeof(takenKeys));
        SetAccessName(&item);
        // Owner-drawn, with its text too, and the screen readers' data first in its data.
        MENUITEMINFOA info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_DATA;
        info.fType = MFT_OWNERDRAW;
        info.wID = command;
        info.dwTypeData = item.m_szText;
        info.dwItemData = reinterpret_cast<ULONG_PTR>(&item.m_access);
        InsertMenuItemA(popup, static_cast<UINT>(GetMenuItemCount(popup)), TRUE, &info);
    }
    return 1;
}

UINT CMainFrame::MenuDpi() const
{
    return m_nMenuDpi ? m_nMenuDpi : SystemDpi();
}

void CMainFrame::MeasureAuxItem(MEASUREITEMSTRUCT* record)
{
    if (!record || record->CtlType != ODT_MENU)
        return;
    int slot = AuxSlot(this, record->itemID);
    if (slot < 0)
        return;
    const CAuxMenuItem& item = m_pAuxItems[slot];
    HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    if (!ic)
        return;
    // Measure with the font that the menu draws with, at the menu's scale.
    UINT dpi = MenuDpi();
    LOGFONTA menuFont;
    HFONT font = NonClientFontForDpi(NC_FONT_MENU, dpi, &menuFont) ? CreateFontIndirectA(&menuFont) : nullptr;
    SIZE text = {0, 0};
    WCHAR wide[ZT_TEXT];
    int key = -1;
    int length = WideItemText(item, wide, &key);
    {
        ScopedSelect select(ic, font);
        GetTextExtentPoint32W(ic, wide, length, &text);
    }
    if (font)
        DeleteObject(font);
    DeleteDC(ic);
    SIZE size = AuxItemSize(AuxMenuMetricsForDpi(dpi), BitmapSize(item.m_hBitmap), text);
    record->itemWidth = static_cast<UINT>(size.cx);
    record->itemHeight = static_cast<UINT>(size.cy);
}

LRESULT CMainFrame::OnMenuChar(UINT key, HMENU menu)
{
    if (!menu || key >= 0x80 || !isalnum(static_cast<int>(key)))
        return 0;
    char wanted = static_cast<char>(toupper(static_cast<int>(key)));
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        int slot = AuxSlot(this, GetMenuItemID(menu, position));
        if (slot < 0)
            continue;
        const CAuxMenuItem& item = m_pAuxItems[slot];
        if (item.m_nAccessKey >= 0 && toupper(static_cast<unsigned char>(item.m_szText[item.m_nAccessKey])) == wanted)
            return MAKELRESULT(position, MNC_EXECUTE);
    }
    return 0;
}

void CMainFrame::DrawAuxItem(const DRAWITEMSTRUCT* record)
{
    if (!record || record->CtlType != ODT_MENU)
        return;
    int slot = AuxSlot(this, record->itemID);
    if (slot < 0)
        return;
    const CAuxMenuItem& item = m_pAuxItems[slot];
    HDC dc = record->hDC;
    RECT rc = record->rcItem;
    bool selected = (record->itemState & ODS_SELECTED) != 0;
    COLORREF fill = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);

    HBRUSH brush = CreateSolidBrush(fill);
    if (brush) {
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
    }

    WCHAR wide[ZT_TEXT];
    int key = -1;
    int length = WideItemText(item, wide, &key);
    SIZE text = {0, 0};
    GetTextExtentPoint32W(dc, wide, length, &text);
    SIZE bitmap = BitmapSize(item.m_hBitmap);
    AuxItemPlace place = PlaceAuxItem(AuxMenuMetricsForDpi(MenuDpi()), rc, bitmap, text);
    if (bitmap.cx > 0)
        DrawBitmap(dc, item.m_hBitmap, bitmap, place.bitmap, HighContrast());

    COLORREF textColour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    COLORREF oldText = SetTextColor(dc, textColour);
    COLORREF oldBack = SetBkColor(dc, fill);
    TextOutW(dc, place.text.x, place.text.y, wide, length);
    // The access key underlined, unless the menu was opened with the mouse.
    if (key >= 0 && key < length && !(record->itemState & ODS_NOACCEL)) {
        SIZE before = {0, 0};
        SIZE letter = {0, 0};
        GetTextExtentPoint32W(dc, wide, key, &before);
        GetTextExtentPoint32W(dc, wide + key, 1, &letter);
        TEXTMETRICA metrics;
        if (GetTextMetricsA(dc, &metrics)) {
            RECT line = {place.text.x + before.cx, place.text.y + metrics.tmAscent + 1,
                         place.text.x + before.cx + letter.cx, place.text.y + metrics.tmAscent + 2};
            HBRUSH pen = CreateSolidBrush(textColour);
            if (pen) {
                FillRect(dc, &line, pen);
                DeleteObject(pen);
            }
        }
    }
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}

int CMainFrame::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    // Version 4 sends the message in the low word and the icon's anchor point in wParam;
    // older versions the message alone.
    UINT message = LOWORD(lParam);
    POINT anchor = {0, 0};
    if (m_uTrayVersion >= NOTIFYICON_VERSION_4) {
        anchor.x = static_cast<short>(LOWORD(wParam));
        anchor.y = static_cast<short>(HIWORD(wParam));
    } else {
        GetCursorPos(&anchor);
    }
    switch (message) {
    case WM_LBUTTONUP:
        m_fMouseSelect = true;
        return 0;
    case NIN_SELECT:
        // After a mouse click it is that click, which does nothing; from the keyboard
        // (Space) it opens the status window.
        if (m_fMouseSelect) {
            m_fMouseSelect = false;
            return 0;
        }
        break;
    case WM_LBUTTONDBLCLK:
    case NIN_KEYSELECT:
    case NIN_BALLOONUSERCLICK:
        break;
    case WM_CONTEXTMENU:
        if (!m_uTrayVersion)
            return 0;
        if (!ChkDelPrn()) {
            PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            return 1;
        }
        ShowTrayMenu(anchor);
        return 0;
    case WM_RBUTTONDOWN:
        // Without a version the shell sends no WM_CONTEXTMENU: the button opens the menu.
        if (m_uTrayVersion)
            return 0;
        if (!ChkDelPrn()) {
            PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            return 1;
        }
        ShowTrayMenu(anchor);
        return 0;
    default:
        return 0;
    }
    if (!ChkDelPrn()) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return 1;
    }
    OnPrinterStatus();
    return 0;
}

void CMainFrame::ShowTrayMenu(POINT anchor)
{
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
    // Ctrl+Shift+Space held while the menu is asked for closes the monitor.
    if ((GetAsyncKeyState(VK_CONTROL) & 0x8000) && (GetAsyncKeyState(VK_SHIFT) & 0x8000) &&
        (GetAsyncKeyState(VK_SPACE) & 0x8000)) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }

    // The menu opens at the icon: its tool items are measured and drawn at that scale.
    m_nMenuDpi = DpiAtPoint(anchor);
    HMENU popup = m_hMenu ? GetSubMenu(m_hMenu, 0) : nullptr;
    if (!popup)
        return;
    HWND owner = m_hWnd;
    while (owner && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(owner);
        if (!parent)
            break;
        owner = parent;
    }
    DrawMenuBar(owner);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, anchor.x, anchor.y, 0, owner, nullptr);
    SendMessageA(m_hWnd, WM_NULL, 0, 0);
    // The keyboard focus goes back to the notification area.
    if (m_uTrayVersion && m_nid.hWnd)
        m_pfnNotifyIcon(NIM_SETFOCUS, &m_nid);
}

void CMainFrame::OnAux(UINT command)
{
    TraceInt("CMainFrame::OnAux : id", static_cast<long>(command));

    char keyPath[260];
    char value[260];
    {
        ScopedRegKey key;
        if (!MenuKeyPath(keyPath, sizeof(keyPath), m_szDriverName) ||
            OpenMachineKey(keyPath, KEY_READ, key.Put()) != ERROR_SUCCESS)
            return;
        char name[16];
        SafeFormat(name, sizeof(name), "%u", command);
        if (!ReadMenuString(key.Get(), name, value, sizeof(value)))
            return;
    }

    {
        CCmdInfo info;
        SafeCopy(info.m_szPrinterName, m_szPrinterName);
        if (info.CompletePrinterInfo() == 1)
            SafeCopy(m_szPortName, info.m_szPortName);
    }

    TraceStr("CMainFrame::OnAux : printer name", m_szPrinterName);
    TraceStr("CMainFrame::OnAux : port name", m_szPortName);
    TraceStr("CMainFrame::OnAux : model id", m_szModelID);
    TraceStr("CMainFrame::OnAux : driver name", m_szDriverName);

    char commandLine[kAuxCommandLineSize];
    SafeCopy(commandLine, value);
    AppendToolOption(commandLine, sizeof(commandLine), "P", m_szPrinterName);
    AppendToolOption(commandLine, sizeof(commandLine), "M", m_szModelID);
    AppendToolOption(commandLine, sizeof(commandLine), "D", m_szDriverName);
    AppendToolOption(commandLine, sizeof(commandLine), "O", m_szPortName);
    TraceStr("CMainFrame::OnAux : command line", commandLine);
    StartExe(commandLine);
}

#include "prefs_window.h"

#include "lang_resolver.h"
#include "scoped.h"

namespace {

const int kClientWidth = 420;
const int kClientHeight = 262;
const int kImageIconSize = 32;
const int kImageButtonWidth = 56;
const int kImageButtonHeight = 44;
const int kImageTextWidth = 80;
const int kNoteHeight = 48;
const char* const kImageNames[TRAY_IMAGE_COUNT] = {"Image 1", "Image 2", "Image 3"};

} // namespace

CPrefsWindow::CPrefsWindow(const PrinterIdentity& identity)
    : m_identity(identity), m_szTarget{}, m_hasTarget(false), m_settings{0, 0}, m_hIcons{}
{
}

CPrefsWindow::~CPrefsWindow()
{
    // The window goes first: its buttons show the icons.
    if (Handle())
        DestroyWindow(Handle());
    for (HICON& icon : m_hIcons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

HWND CPrefsWindow::Create(HINSTANCE instance)
{
    m_hasTarget = FindOrCreateTarget(m_identity, m_szTarget) == 1;
    if (m_hasTarget)
        ReadTraySettings(m_szTarget, &m_settings);
    LoadImages();
    char title[KIT_TITLE_SIZE];
    FormatKitTitle(PREFS_TITLE_PREFIX, m_identity, title, sizeof(title));
    return CKitWindow::Create(instance, PREFS_WINDOW_CLASS, title, kClientWidth, kClientHeight);
}

void CPrefsWindow::LoadImages()
{
    char path[ZT_TEXT] = "";
    if (!GetResDllPath(path, m_identity.driver, m_identity.model))
        return;
    ScopedLibrary library;
    if (!library.LoadResources(path))
        return;
    // Icons made by LoadImage (without LR_SHARED) stay valid after the library is freed.
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        m_hIcons[i] = static_cast<HICON>(LoadImageA(library.Get(), MAKEINTRESOURCEA(TRAY_IMAGE_FIRST_ID + i),
                                                    IMAGE_ICON, kImageIconSize, kImageIconSize, LR_DEFAULTCOLOR));
    }
}

bool CPrefsWindow::OnCreate()
{
    AddRow(0, "Printer:", IdentityKey(m_identity), static_cast<UINT>(-1));
    int y = KIT_MARGIN + KIT_ROW_HEIGHT + 8;
    AddText("Image in the notification area:", KIT_MARGIN, y, ClientWidth() - 2 * KIT_MARGIN, KIT_ROW_HEIGHT - 4,
            static_cast<UINT>(-1));
    AddImageButtons(y + KIT_ROW_HEIGHT);

    y += KIT_ROW_HEIGHT + kImageButtonHeight + 12;
    HWND show = AddButton("Show the printer icon in the notification area", BS_AUTOCHECKBOX | WS_GROUP,
                          KIT_MARGIN, y, ClientWidth() - 2 * KIT_MARGIN, KIT_ROW_HEIGHT, IDC_PREFS_SHOW_ICON);
    if (!show)
        return false;
    SendMessageA(show, BM_SETCHECK, m_settings.enable ? BST_CHECKED : BST_UNCHECKED, 0);
    AddControl("STATIC", "", SS_LEFT | SS_NOPREFIX, KIT_MARGIN, y + KIT_ROW_HEIGHT + 6,
               ClientWidth() - 2 * KIT_MARGIN, kNoteHeight, IDC_PREFS_NOTE);

    HWND ok = AddBottomButton("OK", IDC_PREFS_OK, 1, true);
    if (!ok || !AddBottomButton("Cancel", IDC_PREFS_CANCEL, 0, false))
        return false;
    if (!m_hasTarget) {
        EnableWindow(show, FALSE);
        EnableWindow(ok, FALSE);
        for (int i = 0; i < TRAY_IMAGE_COUNT; ++i)
            EnableWindow(Item(IDC_PREFS_IMAGE_FIRST + i), FALSE);
    }
    UpdateNote();
    return true;
}

void CPrefsWindow::AddImageButtons(int y)
{
    // The monitor shows the first image for a value it has no image for.
    DWORD shown = m_settings.selected < static_cast<DWORD>(TRAY_IMAGE_COUNT) ? m_settings.selected : 0;
    int x = KIT_MARGIN;
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0);
        int width = kImageTextWidth;
        if (m_hIcons[i]) {
            style |= BS_ICON;
            width = kImageButtonWidth;
        }
        HWND button = AddButton(kImageNames[i], style, x, y, width, kImageButtonHeight, IDC_PREFS_IMAGE_FIRST + i);
        if (button && m_hIcons[i])
            SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hIcons[i]));
        if (button && static_cast<DWORD>(i) == shown)
            SendMessageA(button, BM_SETCHECK, BST_CHECKED, 0);
        x += width + 12;
    }
}

void CPrefsWindow::UpdateNote()
{
    char note[ZT_TEXT + 160];
    if (!m_hasTarget) {
        SafeCopy(note, sizeof(note), "The settings of this printer cannot be read or written.");
    } else if (!ShowIconChecked() || !m_settings.enable) {
        SafeCopy(note, sizeof(note),
                 ShowIconChecked() ? "The monitor of this printer is switched off. To start it again, run:\r\n"
                                   : "The monitor of this printer closes when you click OK. "
                                     "To show the icon again, run:\r\n");
        SafeAppend(note, sizeof(note), PREFS_ENABLE_COMMAND " \"");
        SafeAppend(note, sizeof(note), IdentityKey(m_identity));
        SafeAppend(note, sizeof(note), "\"");
    } else {
        note[0] = '\0';
    }
    SetItemText(IDC_PREFS_NOTE, note);
}

int CPrefsWindow::CheckedImage() const
{
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        if (SendMessageA(Item(IDC_PREFS_IMAGE_FIRST + i), BM_GETCHECK, 0, 0) == BST_CHECKED)
            return i;
    }
    return TRAY_KEEP;
}

bool CPrefsWindow::ShowIconChecked() const
{
    return SendMessageA(Item(IDC_PREFS_SHOW_ICON), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int CPrefsWindow::Apply()
{
    if (!m_hasTarget)
        return 0;
    bool show = ShowIconChecked();
    // An enabled value other than 1 is left as it is while the icon stays on.
    int enable = show ? (m_settings.enable ? TRAY_KEEP : 1) : 0;
    if (!WriteTraySettings(m_szTarget, CheckedImage(), enable)) {
        MessageBoxA(Handle(), "The settings could not be saved.", KIT_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    NotifyMonitor(m_identity, !show);
    return 1;
}

void CPrefsWindow::OnCommand(UINT id, UINT code)
{
    if (id == IDC_PREFS_OK) {
        if (Apply())
            DestroyWindow(Handle());
    } else if (id == IDC_PREFS_SHOW_ICON && code == BN_CLICKED) {
        UpdateNote();
    } else {
        CKitWindow::OnCommand(id, code); // Cancel
    }
}

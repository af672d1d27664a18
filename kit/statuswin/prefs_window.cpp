#include "prefs_window.h"

#include "display_scale.h"
#include "driver_config.h"
#include "lang_resolver.h"
#include "scoped.h"

namespace {

const int kClientWidth = 250; // dialog units
// The image buttons follow their icons, whose sizes are given in pixels at 100 %.
const int kImageIconSize = 32;
const int kImageIconPadding = 24; // the radio mark beside the icon
const int kImageIconMargin = 12;  // above and below the icon together
const int kImageTextWidth = 50;   // dialog units: a button without an icon
const int kImageGap = 8;          // dialog units between the buttons
const int kNoteLines = 4;         // the note's room, in lines of text
const char* const kImageNames[TRAY_IMAGE_COUNT] = {"Image 1", "Image 2", "Image 3"};

struct StateSwitch {
    const char* value;
    const char* label;
    UINT id;
};
const StateSwitch kStateSwitches[2] = {
    {TARGET_STATE_SHOW, "Show the printer's state on the icon", IDC_PREFS_SHOW_STATE},
    {TARGET_STATE_NOTIFY, "Tell me when the printer needs attention", IDC_PREFS_NOTIFY},
};

// Where the window's parts go, in pixels, for the window's font and scale.
struct PrefsLayout {
    int imagesTitleY; // "Image in the notification area:"
    int imagesY;      // the image buttons
    int imageHeight;
    int showY;        // the check box
    int stateY;       // the two state switches
    int noteY;
    int noteHeight;
    int clientHeight;
};

PrefsLayout LayOutPrefs(const KitMetrics& m)
{
    PrefsLayout layout;
    layout.imagesTitleY = KitY(m, KIT_MARGIN + KIT_ROW_PITCH + 4);
    layout.imagesY = layout.imagesTitleY + KitY(m, KIT_ROW_PITCH);
    int iconButton = ScaleForDpi(kImageIconSize + kImageIconMargin, m.dpi);
    int textButton = KitY(m, KIT_BUTTON_HEIGHT);
    layout.imageHeight = iconButton > textButton ? iconButton : textButton;
    layout.showY = layout.imagesY + layout.imageHeight + KitY(m, 6);
    layout.stateY = layout.showY + KitY(m, KIT_ROW_PITCH);
    layout.noteY = layout.stateY + 2 * KitY(m, KIT_ROW_PITCH);
    layout.noteHeight = KitY(m, kNoteLines * 8);
    layout.clientHeight = layout.noteY + layout.noteHeight + KitY(m, KIT_MARGIN) + KitY(m, KIT_BUTTON_HEIGHT) +
                          KitY(m, KIT_MARGIN);
    return layout;
}

} // namespace

CPrefsWindow::CPrefsWindow(const PrinterIdentity& identity)
    : m_identity(identity), m_szTarget{}, m_hasTarget(false), m_settings{0, 0}, m_stateSwitch{1, 1},
      m_stateByPolicy{0, 0}, m_hIcons{}
{
}

CPrefsWindow::~CPrefsWindow()
{
    // The window goes first: its buttons show the icons.
    if (Handle())
        DestroyWindow(Handle());
    FreeImages(m_hIcons);
}

HWND CPrefsWindow::Create(HINSTANCE instance)
{
    m_hasTarget = FindOrCreateTarget(m_identity, m_szTarget) == 1;
    if (m_hasTarget)
        ReadTraySettings(m_szTarget, &m_settings);
    char profile[ZT_TEXT] = "";
    GetProfilePath(profile, m_identity.driver, m_identity.model);
    for (int i = 0; i < 2; ++i) {
        m_stateSwitch[i] = ReadStateSwitch(kStateSwitches[i].value, m_hasTarget ? m_szTarget : "", profile,
                                           m_identity.model, &m_stateByPolicy[i]);
    }
    char title[KIT_TITLE_SIZE];
    FormatKitTitle(PREFS_TITLE_PREFIX, m_identity, title, sizeof(title));
    return CKitWindow::Create(instance, PREFS_WINDOW_CLASS, title);
}

void CPrefsWindow::LoadImages(HICON (&icons)[TRAY_IMAGE_COUNT]) const
{
    char path[ZT_TEXT] = "";
    if (!GetResDllPath(path, m_identity.driver, m_identity.model))
        return;
    ScopedLibrary library;
    if (!library.LoadResources(path))
        return;
    // At the window's scale; icons made by LoadImage (without LR_SHARED) stay valid after
    // the library is freed.
    int size = ScaleForDpi(kImageIconSize, Metrics().dpi);
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        icons[i] = static_cast<HICON>(LoadImageA(library.Get(), MAKEINTRESOURCEA(TRAY_IMAGE_FIRST_ID + i),
                                                 IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    }
}

void CPrefsWindow::FreeImages(HICON (&icons)[TRAY_IMAGE_COUNT])
{
    for (HICON& icon : icons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

SIZE CPrefsWindow::ClientSize() const
{
    return SIZE{KitX(Metrics(), kClientWidth), LayOutPrefs(Metrics()).clientHeight};
}

bool CPrefsWindow::OnCreate()
{
    LoadImages(m_hIcons);
    const KitMetrics& m = Metrics();
    PrefsLayout layout = LayOutPrefs(m);
    int left = KitX(m, KIT_MARGIN);
    int width = ClientWidth() - 2 * left;
    AddRow(0, "Printer:", IdentityKey(m_identity), static_cast<UINT>(-1));
    AddText("Image in the notification area:", left, layout.imagesTitleY, width, KitY(m, KIT_TEXT_HEIGHT),
            static_cast<UINT>(-1));
    AddImageButtons(layout.imagesY, layout.imageHeight);

    HWND show = AddButton("Show the printer icon in the notification area", BS_AUTOCHECKBOX | WS_GROUP, left,
                          layout.showY, width, KitY(m, KIT_TEXT_HEIGHT + 2), IDC_PREFS_SHOW_ICON);
    if (!show)
        return false;
    SendMessageA(show, BM_SETCHECK, m_settings.enable ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!AddStateSwitches(layout.stateY))
        return false;
    AddControl("STATIC", "", SS_LEFT | SS_NOPREFIX, left, layout.noteY, width, layout.noteHeight, IDC_PREFS_NOTE);

    HWND ok = AddBottomButton("OK", IDC_PREFS_OK, 1, true);
    if (!ok || !AddBottomButton("Cancel", IDC_PREFS_CANCEL, 0, false))
        return false;
    if (!m_hasTarget) {
        EnableWindow(show, FALSE);
        EnableWindow(ok, FALSE);
        for (const StateSwitch& each : kStateSwitches)
            EnableWindow(Item(each.id), FALSE);
        for (int i = 0; i < TRAY_IMAGE_COUNT; ++i)
            EnableWindow(Item(IDC_PREFS_IMAGE_FIRST + i), FALSE);
    }
    UpdateNote();
    return true;
}

bool CPrefsWindow::AddStateSwitches(int y)
{
    const KitMetrics& m = Metrics();
    int left = KitX(m, KIT_MARGIN);
    for (int i = 0; i < 2; ++i) {
        HWND box = AddButton(kStateSwitches[i].label, BS_AUTOCHECKBOX, left, y + i * KitY(m, KIT_ROW_PITCH),
                             ClientWidth() - 2 * left, KitY(m, KIT_TEXT_HEIGHT + 2), kStateSwitches[i].id);
        if (!box)
            return false;
        SendMessageA(box, BM_SETCHECK, m_stateSwitch[i] ? BST_CHECKED : BST_UNCHECKED, 0);
        // What the administrator decided cannot be changed here.
        if (m_stateByPolicy[i])
            EnableWindow(box, FALSE);
    }
    return true;
}

void CPrefsWindow::AddImageButtons(int y, int height)
{
    const KitMetrics& m = Metrics();
    // The monitor shows the first image for a value it has no image for.
    DWORD shown = m_settings.selected < static_cast<DWORD>(TRAY_IMAGE_COUNT) ? m_settings.selected : 0;
    int x = KitX(m, KIT_MARGIN);
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0);
        int width = KitX(m, kImageTextWidth);
        if (m_hIcons[i]) {
            style |= BS_ICON;
            width = ScaleForDpi(kImageIconSize + kImageIconPadding, m.dpi);
        }
        HWND button = AddButton(kImageNames[i], style, x, y, width, height, IDC_PREFS_IMAGE_FIRST + i);
        if (button && m_hIcons[i])
            SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hIcons[i]));
        if (button && static_cast<DWORD>(i) == shown)
            SendMessageA(button, BM_SETCHECK, BST_CHECKED, 0);
        x += width + KitX(m, kImageGap);
    }
}

void CPrefsWindow::OnScaleChanged()
{
    // The buttons' icons at the new scale; the old ones go when no button shows them.
    HICON fresh[TRAY_IMAGE_COUNT] = {};
    LoadImages(fresh);
    for (int i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        if (!m_hIcons[i] || !fresh[i])
            continue;
        SendMessageA(Item(IDC_PREFS_IMAGE_FIRST + i), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(fresh[i]));
        HICON old = m_hIcons[i];
        m_hIcons[i] = fresh[i];
        fresh[i] = old;
    }
    FreeImages(fresh);
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
    // A switch is written only when changed here, so that the profile's default holds
    // until the user decides.
    int switches[2];
    for (int i = 0; i < 2; ++i) {
        int checked = SendMessageA(Item(kStateSwitches[i].id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        switches[i] = (m_stateByPolicy[i] || checked == m_stateSwitch[i]) ? TRAY_KEEP : checked;
    }
    if (!WriteTraySettings(m_szTarget, CheckedImage(), enable) ||
        !WriteStateSwitches(m_szTarget, switches[0], switches[1])) {
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

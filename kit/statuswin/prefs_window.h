// The "Monitoring Preferences" window: which of the three tray images the printer's
// monitor shows, and whether it shows an icon (runs) at all. OK writes the choice into the
// printer's target and tells the running monitor; Cancel changes nothing.
#pragma once

#include <windows.h>

#include "kitwindow.h"
#include "printer_state.h"
#include "tray_settings.h"

#define PREFS_WINDOW_CLASS "ZetMonitorPrefsWClass"
#define PREFS_TITLE_PREFIX "Monitoring Preferences - "
// The command that switches a printer's monitor on again.
#define PREFS_ENABLE_COMMAND "zetsetup enable --printer"

// Radio buttons of the images 0, 1, 2: IDC_PREFS_IMAGE_FIRST + image.
constexpr UINT IDC_PREFS_IMAGE_FIRST = 1201;
constexpr UINT IDC_PREFS_SHOW_ICON = 1210; // the "show the icon" check box
constexpr UINT IDC_PREFS_NOTE = 1211;      // how to switch the monitor on again, or a failure
constexpr UINT IDC_PREFS_SHOW_STATE = 1212; // "Show the printer's state on the icon"
constexpr UINT IDC_PREFS_NOTIFY = 1213;     // "Tell me when the printer needs attention"
constexpr UINT IDC_PREFS_OK = IDOK;
constexpr UINT IDC_PREFS_CANCEL = IDCANCEL;

class CPrefsWindow : public CKitWindow {
public:
    explicit CPrefsWindow(const PrinterIdentity& identity);
    ~CPrefsWindow() override;

    // Finds (or creates) the printer's target, reads its settings, loads the images from
    // the driver's resource library and creates the window (not shown yet).
    HWND Create(HINSTANCE instance);
    // Saves the window's choice and tells the running monitor. 1 when saved.
    int Apply();

protected:
    SIZE ClientSize() const override;
    bool OnCreate() override;
    void OnCommand(UINT id, UINT code) override;
    void OnScaleChanged() override;

private:
    // The three images from the driver's resource library at the window's scale (null
    // where one is missing).
    void LoadImages(HICON (&icons)[TRAY_IMAGE_COUNT]) const;
    static void FreeImages(HICON (&icons)[TRAY_IMAGE_COUNT]);
    void AddImageButtons(int y, int height);
    // The note under the check box, for its current state.
    void UpdateNote();
    int CheckedImage() const;
    bool ShowIconChecked() const;
    // The two state switches' check boxes, each disabled when the policy sets it.
    bool AddStateSwitches(int y);

    PrinterIdentity m_identity;
    char m_szTarget[ZT_TEXT];
    bool m_hasTarget;
    TraySettings m_settings;
    int m_stateSwitch[2];   // show, notify: 1 on, 0 off
    int m_stateByPolicy[2]; // 1 where the policy decides
    HICON m_hIcons[TRAY_IMAGE_COUNT];
};

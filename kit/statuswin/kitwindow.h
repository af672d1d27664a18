// The small top-level windows of the driver kit's programs: a caption, rows of "label:
// value" texts, a few buttons. One object per window; the window procedure reaches it
// through the window's user data, so no state lives in static variables.
//
// A window is laid out from its font (the system's message font at the window's DPI) in
// dialog units, as a dialog template is: a unit across is a quarter of the font's average
// character width, a unit down an eighth of its height. So its texts fit at every display
// scale; a window moved to a monitor of another scale is laid out again for it.
#pragma once

#include <windows.h>

// Caption of the kit's message boxes.
#define KIT_CAPTION "ORVEL Zetwatch"

// The window's scale and its font's size, which its layout follows.
struct KitMetrics {
    UINT dpi;
    int charWidth;  // the font's average character width
    int charHeight; // the font's height
};

// Pixels across and down for dialog units.
int KitX(const KitMetrics& metrics, int units);
int KitY(const KitMetrics& metrics, int units);

// Layout of a row form, in dialog units.
constexpr int KIT_MARGIN = 7;
constexpr int KIT_ROW_PITCH = 14;
constexpr int KIT_TEXT_HEIGHT = 10;
constexpr int KIT_LABEL_WIDTH = 56;
constexpr int KIT_BUTTON_WIDTH = 54;
constexpr int KIT_BUTTON_HEIGHT = 15;
constexpr int KIT_BUTTON_GAP = 4;

// Client height in pixels of a form of `rows` rows above a line of buttons.
int KitFormHeight(const KitMetrics& metrics, int rows);

class CKitWindow {
public:
    CKitWindow();
    // Destroys the window if it still exists.
    virtual ~CKitWindow();
    CKitWindow(const CKitWindow&) = delete;
    CKitWindow& operator=(const CKitWindow&) = delete;

    // Lays the window out for `dpi` instead of the scale of the screen it appears on
    // (before Create; 0: the screen's).
    void SetLayoutDpi(UINT dpi) { m_layoutDpi = dpi; }
    // Registers `className` (once per process), chooses the font, creates the window with
    // the client area of ClientSize, then calls OnCreate to add the controls. The window
    // is not shown yet. Null when the window cannot be created.
    HWND Create(HINSTANCE instance, const char* className, const char* title);
    HWND Handle() const { return m_hWnd; }
    const KitMetrics& Metrics() const { return m_metrics; }

protected:
    // The client area's size in pixels for Metrics().
    virtual SIZE ClientSize() const = 0;
    // Adds the controls; false makes Create fail (the window is destroyed again).
    virtual bool OnCreate() = 0;
    // WM_COMMAND from a control or the keyboard (IDOK for Enter, IDCANCEL for Esc). By
    // default IDOK and IDCANCEL close the window.
    virtual void OnCommand(UINT id, UINT code);
    virtual void OnTimer(UINT_PTR id);
    // A message of WM_APP and above, posted by the window's own helpers.
    virtual void OnAppMessage(UINT message);
    // The window was laid out again for another scale (Metrics() holds the new one).
    virtual void OnScaleChanged();

    // A child control with the window's font; null when it cannot be created.
    HWND AddControl(const char* className, const char* text, DWORD style, int x, int y, int width, int height,
                    UINT id);
    // A read-only text; SS_NOPREFIX so that '&' in printer names shows as itself.
    HWND AddText(const char* text, int x, int y, int width, int height, UINT id);
    HWND AddButton(const char* text, DWORD style, int x, int y, int width, int height, UINT id);
    // Row `row` of the form (0 = the top): the label on the left, the value to its right,
    // over the whole client width. Returns the value's control.
    HWND AddRow(int row, const char* label, const char* value, UINT valueId);
    // The Close-style button at the bottom right of the client area.
    HWND AddBottomButton(const char* text, UINT id, int indexFromRight, bool isDefault);
    // Text of a child control; ignored when there is no such control.
    void SetItemText(UINT id, const char* text);
    HWND Item(UINT id) const { return GetDlgItem(m_hWnd, static_cast<int>(id)); }
    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Replaces the font with the message font at `dpi` and measures it.
    bool ChooseFont(UINT dpi);
    // Lays the window out again for `dpi`: controls, font and size (`suggested` is the
    // window's new rectangle, or null to keep its place).
    void Rescale(UINT dpi, const RECT* suggested);

    HWND m_hWnd;
    HINSTANCE m_hInstance;
    HFONT m_hFont;
    UINT m_layoutDpi;
    KitMetrics m_metrics;
    int m_clientWidth;
    int m_clientHeight;
};

// Runs the thread's message loop until WM_QUIT, with the keyboard handling of a dialog box
// (Tab, Enter, Esc, arrow keys between radio buttons) for `window`. Meanwhile `window` is
// closed when an installer raises the close request of this program's folder. Returns the
// quit code.
int RunKitMessageLoop(HWND window);

// Restores a window (that may be minimised) and brings it to the front.
void BringWindowToFront(HWND window);

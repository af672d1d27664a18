// The small top-level windows of the driver kit's programs: a caption, rows of "label:
// value" texts, a few buttons. One object per window; the window procedure reaches it
// through the window's user data, so no state lives in static variables.
#pragma once

#include <windows.h>

// Caption of the kit's message boxes.
#define KIT_CAPTION "ORVEL Zetwatch"

// Layout of a row form, in pixels of the client area.
constexpr int KIT_MARGIN = 12;
constexpr int KIT_ROW_HEIGHT = 22;
constexpr int KIT_LABEL_WIDTH = 86;
constexpr int KIT_BUTTON_WIDTH = 80;
constexpr int KIT_BUTTON_HEIGHT = 24;

// Client height of a form of `rows` rows above a line of buttons.
constexpr int KitFormHeight(int rows)
{
    return 2 * KIT_MARGIN + rows * KIT_ROW_HEIGHT + KIT_MARGIN + KIT_BUTTON_HEIGHT;
}

class CKitWindow {
public:
    CKitWindow();
    // Destroys the window if it still exists.
    virtual ~CKitWindow();
    CKitWindow(const CKitWindow&) = delete;
    CKitWindow& operator=(const CKitWindow&) = delete;

    // Registers `className` (once per process) and creates the window with a client area
    // of the given size, then calls OnCreate to add the controls. The window is not shown
    // yet. Null when the window cannot be created.
    HWND Create(HINSTANCE instance, const char* className, const char* title, int clientWidth, int clientHeight);
    HWND Handle() const { return m_hWnd; }

protected:
    // Adds the controls; false makes Create fail (the window is destroyed again).
    virtual bool OnCreate() = 0;
    // WM_COMMAND from a control or the keyboard (IDOK for Enter, IDCANCEL for Esc). By
    // default IDOK and IDCANCEL close the window.
    virtual void OnCommand(UINT id, UINT code);
    virtual void OnTimer(UINT_PTR id);

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

    HWND m_hWnd;
    HINSTANCE m_hInstance;
    HFONT m_hFont;
    int m_clientWidth;
    int m_clientHeight;
};

// Runs the thread's message loop until WM_QUIT, with the keyboard handling of a dialog box
// (Tab, Enter, Esc, arrow keys between radio buttons) for `window`. Returns the quit code.
int RunKitMessageLoop(HWND window);

// Restores a window (that may be minimised) and brings it to the front.
void BringWindowToFront(HWND window);

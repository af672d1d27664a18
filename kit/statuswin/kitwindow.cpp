#include "kitwindow.h"

#include "close_request.h"
#include "display_scale.h"

namespace {

// The program's own icon (resource 1 of the executable), when it has one.
const WORD kProgramIconId = 1;
const DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Sent where the system has a scale per monitor, when the window's monitor or scale
// changes: the new DPI in wParam, the suggested window rectangle in lParam.
const UINT kDpiChangedMessage = 0x02E0; // WM_DPICHANGED
// The text over which the font's average character width is measured.
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool RegisterKitClass(HINSTANCE instance, const char* className, WNDPROC proc)
{
    WNDCLASSEXA existing;
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, className, &existing))
        return true;
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kProgramIconId));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterClassExA(&wc) != 0;
}

// A child's rectangle in its parent's client area.
RECT ChildRect(HWND parent, HWND child)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int Scaled(int pixels, UINT to, UINT from)
{
    return MulDiv(pixels, static_cast<int>(to), static_cast<int>(from));
}

// The metrics of the font selected into `dc`, at `dpi`.
KitMetrics MeasureKitFont(HDC dc, UINT dpi)
{
    TEXTMETRICA tm;
    ZeroMemory(&tm, sizeof(tm));
    GetTextMetricsA(dc, &tm);
    SIZE alphabet = {0, 0};
    GetTextExtentPoint32A(dc, kAlphabet, static_cast<int>(sizeof(kAlphabet) - 1), &alphabet);
    KitMetrics metrics;
    metrics.dpi = dpi;
    // Rounded as the system rounds a dialog's base units.
    metrics.charWidth = alphabet.cx > 0 ? (alphabet.cx / 26 + 1) / 2 : tm.tmAveCharWidth;
    metrics.charHeight = tm.tmHeight;
    return metrics;
}

} // namespace

int KitX(const KitMetrics& metrics, int units)
{
    return MulDiv(units, metrics.charWidth, 4);
}

int KitY(const KitMetrics& metrics, int units)
{
    return MulDiv(units, metrics.charHeight, 8);
}

int KitFormHeight(const KitMetrics& metrics, int rows)
{
    return KitY(metrics, 2 * KIT_MARGIN + rows * KIT_ROW_PITCH) + KitY(metrics, KIT_MARGIN) +
           KitY(metrics, KIT_BUTTON_HEIGHT);
}

CKitWindow::CKitWindow()
    : m_hWnd(nullptr), m_hInstance(nullptr), m_hFont(nullptr), m_layoutDpi(0), m_metrics{DPI_100_PERCENT, 0, 0},
      m_clientWidth(0), m_clientHeight(0)
{
}

CKitWindow::~CKitWindow()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    if (m_hFont)
        DeleteObject(m_hFont);
}

HWND CKitWindow::Create(HINSTANCE instance, const char* className, const char* title)
{
    if (m_hWnd || !RegisterKitClass(instance, className, WindowProc))
        return nullptr;
    m_hInstance = instance;
    if (!ChooseFont(m_layoutDpi ? m_layoutDpi : SystemDpi()))
        return nullptr;
    SIZE client = ClientSize();
    m_clientWidth = client.cx;
    m_clientHeight = client.cy;

    RECT frame = {0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    // WM_NCCREATE stores the object in the window's user data (see WindowProc).
    HWND hwnd = CreateWindowExA(0, className, title ? title : "", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                this);
    if (!hwnd)
        return nullptr;
    if (!OnCreate()) {
        DestroyWindow(hwnd);
        m_hWnd = nullptr;
        return nullptr;
    }
    // The window may have opened on a monitor of another scale than the system's.
    if (!m_layoutDpi)
        Rescale(WindowDpi(hwnd), nullptr);
    return hwnd;
}

bool CKitWindow::ChooseFont(UINT dpi)
{
    LOGFONTA message;
    HFONT font = NonClientFontForDpi(NC_FONT_MESSAGE, dpi, &message) ? CreateFontIndirectA(&message) : nullptr;
    if (!font)
        return false;
    HDC screen = GetDC(nullptr);
    if (!screen) {
        DeleteObject(font);
        return false;
    }
    HGDIOBJ old = SelectObject(screen, font);
    KitMetrics metrics = MeasureKitFont(screen, dpi);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    if (metrics.charWidth <= 0 || metrics.charHeight <= 0) {
        DeleteObject(font);
        return false;
    }
    // The controls still use the old font: the caller deletes it after them.
    m_hFont = font;
    m_metrics = metrics;
    return true;
}

void CKitWindow::Rescale(UINT dpi, const RECT* suggested)
{
    UINT from = m_metrics.dpi;
    HFONT oldFont = m_hFont;
    bool rescaled = dpi != 0 && dpi != from && ChooseFont(dpi);
    if (rescaled) {
        // The layout follows the font, whose size follows the DPI: every edge scales alike.
        for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect = ChildRect(m_hWnd, child);
            int left = Scaled(rect.left, dpi, from);
            int top = Scaled(rect.top, dpi, from);
            MoveWindow(child, left, top, Scaled(rect.right, dpi, from) - left, Scaled(rect.bottom, dpi, from) - top,
                       FALSE);
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
        }
        DeleteObject(oldFont);
        m_clientWidth = Scaled(m_clientWidth, dpi, from);
        m_clientHeight = Scaled(m_clientHeight, dpi, from);
    }
    if (suggested) {
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (rescaled) {
        // The frame keeps its size around the new client area.
        RECT window;
        RECT client;
        GetWindowRect(m_hWnd, &window);
        GetClientRect(m_hWnd, &client);
        SetWindowPos(m_hWnd, nullptr, 0, 0, m_clientWidth + (window.right - window.left) - client.right,
                     m_clientHeight + (window.bottom - window.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (rescaled) {
        OnScaleChanged();
        InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

void CKitWindow::OnCommand(UINT id, UINT)
{
    if (id == IDOK || id == IDCANCEL)
        DestroyWindow(m_hWnd);
}

void CKitWindow::OnTimer(UINT_PTR) {}

void CKitWindow::OnScaleChanged() {}

HWND CKitWindow::AddControl(const char* className, const char* text, DWORD style, int x, int y, int width,
                            int height, UINT id)
{
    HWND control = CreateWindowExA(0, className, text ? text : "", WS_CHILD | WS_VISIBLE | style, x, y, width,
                                   height, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                   m_hInstance, nullptr);
    if (control)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
    return control;
}

HWND CKitWindow::AddText(const char* text, int x, int y, int width, int height, UINT id)
{
    return AddControl("STATIC", text, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, x, y, width, height, id);
}

HWND CKitWindow::AddButton(const char* text, DWORD style, int x, int y, int width, int height, UINT id)
{
    return AddControl("BUTTON", text, WS_TABSTOP | style, x, y, width, height, id);
}

HWND CKitWindow::AddRow(int row, const char* label, const char* value, UINT valueId)
{
    int y = KitY(m_metrics, KIT_MARGIN + row * KIT_ROW_PITCH);
    int height = KitY(m_metrics, KIT_TEXT_HEIGHT);
    int labelX = KitX(m_metrics, KIT_MARGIN);
    int valueX = KitX(m_metrics, KIT_MARGIN + KIT_LABEL_WIDTH);
    AddText(label, labelX, y, valueX - labelX, height, static_cast<UINT>(-1));
    return AddText(value, valueX, y, m_clientWidth - valueX - labelX, height, valueId);
}

HWND CKitWindow::AddBottomButton(const char* text, UINT id, int indexFromRight, bool isDefault)
{
    int width = KitX(m_metrics, KIT_BUTTON_WIDTH);
    int height = KitY(m_metrics, KIT_BUTTON_HEIGHT);
    int x = m_clientWidth - KitX(m_metrics, KIT_MARGIN) - (indexFromRight + 1) * width -
            indexFromRight * KitX(m_metrics, KIT_BUTTON_GAP);
    int y = m_clientHeight - KitY(m_metrics, KIT_MARGIN) - height;
    return AddButton(text, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, x, y, width, height, id);
}

void CKitWindow::SetItemText(UINT id, const char* text)
{
    HWND item = Item(id);
    if (item)
        SetWindowTextA(item, text ? text : "");
}

LRESULT CALLBACK CKitWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<CKitWindow*>(create->lpCreateParams);
        self->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CKitWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CKitWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = m_hWnd;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case kDpiChangedMessage:
        Rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        if (message >= WM_APP && message <= 0xBFFF) {
            OnAppMessage(message);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void CKitWindow::OnAppMessage(UINT) {}

int RunKitMessageLoop(HWND window)
{
    // The window closes, as the monitor does, when an installer is about to replace or
    // remove the files of this program's folder: the loop waits for that request too.
    bool raised = false;
    HANDLE request = OpenCloseRequest(&raised);
    if (raised && window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    const int exitCode = RunClosableMessageLoop(&request, window, window);
    if (request)
        CloseHandle(request);
    return exitCode;
}

void BringWindowToFront(HWND window)
{
    if (!window || !IsWindow(window))
        return;
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

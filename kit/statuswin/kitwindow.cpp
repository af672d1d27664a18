#include "kitwindow.h"

namespace {

// The program's own icon (resource 1 of the executable), when it has one.
const WORD kProgramIconId = 1;
const DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

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

} // namespace

CKitWindow::CKitWindow()
    : m_hWnd(nullptr), m_hInstance(nullptr), m_hFont(nullptr), m_clientWidth(0), m_clientHeight(0)
{
}

CKitWindow::~CKitWindow()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

HWND CKitWindow::Create(HINSTANCE instance, const char* className, const char* title, int clientWidth,
                        int clientHeight)
{
    if (m_hWnd || !RegisterKitClass(instance, className, WindowProc))
        return nullptr;
    m_hInstance = instance;
    m_hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    m_clientWidth = clientWidth;
    m_clientHeight = clientHeight;

    RECT frame = {0, 0, clientWidth, clientHeight};
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
    return hwnd;
}

void CKitWindow::OnCommand(UINT id, UINT)
{
    if (id == IDOK || id == IDCANCEL)
        DestroyWindow(m_hWnd);
}

void CKitWindow::OnTimer(UINT_PTR) {}

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
    int y = KIT_MARGIN + row * KIT_ROW_HEIGHT;
    int valueX = KIT_MARGIN + KIT_LABEL_WIDTH;
    AddText(label, KIT_MARGIN, y, KIT_LABEL_WIDTH, KIT_ROW_HEIGHT - 4, static_cast<UINT>(-1));
    return AddText(value, valueX, y, m_clientWidth - valueX - KIT_MARGIN, KIT_ROW_HEIGHT - 4, valueId);
}

HWND CKitWindow::AddBottomButton(const char* text, UINT id, int indexFromRight, bool isDefault)
{
    int x = m_clientWidth - KIT_MARGIN - (indexFromRight + 1) * KIT_BUTTON_WIDTH - indexFromRight * 8;
    int y = m_clientHeight - KIT_MARGIN - KIT_BUTTON_HEIGHT;
    return AddButton(text, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, x, y, KIT_BUTTON_WIDTH,
                     KIT_BUTTON_HEIGHT, id);
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
    case WM_DESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

int RunKitMessageLoop(HWND window)
{
    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (window && IsWindow(window) && IsDialogMessageA(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void BringWindowToFront(HWND window)
{
    if (!window || !IsWindow(window))
        return;
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

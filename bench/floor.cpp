// The floor the monitor is measured against: the least a tray program does. It registers
// a window class, creates a hidden window, adds one tray icon and idles in its loop.
// Built as zt_floor_spooler, it also opens the printer named on its command line once and
// reads its information first: the floor of a tray program that talks to the spooler at
// all (under Wine the spooler's client side then loads into the process). Built as
// zt_floor_worker, it also keeps one more thread (64 KiB of stack reserved) waiting for
// ever: the floor of a tray program that leaves its spooler calls to a worker thread.
#include <windows.h>
#include <shellapi.h>
#ifdef FLOOR_WITH_SPOOLER
#include <winspool.h>
#endif

#include <string.h>

static NOTIFYICONDATAA g_icon;

static LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        Shell_NotifyIconA(NIM_DELETE, &g_icon);
        PostQuitMessage(0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

#ifdef FLOOR_WITH_SPOOLER
static void TouchSpooler(char* printerName)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterA(printerName, &printer, nullptr) || !printer)
        return;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    BYTE* info = needed ? static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, needed)) : nullptr;
    if (info) {
        GetPrinterA(printer, 2, info, needed, &needed);
        HeapFree(GetProcessHeap(), 0, info);
    }
    ClosePrinter(printer);
}
#endif

#ifdef FLOOR_WITH_THREAD
static DWORD WINAPI IdleWorker(void*)
{
    Sleep(INFINITE);
    return 0;
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
#ifdef FLOOR_WITH_SPOOLER
    if (cmdLine && *cmdLine)
        TouchSpooler(cmdLine);
#else
    (void)cmdLine;
#endif
#ifdef FLOOR_WITH_THREAD
    HANDLE worker = CreateThread(nullptr, 64 * 1024, IdleWorker, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (worker)
        CloseHandle(worker);
#endif
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.lpszClassName = "ZtFloorClass";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "zt floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    memset(&g_icon, 0, sizeof(g_icon));
    g_icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_icon.hWnd = hwnd;
    g_icon.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    g_icon.uCallbackMessage = WM_USER + 100;
    g_icon.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
    lstrcpyA(g_icon.szTip, "floor");
    Shell_NotifyIconA(NIM_ADD, &g_icon);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

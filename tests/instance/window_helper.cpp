// Test helper: creates a top-level window of the class named on the command line, writes
// its handle (decimal) into the given file, then either exits at once, so the handle
// names a destroyed window, or ("stay") keeps it until the window is closed.
//   instance_window_helper.exe <file> <class> exit|stay
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <string>

namespace {

LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Written under a temporary name and renamed, so the reader never sees half a file.
bool ReportHandle(const char* path, HWND window)
{
    std::string part = std::string(path) + ".part";
    FILE* file = fopen(part.c_str(), "w");
    if (!file)
        return false;
    fprintf(file, "%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
    fclose(file);
    return MoveFileExA(part.c_str(), path, MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = HelperProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = argv[2];
    if (!RegisterClassA(&wc))
        return 3;
    HWND window = CreateWindowExA(0, argv[2], "instance helper", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window || !ReportHandle(argv[1], window))
        return 4;
    if (strcmp(argv[3], "stay") != 0)
        return 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

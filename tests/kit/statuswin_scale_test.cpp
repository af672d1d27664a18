// Display scale: the programs say they draw at the monitor's scale, the sample library has
// its tray images in the sizes the shell asks for, and the kit's windows hold their
// controls at every scale, also after moving to a monitor of another scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "driverkit.h"
#include "prefs_window.h"
#include "status_window.h"
#include "testsupport.h"

namespace {

const wchar_t kSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
const wchar_t kSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";

std::wstring ManifestSetting(HANDLE context, const wchar_t* space, const wchar_t* name)
{
    wchar_t value[128] = L"";
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, space, name, value, sizeof(value) / sizeof(value[0]), &written))
        return L"<none>";
    return value;
}

TEST(DisplayScale, ProgramsDrawAtTheMonitorsScale)
{
    for (const char* program : {"zettray.exe", "J_R10RN1.EXE", "zettool.exe"}) {
        SCOPED_TRACE(program);
        const std::string path = zt::BinPath(program);
        ACTCTXA request;
        memset(&request, 0, sizeof(request));
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = MAKEINTRESOURCEA(1);
        HANDLE context = CreateActCtxA(&request);
        ASSERT_NE(INVALID_HANDLE_VALUE, context) << "the manifest reads, error " << GetLastError();
        EXPECT_EQ(L"true/pm", ManifestSetting(context, kSettings2005, L"dpiAware"));
        EXPECT_EQ(L"PerMonitorV2, PerMonitor", ManifestSetting(context, kSettings2016, L"dpiAwareness"));
        ReleaseActCtx(context);
    }
}

// The width and height of the image that an icon resource offers for a size.
SIZE IconImageFor(HMODULE library, UINT id, int size)
{
    HRSRC group = FindResourceA(library, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    BYTE* directory = group ? static_cast<BYTE*>(LockResource(LoadResource(library, group))) : nullptr;
    int imageId = directory ? LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR) : 0;
    HRSRC image = imageId ? FindResourceA(library, MAKEINTRESOURCEA(imageId), MAKEINTRESOURCEA(3)) : nullptr;
    auto* header = image ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(library, image))) : nullptr;
    return header ? SIZE{header->biWidth, header->biHeight / 2} : SIZE{0, 0};
}

TEST(DisplayScale, SampleTrayImagesComeInEverySizeAsked)
{
    HMODULE library = LoadLibraryExA(zt::BinPath("zetres.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, library);
    // The tray's small icon at 100, 150 and 200 %, and the preferences window's at 150 %.
    for (UINT id = 700; id <= 702; ++id) {
        for (int size : {16, 24, 32, 48}) {
            SIZE image = IconImageFor(library, id, size);
            EXPECT_EQ(size, image.cx) << id << " at " << size;
            EXPECT_EQ(size, image.cy) << id << " at " << size;
        }
    }
    FreeLibrary(library);
}

int FontHeight(HWND control)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return metrics.tmHeight;
}

SIZE TextSize(HWND control, const char* text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

// What is wrong with the layout of a window's controls: one that reaches out of the client
// area, two that overlap, one lower than its font, a text (of one line) that does not fit.
// Empty when nothing is.
std::string LayoutFaults(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    std::string faults;
    std::vector<RECT> placed;
    const int checkMark = GetSystemMetrics(SM_CXMENUCHECK);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[512] = "";
        GetWindowTextA(child, text, sizeof(text));
        const std::string name = std::string("\"") + text + "\"";
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        RECT inside;
        IntersectRect(&inside, &rect, &client);
        if (!EqualRect(&inside, &rect))
            faults += name + " reaches out of the client area; ";
        for (const RECT& other : placed) {
            RECT both;
            if (IntersectRect(&both, &rect, &other))
                faults += name + " overlaps another control; ";
        }
        placed.push_back(rect);
        if (rect.bottom - rect.top < FontHeight(child))
            faults += name + " is lower than its font; ";
        LONG style = GetWindowLongA(child, GWL_STYLE);
        char className[32] = "";
        GetClassNameA(child, className, sizeof(className));
        bool button = _stricmp(className, "Button") == 0;
        bool mark = button && (style & BS_TYPEMASK) != BS_PUSHBUTTON && (style & BS_TYPEMASK) != BS_DEFPUSHBUTTON;
        if (!text[0] || (style & BS_ICON))
            continue;
        int room = rect.right - rect.left - (mark ? checkMark : 0);
        if (TextSize(child, text).cx > room)
            faults += name + " does not fit; ";
    }
    return faults;
}

// Removes the quit message that a destroyed kit window leaves in the thread's queue.
void ForgetQuit()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

int IconWidth(HWND button)
{
    HICON icon = reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0));
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP mask;
    GetObjectA(info.hbmMask, sizeof(mask), &mask);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return mask.bmWidth;
}

class KitWindowScale : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_kit.Ok());
        lstrcpynA(m_identity.printer, m_kit.Printer().c_str(), sizeof(m_identity.printer));
        lstrcpynA(m_identity.port, m_kit.Port().c_str(), sizeof(m_identity.port));
        lstrcpynA(m_identity.driver, m_kit.Driver().c_str(), sizeof(m_identity.driver));
        lstrcpynA(m_identity.model, m_kit.Model().c_str(), sizeof(m_identity.model));
    }
    void TearDown() override { ForgetQuit(); }

    zt::TestDriverKit m_kit;
    PrinterIdentity m_identity{};
};

TEST_F(KitWindowScale, ControlsHoldInTheClientAreaAtEveryScale)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    for (UINT dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        CStatusWindow status(m_identity);
        status.SetLayoutDpi(dpi);
        ASSERT_NE(nullptr, status.Create(instance));
        EXPECT_EQ("", LayoutFaults(status.Handle())) << "Printer Status";

        CPrefsWindow prefs(m_identity);
        prefs.SetLayoutDpi(dpi);
        ASSERT_NE(nullptr, prefs.Create(instance));
        EXPECT_EQ("", LayoutFaults(prefs.Handle())) << "Monitoring Preferences";
        EXPECT_EQ(MulDiv(32, dpi, 96), IconWidth(GetDlgItem(prefs.Handle(), IDC_PREFS_IMAGE_FIRST)));
    }
}

TEST_F(KitWindowScale, MovedToAMonitorOfAnotherScale)
{
    CPrefsWindow prefs(m_identity);
    prefs.SetLayoutDpi(96);
    HWND window = prefs.Create(GetModuleHandleA(nullptr));
    ASSERT_NE(nullptr, window);
    RECT before;
    GetClientRect(window, &before);
    const int fontBefore = prefs.Metrics().charHeight;

    // The system suggests the window's new rectangle, here half as large again.
    RECT moved;
    GetWindowRect(window, &moved);
    moved.right = moved.left + (moved.right - moved.left) * 3 / 2;
    moved.bottom = moved.top + (moved.bottom - moved.top) * 3 / 2;
    SendMessageA(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&moved));

    EXPECT_EQ(144u, prefs.Metrics().dpi);
    EXPECT_GE(prefs.Metrics().charHeight, fontBefore * 4 / 3);
    RECT after;
    GetClientRect(window, &after);
    EXPECT_GE(after.right, before.right * 4 / 3);
    EXPECT_EQ("", LayoutFaults(window));
    EXPECT_EQ(48, IconWidth(GetDlgItem(window, IDC_PREFS_IMAGE_FIRST))) << "the images at the new scale";
}

} // namespace

#include "instance_testutil.h"

#include <stdlib.h>
#include <string.h>

#include <set>

namespace zt {

TestTable::TestTable(DWORD recordSize, const char* prefix) : m_name(UniqueName(prefix)), m_recordSize(recordSize)
{
    m_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, Size(), m_name.c_str());
    if (!m_mapping)
        return;
    m_data = static_cast<BYTE*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, Size()));
    if (m_data)
        m_data[0] = 0xFF;
}

TestTable::~TestTable()
{
    if (m_data)
        UnmapViewOfFile(m_data);
    if (m_mapping)
        CloseHandle(m_mapping);
}

void TestTable::PutRecord(DWORD position, const std::string& key, DWORD hWnd12, DWORD hWnd0, DWORD hWnd3)
{
    BYTE* record = Record(position);
    memcpy(record, key.c_str(), key.size() + 1);
    DWORD tail = m_recordSize - 14;
    memset(record + tail, 0, 2);
    PutSlot(record, tail + 2, hWnd12);
    PutSlot(record, tail + 6, hWnd0);
    PutSlot(record, tail + 10, hWnd3);
}

DWORD SlotAt(const BYTE* record, DWORD offset)
{
    DWORD value;
    memcpy(&value, record + offset, sizeof(value));
    return value;
}

void PutSlot(BYTE* record, DWORD offset, DWORD value)
{
    memcpy(record + offset, &value, sizeof(value));
}

DWORD HandleValue(HWND window)
{
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
}

TestWindow::TestWindow(const char* className)
{
    static std::set<std::string> registered;
    if (!registered.count(className)) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        if (RegisterClassA(&wc))
            registered.insert(className);
    }
    m_window = CreateWindowExA(0, className, "instance test", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}

HWND HelperWindow::Start(const char* className, bool stay)
{
    DeleteFileIfAny(m_report.Path());
    std::string args = "\"" + m_report.Path() + "\" " + className + (stay ? " stay" : " exit");
    if (!m_process.Start(TestBinDir() + "instance_window_helper.exe", args))
        return nullptr;
    if (!stay && !m_process.Wait(30000))
        return nullptr;
    if (!WaitFor([&] { return FileExists(m_report.Path()); }, 30000))
        return nullptr;
    std::vector<std::string> lines = ReadLines(m_report.Path());
    if (lines.empty())
        return nullptr;
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoul(lines[0].c_str(), nullptr, 10)));
}

HelperWindow::~HelperWindow()
{
    if (m_process.Running()) {
        m_process.Kill();
        m_process.Wait(10000);
    }
}

} // namespace zt

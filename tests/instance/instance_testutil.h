// Fixtures for the instance-table tests: named tables with a view the test reads and
// writes directly, windows of a chosen class in this process, and windows of a helper
// process.
#pragma once

#include <windows.h>

#include <string>

#include "testsupport.h"

namespace zt {

// A table of 500 records under a unique name, created all zero but for the end marker
// at byte 0, and mapped for the test to read and write. Closed at the end of the scope.
class TestTable {
public:
    explicit TestTable(DWORD recordSize, const char* prefix = "zttab");
    ~TestTable();
    TestTable(const TestTable&) = delete;
    TestTable& operator=(const TestTable&) = delete;

    bool Ok() const { return m_data != nullptr; }
    HANDLE Handle() const { return m_mapping; }
    const std::string& Name() const { return m_name; }
    DWORD RecordSize() const { return m_recordSize; }
    DWORD Size() const { return m_recordSize * 500; }
    BYTE* Record(DWORD position) const { return m_data + position * m_recordSize; }
    // Copy of the whole table, for "nothing changed" checks.
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(m_data), Size()); }
    // Writes a record in use: key, then zeroed wReserved and the three slots.
    void PutRecord(DWORD position, const std::string& key, DWORD hWnd12 = 0, DWORD hWnd0 = 0, DWORD hWnd3 = 0);

private:
    std::string m_name;
    DWORD m_recordSize;
    HANDLE m_mapping = nullptr;
    BYTE* m_data = nullptr;
};

// Reads and writes a 32-bit slot value at `offset` of a record.
DWORD SlotAt(const BYTE* record, DWORD offset);
void PutSlot(BYTE* record, DWORD offset, DWORD value);
DWORD HandleValue(HWND window);

// A hidden top-level window of this process with the given class (registered on first use).
class TestWindow {
public:
    explicit TestWindow(const char* className);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Get() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// A window of the helper program's process. With `stay` false the helper exits at once,
// so Start returns the handle of a window that no longer exists.
class HelperWindow {
public:
    HelperWindow() = default;
    ~HelperWindow();
    HelperWindow(const HelperWindow&) = delete;
    HelperWindow& operator=(const HelperWindow&) = delete;
    HWND Start(const char* className, bool stay);
    ChildProcess& Process() { return m_process; }

private:
    ChildProcess m_process;
    TempFile m_report{"ztwnd", ".txt"};
};

} // namespace zt

// Opening printers by name through the real spooler; the wide retry with the ANSI open
// made to refuse.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "printer.h"
#include "strutil.h"
#include "testsupport.h"

namespace {

TEST(OV_OpenPrinter, OpensExistingPrinterAnyCaseAndFailsForUnknown)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    HANDLE h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(printer.Name().c_str(), &h, nullptr));
    ASSERT_NE(nullptr, h);
    ClosePrinter(h);

    std::string upper = printer.Name();
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(upper.c_str(), &h, nullptr));
    if (h)
        ClosePrinter(h);

    ASSERT_TRUE(printer.Delete());
    h = nullptr;
    EXPECT_FALSE(OV_OpenPrinter(printer.Name().c_str(), &h, nullptr));
    EXPECT_EQ(nullptr, h);
}

// Points this program's import of one spooler function at another function for the
// lifetime of the object, so that a test can make the spooler's ANSI open refuse a name and
// watch what reaches the wide open. The real function stays reachable through Original().
class SpoolerImportPatch {
public:
    SpoolerImportPatch(const char* function, const void* replacement)
    {
        BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
            if (_stricmp(reinterpret_cast<const char*>(base + imp->Name), "winspool.drv") != 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    m_slot = &slots->u1.Function;
            }
        }
        if (m_slot) {
            m_original = *m_slot;
            Write(reinterpret_cast<ULONG_PTR>(replacement));
        }
    }
    ~SpoolerImportPatch()
    {
        if (m_slot)
            Write(m_original);
    }
    SpoolerImportPatch(const SpoolerImportPatch&) = delete;
    SpoolerImportPatch& operator=(const SpoolerImportPatch&) = delete;
    bool Ok() const { return m_slot != nullptr; }
    ULONG_PTR Original() const { return m_original; }

private:
    void Write(ULONG_PTR value)
    {
        DWORD old = 0;
        VirtualProtect(m_slot, sizeof(*m_slot), PAGE_READWRITE, &old);
        *m_slot = value;
        VirtualProtect(m_slot, sizeof(*m_slot), old, &old);
    }
    ULONG_PTR* m_slot = nullptr;
    ULONG_PTR m_original = 0;
};

// What the spooler's opens saw while patched.
struct OpenCalls {
    int ansi = 0;
    int wide = 0;
    std::wstring wideName;
    bool wideDefaults = false;
    PRINTER_DEFAULTSW wideSeen = {nullptr, nullptr, 0};
    ULONG_PTR realWide = 0;
};
OpenCalls g_calls;

BOOL WINAPI RefusingOpenA(LPSTR, LPHANDLE handle, LPPRINTER_DEFAULTSA)
{
    ++g_calls.ansi;
    if (handle)
        *handle = nullptr;
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

BOOL WINAPI RecordingOpenW(LPWSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSW defaults)
{
    ++g_calls.wide;
    g_calls.wideName = name ? name : L"";
    g_calls.wideDefaults = defaults != nullptr;
    if (defaults)
        g_calls.wideSeen = *defaults;
    auto real = reinterpret_cast<BOOL(WINAPI*)(LPWSTR, LPHANDLE, LPPRINTER_DEFAULTSW)>(g_calls.realWide);
    return real(name, handle, defaults);
}

TEST(OV_OpenPrinter, WideRetryCarriesOnlyTheDesiredAccess)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    // The ANSI open refuses every name: the wide retry opens the printer, with the access
    // asked for and nothing else of the defaults.
    SpoolerImportPatch ansi("OpenPrinterA", reinterpret_cast<const void*>(&RefusingOpenA));
    SpoolerImportPatch wide("OpenPrinterW", reinterpret_cast<const void*>(&RecordingOpenW));
    ASSERT_TRUE(ansi.Ok());
    ASSERT_TRUE(wide.Ok());
    g_calls = OpenCalls();
    g_calls.realWide = wide.Original();
    DEVMODEA devmode;
    memset(&devmode, 0, sizeof(devmode));
    devmode.dmSize = sizeof(devmode);
    PRINTER_DEFAULTSA defaults = {const_cast<char*>("RAW"), &devmode, PRINTER_ACCESS_USE};
    HANDLE h = nullptr;
    // On a UTF-8 system too.
    g_pfnMultiByteToWide = zt::Utf8SystemMultiByteToWide;
    EXPECT_TRUE(OV_OpenPrinter(printer.Name().c_str(), &h, &defaults));
    g_pfnMultiByteToWide = MultiByteToWideChar;
    ASSERT_NE(nullptr, h);
    PrinterInfo2 info;
    EXPECT_TRUE(info.Read(h));
    ClosePrinter(h);
    ASSERT_NE(nullptr, info.Get());
    EXPECT_STREQ(printer.Name().c_str(), info.Get()->pPrinterName) << "the wide open found the printer";
    EXPECT_EQ(1, g_calls.ansi);
    EXPECT_EQ(1, g_calls.wide);
    EXPECT_EQ(std::wstring(printer.Name().begin(), printer.Name().end()), g_calls.wideName);
    ASSERT_TRUE(g_calls.wideDefaults);
    EXPECT_EQ(static_cast<ACCESS_MASK>(PRINTER_ACCESS_USE), g_calls.wideSeen.DesiredAccess);
    EXPECT_EQ(nullptr, g_calls.wideSeen.pDatatype);
    EXPECT_EQ(nullptr, g_calls.wideSeen.pDevMode);

    // Without defaults, none are given to the wide open either.
    h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(printer.Name().c_str(), &h, nullptr));
    if (h)
        ClosePrinter(h);
    EXPECT_EQ(2, g_calls.wide);
    EXPECT_FALSE(g_calls.wideDefaults);

    // A name that no printer has, with bytes outside ASCII: the wide retry fails too, and
    // the result says so, with no handle.
    h = nullptr;
    EXPECT_FALSE(OV_OpenPrinter("no such \x81\x8d\x8f printer", &h, nullptr));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(3, g_calls.ansi);
    EXPECT_EQ(3, g_calls.wide);
    EXPECT_EQ(1, IsWinNT());
}

} // namespace

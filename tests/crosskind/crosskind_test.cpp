// A 32-bit and a 64-bit monitor on one 64-bit Windows (a win64 prefix): they share the
// instance table, hand requests to each other, find configuration that an installer of
// the other kind wrote into the other registry view, take a resource library of either
// kind, and say in the trace when the printer library is of the other kind. This program is 64-bit; the 32-bit programs are the 32-bit build's.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "driverkit.h"
#include "instance_check.h"
#include "instance_table.h"
#include "monitor_util.h"
#include "runvalue.h"
#include "scoped.h"
#include "testsupport.h"
#include "trace.h"

namespace {

static_assert(sizeof(void*) == 8, "the cross-kind tests run as the 64-bit program");

const DWORD kExitTimeoutMs = 20000;

enum class Kind { Bits32, Bits64 };

const char* Name(Kind kind)
{
    return kind == Kind::Bits32 ? "32-bit" : "64-bit";
}

Kind Other(Kind kind)
{
    return kind == Kind::Bits32 ? Kind::Bits64 : Kind::Bits32;
}

// A file of that kind's build: this tree's own, or the 32-bit build's beside it.
std::string BinOf(Kind kind, const char* file)
{
    return kind == Kind::Bits64 ? zt::BinPath(file) : zt::PeerBinPath(file);
}

// The registry view that an installer of that kind writes.
REGSAM ViewOf(Kind kind)
{
    return kind == Kind::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

// A driver as an installer of kind `installer` leaves it, with the libraries of `libraries`.
zt::KitOptions KitOf(Kind installer, Kind libraries)
{
    zt::KitOptions options;
    options.resDllFrom = BinOf(libraries, "zetres.dll");
    options.prnDllFrom = BinOf(libraries, "zetprn.dll");
    options.driverKeyView = ViewOf(installer);
    return options;
}

// Records of a table whose key is `printer` (any letter case).
template <typename Record> int RecordsIn(const std::string& table, const std::string& printer)
{
    ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, table.c_str()));
    ScopedView view;
    if (!mapping.IsValid() || !view.Map(mapping.Get(), FILE_MAP_READ, sizeof(Record) * TABLE_POSITIONS))
        return 0;
    const auto* records = reinterpret_cast<const Record*>(view.Get());
    int count = 0;
    for (DWORD p = 0; p < TABLE_POSITIONS && static_cast<BYTE>(records[p].szKey[0]) != RECORD_END_MARKER; ++p) {
        if (lstrcmpiA(records[p].szKey, printer.c_str()) == 0)
            ++count;
    }
    return count;
}

// Records of the printer's table: the standard one, or the driver's.
int RecordsOf(const std::string& printer, const std::string& driverTable = "")
{
    return driverTable.empty() ? RecordsIn<InstanceRecord>(MAP_NAME_STD, printer)
                               : RecordsIn<InstanceRecordLong>(driverTable, printer);
}

// Tracing switched on in both registry views for the whole test, into the real log, which
// is moved aside first and back at the end.
class CrossKind : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(zt::PeerBinPath("zettray.exe").empty()) << "the 32-bit build's folder is not known";
        ASSERT_TRUE(zt::FileExists(zt::PeerBinPath("zettray.exe"))) << "build the 32-bit tree first";
        if (zt::FileExists(TRACE_LOG_PATH))
            m_moved = MoveFileA(TRACE_LOG_PATH, m_aside.Path().c_str()) != FALSE;
        for (const zt::SoftwareInView* view : {&m_view32, &m_view64})
            ASSERT_TRUE(zt::SetDword(view->Root(), zt::UnderSoftware(TRACE_DEBUG_KEY), TRACE_VALUE_NAME, 1));
    }
    void TearDown() override
    {
        DeleteFileA(TRACE_LOG_PATH);
        if (m_moved)
            MoveFileA(m_aside.Path().c_str(), TRACE_LOG_PATH);
    }

    // Starts the monitor of that kind for the kit's printer and waits for its window.
    HWND Start(zt::MonitorProcess* monitor, Kind kind, const zt::TestDriverKit& kit)
    {
        if (!monitor->StartProgram(BinOf(kind, "zettray.exe"), zt::MonitorArgs(kit)))
            return nullptr;
        return monitor->WaitWindow(kit.Printer());
    }
    // Runs the monitor of that kind to its end; its exit code, or 99 when it did not end.
    DWORD Run(Kind kind, const zt::TestDriverKit& kit, const std::string& extra = "")
    {
        zt::MonitorProcess monitor;
        DWORD code = 99;
        if (!monitor.StartProgram(BinOf(kind, "zettray.exe"), zt::MonitorArgs(kit, extra)) ||
            !monitor.WaitExit(kExitTimeoutMs, &code))
            return 99;
        return code;
    }
    static size_t TraceLinesEndingWith(const std::string& text)
    {
        std::vector<std::string> lines = zt::ReadLines(TRACE_LOG_PATH);
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0;
        });
    }

    zt::SoftwareInView m_view32{KEY_WOW64_32KEY}, m_view64{KEY_WOW64_64KEY};
    zt::SavedValue m_switch32{m_view32.Root(), zt::UnderSoftware(TRACE_DEBUG_KEY), TRACE_VALUE_NAME};
    zt::SavedValue m_switch64{m_view64.Root(), zt::UnderSoftware(TRACE_DEBUG_KEY), TRACE_VALUE_NAME};
    zt::TempFile m_aside{"ztlogaside", ".log"};
    bool m_moved = false;
};

// A monitor of one kind runs; a second start of the other kind for its printer hands the
// request over and ends: a refresh (the first runs on, one record), or with /R the close.
// Also when the two views' driver keys disagree on the driver's own table: both kinds read
// "MapFileName" in the same order and meet in one table under one lock.
TEST_F(CrossKind, SecondStartOfTheOtherKindHandsOver)
{
    struct Case {
        Kind first, second;
        bool remove;
        bool viewsDisagree; // only the second's view names a table of the driver's own
    } cases[] = {
        {Kind::Bits32, Kind::Bits64, false, false}, {Kind::Bits64, Kind::Bits32, false, false},
        {Kind::Bits32, Kind::Bits64, true, false},  {Kind::Bits64, Kind::Bits32, true, false},
        {Kind::Bits32, Kind::Bits64, false, true},  {Kind::Bits64, Kind::Bits32, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(Name(c.first)) + " monitor first, then a " + Name(c.second) + " start" +
                     (c.remove ? " with /R" : "") + (c.viewsDisagree ? ", views disagree" : ""));
        zt::TestDriverKit kit(KitOf(c.first, c.first));
        ASSERT_TRUE(kit.Ok());
        zt::SoftwareInView installed(ViewOf(c.first)), copied(ViewOf(c.second));
        const std::string key = zt::UnderSoftware(kit.DriverKey());
        std::unique_ptr<zt::ScratchKey> copy;
        std::string table;
        if (c.viewsDisagree) {
            copy.reset(new zt::ScratchKey(copied.Root(), key));
            table = zt::UniqueName("ztviewmap");
            for (const char* value : {"InstallPath", "Profile", "ModelID"}) {
                std::string data;
                ASSERT_TRUE(zt::GetString(installed.Root(), key, value, &data));
                ASSERT_TRUE(zt::SetString(copied.Root(), key, value, data));
            }
            ASSERT_TRUE(zt::SetString(copied.Root(), key, "MapFileName", table));
        }
        zt::MonitorProcess running;
        HWND window = Start(&running, c.first, kit);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(0u, Run(c.second, kit, c.remove ? "/R" : ""));
        EXPECT_EQ(1u, TraceLinesEndingWith("CMainFrame::DuplicationChk : end2")) << "the second start found the first";
        if (c.remove) {
            DWORD code = 99;
            EXPECT_TRUE(running.WaitExit(kExitTimeoutMs, &code));
            EXPECT_EQ(0u, code);
            EXPECT_EQ(nullptr, zt::MonitorWindow(kit.Printer()));
            EXPECT_EQ(0, RecordsOf(kit.Printer())) << "the record is free again";
        } else {
            EXPECT_TRUE(running.Running());
            EXPECT_EQ(window, zt::MonitorWindow(kit.Printer()));
            EXPECT_EQ(1, RecordsOf(kit.Printer(), table));
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(running.WaitExit(kExitTimeoutMs));
        }
        DeleteFileA(TRACE_LOG_PATH);
    }
}

TEST_F(CrossKind, DriverKeyOnlyInTheOtherViewIsFoundAndRepairedThere)
{
    for (Kind monitor : {Kind::Bits64, Kind::Bits32}) {
        SCOPED_TRACE(std::string(Name(monitor)) + " monitor, driver key of a " + Name(Other(monitor)) + " installer");
        zt::TestDriverKit kit(KitOf(Other(monitor), monitor));
        ASSERT_TRUE(kit.Ok());
        zt::SoftwareInView installed(ViewOf(Other(monitor))), own(ViewOf(monitor));
        const std::string key = zt::UnderSoftware(kit.DriverKey());
        ASSERT_TRUE(zt::SetString(installed.Root(), key, "InstallPath", kit.InstallDir())); // one backslash too many
        zt::MonitorProcess running;
        HWND window = Start(&running, monitor, kit);
        ASSERT_NE(nullptr, window) << "the monitor found its driver, profile and libraries";
        std::string installPath;
        EXPECT_TRUE(zt::GetString(installed.Root(), key, "InstallPath", &installPath));
        EXPECT_EQ(kit.InstallDir().substr(0, kit.InstallDir().size() - 1), installPath)
            << "the verified folder went back into the view it came from";
        EXPECT_FALSE(zt::KeyExists(own.Root(), key)) << "nothing was made in the monitor's own view";
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(running.WaitExit(kExitTimeoutMs));
    }
}

// The resource library is only read as data, so one of either kind serves; the printer
// library's code runs in the monitor, so one of the other kind cannot load, and the trace
// says why.
TEST_F(CrossKind, ResourceLibraryOfEitherKindServesPrinterLibraryOfTheOtherIsNamedInTheTrace)
{
    struct Case {
        Kind monitor;
        bool resDll; // else the printer library is of the other kind
    } cases[] = {
        {Kind::Bits64, true}, {Kind::Bits32, true}, {Kind::Bits64, false}, {Kind::Bits32, false}};
    for (const Case& c : cases) {
        const std::string what = c.resDll ? "ResDll" : "PrnDll";
        SCOPED_TRACE(std::string(Name(c.monitor)) + " monitor, " + what + " of the other kind");
        zt::KitOptions options = KitOf(c.monitor, c.monitor);
        (c.resDll ? options.resDllFrom : options.prnDllFrom) =
            BinOf(Other(c.monitor), c.resDll ? "zetres.dll" : "zetprn.dll");
        zt::TestDriverKit kit(options);
        ASSERT_TRUE(kit.Ok());
        const std::string line = std::string(c.resDll ? "CMainFrame::StartUp" : "AddTargetReg") + " : " + what +
                                 " is not a " + (c.monitor == Kind::Bits64 ? "64" : "32") +
                                 "-bit library (ERROR_BAD_EXE_FORMAT) : " + kit.InstallDir() +
                                 (c.resDll ? "zetres.dll" : "zetprn.dll");
        zt::MonitorProcess running;
        if (c.resDll) {
            HWND window = Start(&running, c.monitor, kit);
            ASSERT_NE(nullptr, window) << "the monitor runs with its icon and menu";
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(running.WaitExit(kExitTimeoutMs));
            EXPECT_EQ(0u, TraceLinesEndingWith(line));
        } else {
            // Without its printer library no target is made: the monitor runs with the
            // profile's defaults and keeps the printer's Run value. The next start of the
            // library's own kind makes the target, with the icon switched on.
            zt::RunValue run(HKEY_CURRENT_USER, kit.Printer(), "\"x.exe\" /A \"y\"");
            HWND window = Start(&running, c.monitor, kit);
            ASSERT_NE(nullptr, window) << "the monitor runs";
            EXPECT_EQ(1u, TraceLinesEndingWith(line));
            EXPECT_EQ("", kit.TargetKey()) << "no target that would read as switched off";
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(running.WaitExit(kExitTimeoutMs));
            zt::MonitorProcess right;
            window = Start(&right, Other(c.monitor), kit);
            ASSERT_NE(nullptr, window);
            DWORD enable = 0;
            EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable", &enable));
            EXPECT_EQ(1u, enable);
            EXPECT_TRUE(run.Exists());
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(right.WaitExit(kExitTimeoutMs));
        }
        DeleteFileA(TRACE_LOG_PATH);
    }
}

} // namespace

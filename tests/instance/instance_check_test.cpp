// Table naming, creation with its access list, and the duplication check against the
// real spooler, registry and shared memory.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <thread>

#include "fake_spooler.h"
#include "instance_check.h"
#include "instance_testutil.h"
#include "scoped.h"
#include "shared_access.h"
#include "table_lock.h"

namespace {

using zt::SlotAt;

const HWND PLACEHOLDER = INSTANCE_PLACEHOLDER_HWND;
const std::string DRIVER_KEY = "software\\ORVEL\\ZET3\\Driver\\";

// A spooler printer whose driver key holds the given "MapFileName" value.
struct DriverPrinter {
    explicit DriverPrinter(const std::string& mapName)
        : key(HKEY_LOCAL_MACHINE, DRIVER_KEY + printer.Driver())
    {
        ok = printer.Ok() && zt::SetString(HKEY_LOCAL_MACHINE, key.Path(), "MapFileName", mapName);
    }
    zt::TestPrinter printer;
    zt::ScratchKey key;
    bool ok = false;
};

// Position of `key` among the records in use of a table, or -1.
int FindPosition(const BYTE* data, DWORD recordSize, const std::string& key)
{
    for (DWORD p = 0; p < 500 && data[p * recordSize] != 0xFF; ++p) {
        if (lstrcmpiA(reinterpret_cast<const char*>(data + p * recordSize), key.c_str()) == 0)
            return static_cast<int>(p);
    }
    return -1;
}

// Bytes that the system reserved for a mapping (its size rounded up to whole pages).
SIZE_T MappedRegion(HANDLE mapping)
{
    ScopedView view;
    MEMORY_BASIC_INFORMATION info;
    if (!view.Map(mapping, FILE_MAP_READ, 0) || !VirtualQuery(view.Get(), &info, sizeof(info)))
        return 0;
    return info.RegionSize;
}

SIZE_T PageRounded(DWORD size)
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    return (size + si.dwPageSize - 1) / si.dwPageSize * si.dwPageSize;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(GetDriverMapName, CopiesTheValueCutAndZeroFilled)
{
    std::string mapName = zt::UniqueName("ztmap");
    DriverPrinter dp(mapName);
    ASSERT_TRUE(dp.ok);
    char out[300];
    memset(out, 0xCC, sizeof(out));
    EXPECT_EQ(1, GetDriverMapName(dp.printer.Name().c_str(), out, 260));
    EXPECT_EQ(mapName, out);
    for (int i = static_cast<int>(mapName.size()); i < 260; ++i)
        ASSERT_EQ(0, out[i]) << "rest zero-filled at " << i;
    EXPECT_EQ('\xCC', out[260]);

    memset(out, 0xCC, sizeof(out));
    EXPECT_EQ(1, GetDriverMapName(Upper(dp.printer.Name()).c_str(), out, 5));
    EXPECT_EQ(mapName.substr(0, 4), out);
    EXPECT_EQ('\xCC', out[5]);

    // A value of 260 bytes without a terminator still ends; a longer one is refused.
    std::string bytes(260, 'm');
    ASSERT_TRUE(zt::SetBinary(HKEY_LOCAL_MACHINE, dp.key.Path(), "MapFileName", bytes.data(), 260));
    EXPECT_EQ(1, GetDriverMapName(dp.printer.Name().c_str(), out, sizeof(out)));
    EXPECT_EQ(bytes, out);
    EXPECT_EQ(1, GetDriverMapName(dp.printer.Name().c_str(), out, 260));
    EXPECT_EQ(bytes.substr(0, 259), out);
    bytes += "m";
    ASSERT_TRUE(zt::SetBinary(HKEY_LOCAL_MACHINE, dp.key.Path(), "MapFileName", bytes.data(), 261));
    memset(out, 0xCC, sizeof(out));
    EXPECT_EQ(0, GetDriverMapName(dp.printer.Name().c_str(), out, sizeof(out)));
    EXPECT_EQ('\xCC', out[0]);

    // No value, no driver key, no printer, bad arguments.
    ASSERT_TRUE(zt::DeleteValue(HKEY_LOCAL_MACHINE, dp.key.Path(), "MapFileName"));
    EXPECT_EQ(0, GetDriverMapName(dp.printer.Name().c_str(), out, sizeof(out)));
    zt::TestPrinter bare;
    ASSERT_TRUE(bare.Ok());
    EXPECT_EQ(0, GetDriverMapName(bare.Name().c_str(), out, sizeof(out)));
    EXPECT_EQ(0, GetDriverMapName(zt::UniqueName("ztnoprn").c_str(), out, sizeof(out)));
    EXPECT_EQ(0, GetDriverMapName(nullptr, out, sizeof(out)));
    EXPECT_EQ(0, GetDriverMapName(dp.printer.Name().c_str(), nullptr, 10));
    EXPECT_EQ(0, GetDriverMapName(dp.printer.Name().c_str(), out, 0));
    EXPECT_EQ('\xCC', out[0]);

    // A printer that the spooler cannot reach now keeps the driver it was started with; one
    // that the spooler does not know has none.
    ASSERT_TRUE(zt::SetString(HKEY_LOCAL_MACHINE, dp.key.Path(), "MapFileName", mapName));
    const char* driver = dp.printer.Driver().c_str();
    struct Row {
        DWORD error;
        const char* knownDriver;
        int result;
    } rows[] = {
        {RPC_S_SERVER_UNAVAILABLE, driver, 1},
        {RPC_S_SERVER_UNAVAILABLE, nullptr, 0},
        {RPC_S_SERVER_UNAVAILABLE, "", 0},
        {ERROR_INVALID_PRINTER_NAME, driver, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        zt::FakeSpooler spooler;
        spooler.Fail(dp.printer.Name(), zt::SPOOL_OPEN, row.error);
        memset(out, 0xCC, sizeof(out));
        EXPECT_EQ(row.result, GetDriverMapName(dp.printer.Name().c_str(), out, sizeof(out), row.knownDriver));
        EXPECT_EQ(row.result ? mapName : std::string(1, '\xCC'), std::string(out, row.result ? mapName.size() : 1));
    }
}

TEST(ChooseMapName, DriverStandardAndLongKeyTables)
{
    std::string mapName = zt::UniqueName("ztmap");
    DriverPrinter dp(mapName);
    ASSERT_TRUE(dp.ok);
    char name[260];
    int fromDriver = -1;
    const char* printer = dp.printer.Name().c_str();
    EXPECT_EQ(static_cast<int>(mapName.size()), ChooseMapName(name, printer, "LPT1:", 0, &fromDriver));
    EXPECT_EQ(mapName, name);
    EXPECT_EQ(1, fromDriver);
    // The port is the key with usePort: a printer of that very name takes the driver's table.
    EXPECT_EQ(12, ChooseMapName(name, printer, "LPT1:", 1, &fromDriver));
    EXPECT_STREQ(MAP_NAME_STD, name);
    EXPECT_EQ(0, fromDriver);
    EXPECT_EQ(static_cast<int>(mapName.size()), ChooseMapName(name, "", printer, 1, &fromDriver));
    EXPECT_EQ(1, fromDriver);

    std::string k260(260, 'p'), k261(261, 'p');
    EXPECT_EQ(12, ChooseMapName(name, k260.c_str(), "", 0, &fromDriver));
    EXPECT_STREQ(MAP_NAME_STD, name);
    EXPECT_EQ(13, ChooseMapName(name, k261.c_str(), "", 0, &fromDriver));
    EXPECT_STREQ(MAP_NAME_LONG, name);
    EXPECT_EQ(0, fromDriver);

    // An empty value names no table.
    ASSERT_TRUE(zt::SetString(HKEY_LOCAL_MACHINE, dp.key.Path(), "MapFileName", ""));
    EXPECT_EQ(0, ChooseMapName(name, printer, "", 0, &fromDriver));
    EXPECT_EQ(1, fromDriver);

    memset(name, 0xCC, sizeof(name));
    fromDriver = 7;
    EXPECT_EQ(0, ChooseMapName(nullptr, printer, "", 0, &fromDriver));
    EXPECT_EQ(0, ChooseMapName(name, nullptr, "", 0, &fromDriver));
    EXPECT_EQ(0, ChooseMapName(name, printer, nullptr, 0, &fromDriver));
    EXPECT_EQ(0, ChooseMapName(name, printer, "", 0, nullptr));
    EXPECT_EQ('\xCC', name[0]);
    EXPECT_EQ(7, fromDriver);
}

// A table and its lock let every account open them: LocalSystem, then Everyone.
TEST(SharedAccess, TableAndLockAllowLocalSystemThenEveryone)
{
    std::string name = zt::UniqueName("ztsec");
    SetLastError(0xdeadbeef);
    ScopedHandle mapping(CreateSecuredMapping(4096, name.c_str()));
    ASSERT_TRUE(mapping.IsValid());
    EXPECT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    ScopedHandle lock(CreateTableLock(name.c_str()));
    ASSERT_TRUE(lock.IsValid());
    // A user's objects: the user, LocalSystem, the Administrators where asked, and for the
    // owner no more than that.
    const CUserObjects user;
    ScopedHandle userLock(user.Open(CUserObjects::Mutex, (name + ".user").c_str(), LOCK_ACCESS, false));
    ScopedHandle userEvent(user.Open(CUserObjects::Event, (name + ".event").c_str(), SYNCHRONIZE, true));
    ASSERT_TRUE(userLock.IsValid() && userEvent.IsValid());

    const std::string sid = user.Sid();
    struct {
        HANDLE object;
        DWORD mask;
        std::vector<std::string> sids;
    } rows[] = {
        {mapping.Get(), 0xF003F, {"S-1-5-18", "S-1-1-0"}},
        {lock.Get(), SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL, {"S-1-5-18", "S-1-1-0"}},
        {userLock.Get(), USER_OBJECT_ACCESS, {sid, "S-1-5-18", "S-1-3-4"}},
        {userEvent.Get(), USER_OBJECT_ACCESS, {sid, "S-1-5-18", "S-1-5-32-544", "S-1-3-4"}},
    };
    // Each row names itself in its failures, not with SCOPED_TRACE: that starts GoogleTest's
    // thread-local watcher thread, and Wine's 32-bit loader now and then crashes when a process
    // this short ends while that thread is still starting.
    for (const auto& row : rows) {
        const std::string what = row.sids.front() + " ...";
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetSecurityInfo(row.object, SE_KERNEL_OBJECT,
                                                                     DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                                     &dacl, nullptr, &sd))
            << what;
        ASSERT_NE(nullptr, dacl) << what;
        EXPECT_EQ(ACL_REVISION, dacl->AclRevision) << what;
        ASSERT_EQ(row.sids.size(), dacl->AceCount) << what;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace))) << what;
            EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType) << what;
            EXPECT_EQ(row.mask, ace->Mask) << what;
            char* text = nullptr;
            ASSERT_TRUE(ConvertSidToStringSidA(&ace->SidStart, &text)) << what;
            EXPECT_EQ(row.sids[i], text) << what;
            LocalFree(text);
        }
        LocalFree(sd);
    }

    ScopedHandle again(CreateSecuredMapping(4096, name.c_str()));
    EXPECT_TRUE(again.IsValid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
}

TEST(OpenTables, SizesAndEndMarkerOnlyWhenNew)
{
    std::string stdName = zt::UniqueName("ztstd"), longName = zt::UniqueName("ztlong");
    std::string drvName = zt::UniqueName("ztdrvtab");
    ScopedHandle table(OpenStdTable("key", stdName.c_str()));
    ASSERT_TRUE(table.IsValid());
    EXPECT_EQ(PageRounded(TABLE_SIZE_STD), MappedRegion(table.Get()));
    {
        ScopedView view;
        ASSERT_TRUE(view.Map(table.Get(), FILE_MAP_ALL_ACCESS, TABLE_SIZE_STD));
        EXPECT_EQ(0xFF, view.Get()[0]);
        EXPECT_EQ(0, view.Get()[1]);
        view.Get()[0] = 'Q'; // an existing table is not marked again
    }
    ScopedHandle reopened(OpenStdTable("key", stdName.c_str()));
    ASSERT_TRUE(reopened.IsValid());
    ScopedView view;
    ASSERT_TRUE(view.Map(reopened.Get(), FILE_MAP_READ, 1));
    EXPECT_EQ('Q', view.Get()[0]);

    ScopedHandle longTable(OpenStdTable(std::string(261, 'k').c_str(), longName.c_str()));
    ASSERT_TRUE(longTable.IsValid());
    EXPECT_EQ(PageRounded(TABLE_SIZE_LONG), MappedRegion(longTable.Get()));
    ScopedHandle driverTable(OpenDriverTable(drvName.c_str()));
    ASSERT_TRUE(driverTable.IsValid());
    EXPECT_EQ(PageRounded(TABLE_SIZE_LONG), MappedRegion(driverTable.Get()));

    EXPECT_EQ(nullptr, OpenStdTable("key", nullptr));
    EXPECT_EQ(nullptr, OpenDriverTable(""));
}

// Start, second start in other case, refresh lookup and exit of one monitor on the
// shared standard table.
TEST(MultiExecuteCheck, MonitorLifecycleOnTheStandardTable)
{
    std::string key = zt::UniqueName("ztmon");
    zt::TestWindow window(MONITOR_WINDOW_CLASS);
    ASSERT_NE(nullptr, window.Get());
    InstanceTable table = {nullptr, 0};
    HWND other = reinterpret_cast<HWND>(1);
    ASSERT_EQ(0, MultiExecuteCheck(key.c_str(), "LPT1:", 3, PLACEHOLDER, &other, &table));
    EXPECT_EQ(nullptr, other);
    ASSERT_NE(nullptr, table.hMapping);
    EXPECT_EQ(RECORD_SIZE_STD, table.recordSize);
    ScopedView view;
    ASSERT_TRUE(view.Map(table.hMapping, FILE_MAP_READ, TABLE_SIZE_STD));
    int pos = FindPosition(view.Get(), RECORD_SIZE_STD, key);
    ASSERT_GE(pos, 0);
    const BYTE* record = view.Get() + pos * RECORD_SIZE_STD;
    EXPECT_EQ(0xFFFFFFFFu, SlotAt(record, 270));

    EXPECT_EQ(0, SethWindow(&table, key.c_str(), "LPT1:", window.Get(), 3));
    EXPECT_EQ(zt::HandleValue(window.Get()), SlotAt(record, 270));
    EXPECT_EQ(window.Get(), FindRunningWindow(Upper(key).c_str(), nullptr, 3));
    EXPECT_EQ(nullptr, FindRunningWindow(key.c_str(), "", 0));

    InstanceTable second = {nullptr, 0};
    EXPECT_EQ(1, MultiExecuteCheck(Upper(key).c_str(), "", 3, PLACEHOLDER, &other, &second));
    EXPECT_EQ(window.Get(), other);
    EXPECT_NE(nullptr, second.hMapping);
    CloseInstanceTable(&second);
    EXPECT_EQ(nullptr, second.hMapping);
    EXPECT_EQ(0u, second.recordSize);

    RemoveOwnRecord(&table, key.c_str(), "LPT1:", 3, 0);
    EXPECT_EQ(0, record[0]) << "record freed";
    EXPECT_EQ(0u, SlotAt(record, 270));
    EXPECT_EQ(nullptr, FindRunningWindow(key.c_str(), "", 3));
    view.Unmap();
    CloseInstanceTable(&table);
    EXPECT_EQ(nullptr, table.hMapping);
    CloseInstanceTable(&table);
    CloseInstanceTable(nullptr);
    RemoveOwnRecord(&table, key.c_str(), "", 3, 0); // empty table: ignored
}

// One window per kind for a status program (kinds 0 and 1), and the port as the key.
TEST(MultiExecuteCheck, OtherKindsAndThePortAsKey)
{
    std::string port = zt::UniqueName("ztport");
    zt::TestWindow status("ZtStatusClass");
    zt::TestWindow prefs("ZtPrefsClass");
    InstanceTable table0 = {nullptr, 0}, table1 = {nullptr, 0}, probe = {nullptr, 0};
    HWND other = nullptr;
    ASSERT_EQ(0, MultiExecuteCheck(nullptr, port.c_str(), 0, PLACEHOLDER, &other, &table0));
    ASSERT_EQ(0, SethWindow(&table0, nullptr, port.c_str(), status.Get(), 0));
    ASSERT_EQ(0, MultiExecuteCheck("", port.c_str(), 1, PLACEHOLDER, &other, &table1));
    ASSERT_EQ(0, SethWindow(&table1, "", port.c_str(), prefs.Get(), 1));

    EXPECT_EQ(1, MultiExecuteCheck("", port.c_str(), 0, PLACEHOLDER, &other, &probe));
    EXPECT_EQ(status.Get(), other);
    CloseInstanceTable(&probe);
    EXPECT_EQ(1, MultiExecuteCheck("", port.c_str(), 2, PLACEHOLDER, &other, &probe));
    EXPECT_EQ(prefs.Get(), other);
    CloseInstanceTable(&probe);
    EXPECT_EQ(status.Get(), FindRunningWindow("", port.c_str(), 0));
    EXPECT_EQ(prefs.Get(), FindRunningWindow(nullptr, port.c_str(), 2));
    EXPECT_EQ(nullptr, FindRunningWindow(nullptr, port.c_str(), 3));

    ScopedView view;
    ASSERT_TRUE(view.Map(table0.hMapping, FILE_MAP_READ, TABLE_SIZE_STD));
    int pos = FindPosition(view.Get(), RECORD_SIZE_STD, port);
    ASSERT_GE(pos, 0);
    const BYTE* record = view.Get() + pos * RECORD_SIZE_STD;
    RemoveOwnRecord(&table0, "", port.c_str(), 0, 1);
    EXPECT_NE(0, record[0]) << "kind 1 still holds the record";
    RemoveOwnRecord(&table1, "", port.c_str(), 1, 1);
    EXPECT_EQ(0, record[0]);
    view.Unmap();
    CloseInstanceTable(&table0);
    CloseInstanceTable(&table1);
}

TEST(MultiExecuteCheck, MonitorKilledWithoutCleanUpIsTakenOver)
{
    std::string key = zt::UniqueName("ztkill");
    zt::HelperWindow monitor;
    HWND first = monitor.Start(MONITOR_WINDOW_CLASS, true);
    ASSERT_NE(nullptr, first);
    InstanceTable held = {nullptr, 0}, probe = {nullptr, 0};
    HWND other = nullptr;
    ASSERT_EQ(0, MultiExecuteCheck(key.c_str(), "", 3, PLACEHOLDER, &other, &held));
    ASSERT_EQ(0, SethWindow(&held, key.c_str(), "", first, 3));
    EXPECT_EQ(1, MultiExecuteCheck(key.c_str(), "", 3, PLACEHOLDER, &other, &probe));
    EXPECT_EQ(first, other);
    CloseInstanceTable(&probe);

    monitor.Process().Kill();
    ASSERT_TRUE(monitor.Process().Wait(30000));
    EXPECT_EQ(nullptr, FindRunningWindow(key.c_str(), "", 3));
    EXPECT_EQ(0, MultiExecuteCheck(key.c_str(), "", 3, PLACEHOLDER, &other, &probe));
    EXPECT_EQ(nullptr, other);
    RemoveOwnRecord(&probe, key.c_str(), "", 3, 0);
    CloseInstanceTable(&probe);
    CloseInstanceTable(&held);
}

// A driver's table: 534-byte records under the driver's name, used by the check, the
// window store, the lookup and the clear at exit, also after the printer is gone.
TEST(MultiExecuteCheck, DriverTableWithTheLongLayout)
{
    std::string mapName = zt::UniqueName("ztdrvmap");
    DriverPrinter dp(mapName);
    ASSERT_TRUE(dp.ok);
    const char* printer = dp.printer.Name().c_str();
    EXPECT_EQ(nullptr, FindRunningWindow(printer, "", 3));
    EXPECT_EQ(nullptr, OpenFileMappingA(FILE_MAP_READ, FALSE, mapName.c_str())) << "the lookup creates no table";

    zt::TestWindow window(MONITOR_WINDOW_CLASS);
    InstanceTable table = {nullptr, 0};
    HWND other = nullptr;
    ASSERT_EQ(0, MultiExecuteCheck(printer, "LPT1:", 3, PLACEHOLDER, &other, &table));
    EXPECT_EQ(RECORD_SIZE_LONG, table.recordSize);
    ScopedHandle byName(OpenFileMappingA(FILE_MAP_READ, FALSE, mapName.c_str()));
    ASSERT_TRUE(byName.IsValid());
    EXPECT_EQ(PageRounded(TABLE_SIZE_LONG), MappedRegion(byName.Get()));
    ScopedView view;
    ASSERT_TRUE(view.Map(table.hMapping, FILE_MAP_READ, TABLE_SIZE_LONG));
    const BYTE* data = view.Get();
    EXPECT_STREQ(printer, reinterpret_cast<const char*>(data));
    EXPECT_EQ(0xFFFFFFFFu, SlotAt(data, 530));
    EXPECT_EQ(0xFF, data[534]);

    std::string before(reinterpret_cast<const char*>(data), TABLE_SIZE_LONG);
    EXPECT_EQ(nullptr, FindRunningWindow(printer, "", 3)) << "placeholder is no window";
    EXPECT_EQ(nullptr, FindRunningWindow(printer, "", 0));
    EXPECT_EQ(before, std::string(reinterpret_cast<const char*>(data), TABLE_SIZE_LONG)) << "lookup writes nothing";

    EXPECT_EQ(0, SethWindow(&table, printer, "LPT1:", window.Get(), 3));
    EXPECT_EQ(zt::HandleValue(window.Get()), SlotAt(data, 530));
    EXPECT_EQ(window.Get(), FindRunningWindow(Upper(dp.printer.Name()).c_str(), "", 3));

    ASSERT_TRUE(dp.printer.Delete());
    RemoveOwnRecord(&table, printer, "LPT1:", 3, 0);
    EXPECT_EQ(0, data[0]);
    EXPECT_EQ(0u, SlotAt(data, 530));
    view.Unmap();
    CloseInstanceTable(&table);
}

TEST(MultiExecuteCheck, EmptyMapFileNameAndLongKeys)
{
    DriverPrinter dp("");
    ASSERT_TRUE(dp.ok);
    const char* printer = dp.printer.Name().c_str();
    InstanceTable table = {reinterpret_cast<HANDLE>(0x1234), 77};
    HWND other = reinterpret_cast<HWND>(1);
    EXPECT_EQ(2, MultiExecuteCheck(printer, "", 3, PLACEHOLDER, &other, &table));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(reinterpret_cast<HANDLE>(0x1234), table.hMapping) << "left as the caller set it";
    EXPECT_EQ(77u, table.recordSize);
    EXPECT_EQ(SLOT_NO_TABLE, SethWindow(nullptr, printer, "", PLACEHOLDER, 3));
    EXPECT_EQ(nullptr, FindRunningWindow(printer, "", 3));
    EXPECT_EQ(2, MultiExecuteCheck(printer, "", 3, PLACEHOLDER, &other, nullptr));

    // Keys over 260 characters go to the long-key table; over 520 nothing can hold them.
    std::string longKey = zt::UniqueName("ztlongkey") + std::string(300, 'L');
    table = {nullptr, 0};
    ASSERT_EQ(0, MultiExecuteCheck(longKey.c_str(), "", 3, PLACEHOLDER, &other, &table));
    EXPECT_EQ(RECORD_SIZE_LONG, table.recordSize);
    EXPECT_EQ(0, SethWindow(&table, longKey.c_str(), "", PLACEHOLDER, 3));
    ScopedHandle byName(OpenFileMappingA(FILE_MAP_READ, FALSE, MAP_NAME_LONG));
    EXPECT_TRUE(byName.IsValid());
    RemoveOwnRecord(&table, longKey.c_str(), "", 3, 0);
    CloseInstanceTable(&table);

    std::string tooLong(521, 'T');
    EXPECT_EQ(2, MultiExecuteCheck(tooLong.c_str(), "", 3, PLACEHOLDER, &other, &table));
    EXPECT_NE(nullptr, table.hMapping) << "the opened table is handed back for the caller to close";
    CloseInstanceTable(&table);
}

// How the table's lock is held elsewhere while a change of the table is asked for.
enum class Holder {
    ReleasedLater, // by another thread, which lets go after a while
    PastTheBound,  // by another thread, until the change is done
    Abandoned,     // by nobody: its last holder ended without letting go
};

// True when another thread can take the lock at once.
bool LockIsFree(HANDLE mutex)
{
    DWORD wait = WAIT_FAILED;
    std::thread probe([&] {
        wait = WaitForSingleObject(mutex, 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            ReleaseMutex(mutex);
    });
    probe.join();
    return wait == WAIT_OBJECT_0;
}

std::vector<std::string> LockTraceLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> lock;
    for (const std::string& line : lines) {
        if (line.compare(0, 9, "LockTable") == 0)
            lock.push_back(line);
    }
    return lock;
}

// Each change of a driver's table (its creation with the first claim, the window stored,
// the slot cleared) waits for the table's lock, answering messages sent to the waiting
// thread's windows, goes on without it past the bounded wait (after which the same start
// waits no more, while later waits wait whole), and takes a lock abandoned by its holder;
// it always leaves the lock free. The table's name
// is as long as a "MapFileName" value can be, too long to take ".Lock" as it stands.
TEST(TableLock, EveryChangeOfATableWaitsForItsLock)
{
    std::string mapName = zt::UniqueName("ztlockmap");
    mapName += std::string(259 - mapName.size(), 'n');
    DriverPrinter dp(mapName);
    ASSERT_TRUE(dp.ok);
    const std::string& printer = dp.printer.Name();
    ScopedHandle mutex(CreateTableLock(mapName.c_str()));
    ASSERT_TRUE(mutex.IsValid());
    zt::TestWindow window(MONITOR_WINDOW_CLASS), later(MONITOR_WINDOW_CLASS);
    zt::PrivateTrace trace;
    ASSERT_TRUE(trace.On());
    InstanceTable table = {nullptr, 0};
    HWND other = nullptr;
    // The printer's kind-3 slot, read through the table's name; -1 without table or record.
    auto slot = [&]() -> long long {
        ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, mapName.c_str()));
        ScopedView view;
        if (!mapping.IsValid() || !view.Map(mapping.Get(), FILE_MAP_READ, TABLE_SIZE_LONG))
            return -1;
        int pos = FindPosition(view.Get(), RECORD_SIZE_LONG, printer);
        return pos < 0 ? -1LL : static_cast<long long>(SlotAt(view.Get() + pos * RECORD_SIZE_LONG, 530));
    };
    struct Row {
        const char* change;
        Holder holder;
        std::function<void()> run;
        long long slotAfter;
        std::vector<std::string> traceLines; // of the lock
    };
    const std::string timedOut = "LockTable : not taken, going on without it : 258";
    const Row rows[] = {
        {"claim", Holder::ReleasedLater,
         [&] { MultiExecuteCheck(printer.c_str(), "", 3, PLACEHOLDER, &other, &table); }, 0xFFFFFFFF, {}},
        {"store a window twice in one start", Holder::PastTheBound,
         [&] {
             LockWaitScope start;
             SethWindow(&table, printer.c_str(), "", later.Get(), 3);
             SethWindow(&table, printer.c_str(), "", window.Get(), 3); // free at once, or not at all
         },
         zt::HandleValue(window.Get()), {timedOut, timedOut}},
        {"store another window, after that start", Holder::ReleasedLater,
         [&] { SethWindow(&table, printer.c_str(), "", later.Get(), 3); }, zt::HandleValue(later.Get()), {}},
        {"clear", Holder::Abandoned, [&] { RemoveOwnRecord(&table, printer.c_str(), "", 3, 0); }, -1,
         {"LockTable : abandoned by its holder, taken"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        long long before = slot();
        trace.Take();
        ScopedMutexLock held;
        if (row.holder == Holder::Abandoned)
            std::thread([&] { WaitForSingleObject(mutex.Get(), 0); }).join();
        else
            ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), held.Acquire(mutex.Get(), 0));
        std::atomic<HWND> waiter{nullptr};
        std::thread worker([&] {
            zt::TestWindow own("ZtLockWaiter");
            waiter = own.Get();
            row.run();
        });
        if (row.holder == Holder::ReleasedLater) {
            EXPECT_FALSE(zt::WaitFor([&] { return slot() != before; }, 500)) << "changed while the lock was held";
            DWORD_PTR answer = 0;
            EXPECT_NE(0, SendMessageTimeoutA(waiter, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer))
                << "the waiting thread answers sent messages";
            held.Release();
        }
        worker.join();
        held.Release();
        EXPECT_EQ(row.slotAfter, slot());
        EXPECT_TRUE(LockIsFree(mutex.Get()));
        EXPECT_EQ(row.traceLines, LockTraceLines(trace.Take()));
    }
    CloseInstanceTable(&table);
    EXPECT_EQ(nullptr, table.hLock);
}

} // namespace

// The per-user printer target store against the real registry, spooler and printer library.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <thread>

#include "driverkit.h"
#include "fake_spooler.h"
#include "scoped.h"
#include "shared_access.h"
#include "store_fixture.h"
#include "strutil.h"
#include "targets.h"
#include "zetprn.h"

namespace {

using zt::TargetDword;
using zt::TargetStoreTest;

const char P0[] = "P0000000000000000";
const char P1[] = "P0000000000000001";
const char P2[] = "P0000000000000002";
const char P3[] = "P0000000000000003";
const DWORD kMissing = ~0u;

std::string Name(const std::string& target)
{
    std::string name;
    zt::GetString(HKEY_CURRENT_USER, target, "Name", &name);
    return name;
}

bool Exists(const char* list, const char* subkey)
{
    return zt::KeyExists(HKEY_CURRENT_USER, std::string(list) + "\\" + subkey);
}

TEST_F(TargetStoreTest, FirstRunCreatesTheFirstTargetWithTheLibrarysDefaults)
{
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("zetprn.dll", "TrayIconEnable=1\r\nTrayIconSelected=2\r\n"));
    std::string name = kit.Printer().Name();
    char path[ZT_TEXT] = "";
    EXPECT_EQ(4, FindTargetReg(name.c_str(), 0, path));
    EXPECT_EQ(-1, CleanupTargetReg());

    int portList = -1;
    EXPECT_EQ(0, GetTargetReg(name.c_str(), "LPT1:", kit.Model().c_str(), &portList, path));
    EXPECT_EQ(0, portList);
    std::string target = TargetPath(TARGET_PRINTER_LIST, P0);
    EXPECT_EQ(target, path);
    EXPECT_EQ(name, Name(target));
    EXPECT_EQ(0u, TargetDword(target, "Setting"));
    EXPECT_EQ(10u, TargetDword(target, "Timer"));
    EXPECT_EQ(1u, TargetDword(target, "TrayIconEnable"));
    EXPECT_EQ(2u, TargetDword(target, "TrayIconSelected"));

    // Found again whatever the letter case, without a second target.
    for (char& c : name)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    char again[ZT_TEXT] = "";
    EXPECT_EQ(0, GetTargetReg(name.c_str(), "", kit.Model().c_str(), &portList, again));
    EXPECT_EQ(target, again);
    EXPECT_FALSE(Exists(TARGET_PRINTER_LIST, P1));
}

TEST_F(TargetStoreTest, SweepRemovesEveryStalePrinterTargetAndOnlyNamelessPortTargets)
{
    zt::TestPrinter live;
    ASSERT_TRUE(live.Ok());
    const char* printers = TARGET_PRINTER_LIST;
    std::string unreadable(300, 'a');
    ASSERT_TRUE(MakeTarget(printers, P0, zt::UniqueName("ztgone").c_str()));
    ASSERT_TRUE(MakeTarget(printers, P1, zt::UniqueName("ztgone").c_str()));
    ASSERT_TRUE(MakeTarget(printers, "P1\\child\\grandchild", "x")); // a stale target goes whole
    ASSERT_TRUE(MakeTarget(printers, P2, live.Name().c_str()));
    ASSERT_TRUE(MakeTarget(printers, P3, nullptr));
    ASSERT_TRUE(MakeTarget(printers, "P0000000000000004", ""));
    ASSERT_TRUE(MakeTarget(printers, "P0000000000000005", unreadable.c_str()));
    const std::string unterminated = TargetPath(printers, "P0000000000000006");
    ASSERT_TRUE(zt::SetBinary(HKEY_CURRENT_USER, unterminated, "Name", live.Name().data(),
                              static_cast<DWORD>(live.Name().size())));
    // A name that the ANSI code page (1252 here) cannot hold reads as another name there.
    const std::string unfit = TargetPath(printers, "P0000000000000007");
    ASSERT_TRUE(zt::SetWideString(HKEY_CURRENT_USER, unfit, L"Name", L"\x041f\x0440\x0438\x043d\x0442\x0435\x0440"));
    // A printer that the spooler cannot reach now.
    zt::FakeSpooler spooler;
    spooler.Fail("ztunreach", zt::SPOOL_OPEN, RPC_S_SERVER_UNAVAILABLE);
    const char* unreached = "P0000000000000008";
    ASSERT_TRUE(MakeTarget(printers, unreached, zt::UniqueName("ztunreach").c_str()));
    const char* ports = TARGET_PORT_LIST;
    ASSERT_TRUE(MakeTarget(ports, P0, zt::UniqueName("ZTPORT").c_str()));
    ASSERT_TRUE(MakeTarget(ports, P1, nullptr));
    ASSERT_TRUE(MakeTarget(ports, P2, ""));
    ASSERT_TRUE(MakeTarget(ports, P3, unreadable.c_str())); // a name, though too long to read

    EXPECT_EQ(0, CleanupTargetReg());
    EXPECT_FALSE(Exists(printers, P0));
    EXPECT_FALSE(Exists(printers, P1));
    EXPECT_TRUE(Exists(printers, P2));
    EXPECT_EQ(kMissing, TargetDword(TargetPath(printers, P2), "Setting")) << "a live target is not marked";
    EXPECT_FALSE(Exists(printers, P3));
    EXPECT_FALSE(Exists(printers, "P0000000000000004"));
    EXPECT_FALSE(Exists(printers, "P0000000000000005"));
    EXPECT_TRUE(zt::KeyExists(HKEY_CURRENT_USER, unterminated)) << "its printer's name, stored without its NUL";
    EXPECT_TRUE(zt::KeyExists(HKEY_CURRENT_USER, unfit)) << "a name outside the code page";
    EXPECT_TRUE(Exists(printers, unreached)) << "its printer cannot be reached now";
    EXPECT_TRUE(Exists(ports, P0));
    EXPECT_FALSE(Exists(ports, P1));
    EXPECT_FALSE(Exists(ports, P2));
    EXPECT_TRUE(Exists(ports, P3));

    // Without a printer list nothing is swept, not even the port list.
    zt::DeleteKeyTree(HKEY_CURRENT_USER, printers);
    ASSERT_TRUE(MakeTarget(ports, P1, nullptr));
    EXPECT_EQ(-1, CleanupTargetReg());
    EXPECT_TRUE(Exists(ports, P1));
}

TEST_F(TargetStoreTest, MissingLibraryGivesFourAndMakesNoTarget)
{
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("missing.dll", "TrayIconEnable=1\r\n"));
    const std::string& name = kit.Printer().Name();
    ASSERT_TRUE(MakeTarget(TARGET_PRINTER_LIST, P0, nullptr));
    char path[ZT_TEXT] = "";
    EXPECT_EQ(1, FindTargetReg(name.c_str(), 0, path)) << "a target without a name is passed over";

    int portList = -1;
    EXPECT_EQ(4, GetTargetReg(name.c_str(), "LPT1:", kit.Model().c_str(), &portList, path));
    EXPECT_STREQ("", path);
    EXPECT_TRUE(zt::TargetsNamed(name).empty()) << "no target that would read as switched off";
    EXPECT_FALSE(Exists(TARGET_PRINTER_LIST, P1));
}

// A new target is created under the store's lock, while another process holds it with a
// target of its own whose "Name" is not written yet. The sweep judges that target without
// the lock and removes it only under the lock, and only when it is still as it was judged;
// past the bounded wait the target is still made, but nothing is swept. A target left
// without its tray settings by a maker that ended gets the library's defaults.
TEST_F(TargetStoreTest, CreationWaitsForTheStoreLockAndSweepsOnlyUnderIt)
{
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("zetprn.dll", "TrayIconEnable=1\r\n"));
    ScopedHandle mutex(CreateTargetStoreLock());
    ASSERT_TRUE(mutex.IsValid());
    zt::PrivateTrace trace;
    ASSERT_TRUE(trace.On());
    const char* printers = TARGET_PRINTER_LIST;
    const std::string& printer = kit.Printer().Name();
    enum class Holder { ReleasedLater, PastTheBound, Abandoned };
    struct Row {
        const char* label;
        Holder holder;
        const char* p0Name;     // P0's "Name" (null: none)
        bool namedWhileHeld;    // the other process names P0 while it holds the lock
        const char* created;    // the printer's target
        bool othersStays;       // P0 is still the other's
        bool timedOut;
    } rows[] = {
        {"lock released", Holder::ReleasedLater, nullptr, false, P0, false, false},
        {"P0 named meanwhile", Holder::ReleasedLater, nullptr, true, P1, true, false},
        {"lock abandoned, target without settings", Holder::Abandoned, printer.c_str(), false, P0, false, false},
        {"lock held past the wait", Holder::PastTheBound, nullptr, false, P1, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        zt::DeleteKeyTree(HKEY_CURRENT_USER, zt::kStoreKey);
        ASSERT_TRUE(MakeTarget(printers, P0, row.p0Name));
        trace.Take();
        ScopedMutexLock held;
        if (row.holder == Holder::Abandoned)
            std::thread([&] { WaitForSingleObject(mutex.Get(), 0); }).join();
        else
            held.Acquire(mutex.Get(), 0); // also when the row before left it abandoned
        ASSERT_TRUE(row.holder == Holder::Abandoned || held.Held());
        char path[ZT_TEXT] = "";
        int result = -1;
        std::thread worker([&] {
            int portList = -1;
            result = GetTargetReg(printer.c_str(), "LPT1:", kit.Model().c_str(), &portList, path);
        });
        if (row.holder == Holder::ReleasedLater) {
            EXPECT_FALSE(zt::WaitFor([&] { return Exists(printers, P1) || !Exists(printers, P0); }, 500));
            if (row.namedWhileHeld) {
                EXPECT_TRUE(MakeTarget(printers, P0, zt::UniqueName("ztother").c_str()));
            }
            held.Release();
        }
        worker.join();
        held.Release();
        EXPECT_EQ(0, result);
        EXPECT_EQ(TargetPath(printers, row.created), path);
        EXPECT_EQ(printer, Name(path));
        EXPECT_EQ(1u, TargetDword(path, "TrayIconEnable"));
        EXPECT_EQ(row.othersStays, Exists(printers, P0) && Name(TargetPath(printers, P0)) != printer);
        bool timedOut = false;
        for (const std::string& line : trace.Take())
            timedOut = timedOut || line == "LockTable : not taken, going on without it : 258";
        EXPECT_EQ(row.timedOut, timedOut);
    }
}

// Names of the user's store lock that another account made first: the monitor never waits
// for another account's object, nor goes without a lock because of it.
TEST(SharedAccess, SquattedStoreLockIsNeitherHeldNorRefused)
{
    const std::string sid = CUserObjects().Sid();
    ASSERT_FALSE(sid.empty());
    const std::string name = std::string("Global\\" TARGET_STORE_LOCK_NAME ".") + sid;
    const struct {
        const char* what;
        zt::ForeignObject::Kind kind;
    } rows[] = {
        {"held by another account", zt::ForeignObject::HeldMutex},
        {"of another type", zt::ForeignObject::OtherType},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        zt::ForeignObject squat(name, row.kind);
        ASSERT_TRUE(squat.Ok());
        ScopedHandle lock(CreateTargetStoreLock());
        ASSERT_TRUE(lock.IsValid());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(lock.Get(), 0));
        ReleaseMutex(lock.Get());
    }
}

TEST_F(TargetStoreTest, LibraryWithoutTheExportGivesFive)
{
    char system[MAX_PATH] = "";
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("version.dll", "", system));
    char path[ZT_TEXT] = "";
    EXPECT_EQ(5, AddTargetReg(kit.Printer().Name().c_str(), "LPT1:", kit.Model().c_str(), 0, path));
    EXPECT_STREQ("", path);
    EXPECT_TRUE(zt::TargetsNamed(kit.Printer().Name()).empty());
}

TEST_F(TargetStoreTest, RelativeLibraryIsNotLoadedFromTheCurrentDirectory)
{
    // No install folder: the printer library's path is ".\ztmark.dll". In the current
    // directory stands a library whose entry point leaves a mark when it runs.
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("ztmark.dll", "", "C:\\" + zt::UniqueName("nodir")));
    zt::TempDirectory current;
    ASSERT_TRUE(zt::CopyFileTo(zt::TestBinDir() + "zt_testres.dll", current.Path() + "ztmark.dll"));
    zt::TempFile mark{"ztmark", ".txt"};
    char saved[MAX_PATH] = "";
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(saved), saved));
    SetEnvironmentVariableA("ZT_DLLMAIN_MARK", mark.Path().c_str());
    SetCurrentDirectoryA(current.Path().c_str());
    char path[ZT_TEXT] = "";
    int result = AddTargetReg(kit.Printer().Name().c_str(), "LPT1:", kit.Model().c_str(), 0, path);
    SetCurrentDirectoryA(saved);
    SetEnvironmentVariableA("ZT_DLLMAIN_MARK", nullptr);
    EXPECT_EQ(4, result) << "not loaded";
    EXPECT_FALSE(zt::FileExists(mark.Path()));
}

TEST_F(TargetStoreTest, PortListServesPrintersWithoutAName)
{
    zt::DriverKit kit;
    ASSERT_TRUE(kit.Install("zetprn.dll", "TrayIconSelected=2\r\n"));
    std::string port = zt::UniqueName("ZTPORT") + ":";
    char path[ZT_TEXT] = "";
    int portList = -1;
    // Without the monitor's driver name the library cannot be found: the spooler knows no
    // driver for a port.
    EXPECT_EQ(4, GetTargetReg("", port.c_str(), kit.Model().c_str(), &portList, path));
    EXPECT_EQ(1, portList);
    EXPECT_STREQ("", path) << "no target without the library's defaults";

    // With it, a new port's target gets the library's defaults from the driver's profile.
    const std::string& driver = kit.Printer().Driver();
    EXPECT_EQ(ZETPRN_OK, GetTargetReg("", port.c_str(), kit.Model().c_str(), &portList, path, driver.c_str()));
    std::string target = TargetPath(TARGET_PORT_LIST, P0);
    EXPECT_EQ(target, path);
    EXPECT_EQ(port, Name(target));
    EXPECT_EQ(1u, TargetDword(path, "TrayIconEnable"));
    EXPECT_EQ(2u, TargetDword(path, "TrayIconSelected"));
    EXPECT_FALSE(Exists(TARGET_PRINTER_LIST, P0));

    // Both names empty: the printer list, keyed by the empty name; no library is found.
    EXPECT_EQ(4, GetTargetReg(nullptr, "", nullptr, &portList, path));
    EXPECT_EQ(0, portList);
}

TEST_F(TargetStoreTest, LookupComparesOnlyWholeNamesWithoutRegardToCase)
{
    const char* list = TARGET_PRINTER_LIST;
    std::string full(ZT_TEXT, 'a'); // fills the whole buffer, no room for a terminator
    std::string fits(ZT_TEXT - 1, 'a');
    ASSERT_TRUE(zt::SetBinary(HKEY_CURRENT_USER, TargetPath(list, P0), "Name", full.data(), ZT_TEXT));
    ASSERT_TRUE(zt::SetBinary(HKEY_CURRENT_USER, TargetPath(list, P1), "Name", "LPT9:", 5)); // no terminator
    ASSERT_TRUE(MakeTarget(list, P2, fits.c_str()));
    ASSERT_TRUE(MakeTarget(list, P3, "Office Printer"));
    ASSERT_TRUE(MakeTarget(list, "P0000000000000004", "OFFICE PRINTER"));
    ASSERT_TRUE(zt::SetWideString(HKEY_CURRENT_USER, TargetPath(list, "P0000000000000005"), L"Name", L"\x0444"));

    char path[ZT_TEXT] = "";
    EXPECT_EQ(0, FindTargetReg(fits.c_str(), 0, path));
    EXPECT_EQ(TargetPath(list, P2), path);
    EXPECT_EQ(1, FindTargetReg(full.c_str(), 0, path));
    EXPECT_EQ(0, FindTargetReg("LPT9:", 0, path)) << "a name stored without its terminator";
    EXPECT_EQ(TargetPath(list, P1), path);
    EXPECT_EQ(0, FindTargetReg("office printer", 0, path));
    EXPECT_EQ(TargetPath(list, P3), path) << "the first match wins";
    EXPECT_EQ(4, FindTargetReg("office printer", 1, path)) << "no port list";
    EXPECT_EQ(1, FindTargetReg("?", 0, path)) << "a name outside the code page is not its ANSI reading";
}

TEST_F(TargetStoreTest, CreationClaimsTheLowestIndexNeverUsedBefore)
{
    ASSERT_TRUE(MakeTarget(TARGET_PORT_LIST, P0, nullptr));
    ASSERT_TRUE(MakeTarget(TARGET_PORT_LIST, P2, "FILE:"));
    char path[ZT_TEXT] = "";
    EXPECT_EQ(0, CreateTargetReg("LPT2:", 1, path));
    EXPECT_EQ(TargetPath(TARGET_PORT_LIST, P1), path);
    EXPECT_EQ(0, CreateTargetReg("LPT3:", 1, path));
    EXPECT_EQ(TargetPath(TARGET_PORT_LIST, P3), path);
    EXPECT_EQ("LPT3:", Name(path));
    EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, TargetPath(TARGET_PORT_LIST, P0), "Name"));
}

TEST_F(TargetStoreTest, LibraryFillsInOnlyMissingTraySettings)
{
    ScopedLibrary library;
    ASSERT_TRUE(library.Load(zt::BinPath("zetprn.dll").c_str()));
    auto proc = reinterpret_cast<PrSetRegDefaultValueProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(library.Get(), PR_SET_REG_DEFAULT_VALUE)));
    ASSERT_NE(nullptr, proc) << "exported by its plain name";
    EXPECT_EQ(ZETPRN_NO_TARGET, proc("Office", "", "LPT1:", "", 0, 0, 0)) << "no list";

    char path[ZT_TEXT] = "";
    ASSERT_EQ(0, CreateTargetReg("LPT1:", 1, path));
    EXPECT_EQ(ZETPRN_NO_TARGET, proc("Office", "", "LPT1:", "", 0, 0, 0)) << "a printer name means the printer list";
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, path, "TrayIconEnable", 0));
    EXPECT_EQ(ZETPRN_OK, proc("", "", "lpt1:", "", 0, 0, 0));
    EXPECT_EQ(0u, TargetDword(path, "TrayIconEnable")) << "the user's setting is kept";
    EXPECT_EQ(0u, TargetDword(path, "TrayIconSelected"));
    ASSERT_TRUE(zt::DeleteValue(HKEY_CURRENT_USER, path, "TrayIconEnable"));
    EXPECT_EQ(ZETPRN_OK, proc("", "", "LPT1:", "", 0, 0, 0));
    EXPECT_EQ(1u, TargetDword(path, "TrayIconEnable"));
}

// A subkey named by one NUL character, made through the native API: the ANSI enumeration
// reports it with an empty name, so a tree walk neither sees nor deletes it, and its parent
// survives its own deletion.
class HiddenSubkey {
public:
    explicit HiddenSubkey(const std::string& parentPath)
    {
        typedef NTSTATUS(NTAPI * CreateProc)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG,
                                             PULONG);
        HKEY parent = nullptr;
        if (!zt::SetDword(HKEY_CURRENT_USER, parentPath, "v", 1) ||
            RegOpenKeyExA(HKEY_CURRENT_USER, parentPath.c_str(), 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
            return;
        auto create = reinterpret_cast<CreateProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateKey")));
        WCHAR name[] = {0};
        UNICODE_STRING text = {sizeof(WCHAR), sizeof(WCHAR), name};
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, 0, parent, nullptr);
        ULONG disposition = 0;
        if (!create || create(&m_key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, &disposition) != 0)
            m_key = nullptr;
        RegCloseKey(parent);
    }
    ~HiddenSubkey()
    {
        typedef NTSTATUS(NTAPI * DeleteProc)(HANDLE);
        auto remove = reinterpret_cast<DeleteProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
        if (m_key && remove)
            remove(m_key);
        if (m_key)
            CloseHandle(m_key);
    }
    bool Ok() const { return m_key != nullptr; }

private:
    HANDLE m_key = nullptr;
};

TEST(DeleteRegTree, DeletesWholeTreesAndRefusesTheEmptyPath)
{
    zt::ScratchKey scratch(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("tree"));
    std::string root = scratch.Path() + "\\t";
    for (const char* sub : {"\\a\\b\\c", "\\a\\d", "\\e"})
        ASSERT_TRUE(zt::SetString(HKEY_CURRENT_USER, root + sub, "v", "x"));
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, root, "w", 1));
    EXPECT_EQ(0, DeleteRegTree(root.c_str()));
    EXPECT_FALSE(zt::KeyExists(HKEY_CURRENT_USER, root));
    EXPECT_EQ(-1, DeleteRegTree(root.c_str()));
    EXPECT_EQ(-1, DeleteRegTree(""));
    EXPECT_EQ(-1, DeleteRegTree(nullptr));
    EXPECT_EQ(-1, RemoveTargetReg(root.c_str()));
    EXPECT_TRUE(zt::KeyExists(HKEY_CURRENT_USER, scratch.Path()));
}

TEST(DeleteRegTree, TreeDeeperThanAPathBufferStaysWhole)
{
    zt::ScratchKey scratch(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("deep"));
    std::string root = scratch.Path() + "\\t";
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, root, "v", 1));
    // Too long a path for one call: the chain is made, and later read, one level at a time.
    std::string deepest = root;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, KEY_ALL_ACCESS, &key));
    for (; deepest.size() < ZT_TEXT + 20; deepest += "\\level") {
        HKEY next = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key, "level", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr));
        RegCloseKey(key);
        key = next;
    }
    DWORD value = 1;
    RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);

    EXPECT_EQ(0, RemoveTargetReg(root.c_str()));
    EXPECT_EQ(255u, TargetDword(root, "Setting"));
    EXPECT_EQ(-1, DeleteRegTree(root.c_str()));
    EXPECT_TRUE(zt::ValueExists(HKEY_CURRENT_USER, root, "v"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, KEY_READ, &key));
    for (size_t at = root.size(); at < deepest.size(); at += 6) {
        HKEY next = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "level", 0, KEY_READ, &next)) << "lost below " << at;
        RegCloseKey(key);
        key = next;
    }
    value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    RegCloseKey(key);
}

TEST(DeleteRegTree, EndsWhenASubkeySurvivesItsDeletion)
{
    zt::ScratchKey scratch(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("survivor"));
    std::string root = scratch.Path() + "\\t";
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, root + "\\b", "v", 1));
    HiddenSubkey hidden(root + "\\a");
    ASSERT_TRUE(hidden.Ok());
    EXPECT_EQ(-1, DeleteRegTree(root.c_str()));
    EXPECT_TRUE(zt::KeyExists(HKEY_CURRENT_USER, root + "\\a"));
    EXPECT_TRUE(zt::ValueExists(HKEY_CURRENT_USER, root + "\\b", "v")) << "what follows the survivor stays";
}

TEST_F(TargetStoreTest, StaleTargetThatCannotBeDeletedStaysMarked)
{
    std::string target = TargetPath(TARGET_PRINTER_LIST, P0);
    ASSERT_TRUE(MakeTarget(TARGET_PRINTER_LIST, P0, zt::UniqueName("ztgone").c_str()));
    ASSERT_TRUE(MakeTarget(TARGET_PRINTER_LIST, P1, zt::UniqueName("ztgone").c_str()));
    ASSERT_TRUE(MakeTarget(TARGET_PORT_LIST, P0, "LPT1:"));
    HiddenSubkey hidden(target + "\\sub");
    ASSERT_TRUE(hidden.Ok());
    EXPECT_EQ(0, CleanupTargetReg());
    EXPECT_EQ(255u, TargetDword(target, "Setting"));
    EXPECT_FALSE(Exists(TARGET_PRINTER_LIST, P1)) << "the sweep went on after the survivor";
}

} // namespace

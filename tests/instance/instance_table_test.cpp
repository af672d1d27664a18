// The record operations on real named shared memory, in both layouts.
#include <gtest/gtest.h>

#include <string.h>

#include "instance_check.h"
#include "instance_table.h"
#include "instance_testutil.h"

namespace {

using zt::PutSlot;
using zt::SlotAt;
using zt::TestTable;

const HWND PLACEHOLDER = INSTANCE_PLACEHOLDER_HWND;

// Slot offsets of a layout, from the end of the record.
struct Slots {
    DWORD reserved, slot12, slot0, slot3;
};
Slots SlotsOf(DWORD recordSize)
{
    return {recordSize - 14, recordSize - 12, recordSize - 8, recordSize - 4};
}

class LayoutTest : public ::testing::TestWithParam<DWORD> {};

TEST_P(LayoutTest, FirstAddWritesExactBytes)
{
    TestTable table(GetParam());
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(GetParam());
    HWND out = reinterpret_cast<HWND>(1);
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), GetParam(), "A", INSTANCE_KIND_MONITOR, PLACEHOLDER, &out));
    EXPECT_EQ(nullptr, out);

    std::string expected(table.Size(), '\0');
    expected[0] = 'A';
    expected.replace(s.slot3, 4, "\xFF\xFF\xFF\xFF");
    expected[GetParam()] = '\xFF'; // the end marker moved to position 1
    EXPECT_EQ(expected, table.Bytes());
}

TEST_P(LayoutTest, KeysAnyCaseKindsAndLiveWindows)
{
    TestTable table(GetParam());
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(GetParam());
    zt::TestWindow monitor(MONITOR_WINDOW_CLASS);
    zt::TestWindow other("ZtOtherClass");
    ASSERT_NE(nullptr, monitor.Get());
    ASSERT_NE(nullptr, other.Get());
    HWND out = nullptr;

    ASSERT_EQ(0, FindOrAddRecord(table.Handle(), GetParam(), "Printer1", 3, monitor.Get(), &out));
    EXPECT_EQ(zt::HandleValue(monitor.Get()), SlotAt(table.Record(0), s.slot3)) << "32-bit little-endian";
    std::string before = table.Bytes();
    EXPECT_EQ(1, FindOrAddRecord(table.Handle(), GetParam(), "PRINTER1", 3, PLACEHOLDER, &out));
    EXPECT_EQ(monitor.Get(), out);
    EXPECT_EQ(before, table.Bytes()) << "a live copy: nothing written";

    // Kinds 1 and 2 share one slot; kind 0 has its own; plain IsWindow for them.
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), GetParam(), "printer1", 1, other.Get(), &out));
    EXPECT_EQ(1, FindOrAddRecord(table.Handle(), GetParam(), "printer1", 2, PLACEHOLDER, &out));
    EXPECT_EQ(other.Get(), out);
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), GetParam(), "printer1", 0, PLACEHOLDER, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(zt::HandleValue(other.Get()), SlotAt(table.Record(0), s.slot12));
    EXPECT_EQ(0xFFFFFFFFu, SlotAt(table.Record(0), s.slot0));
    EXPECT_EQ(0xFF, table.Record(1)[0]) << "one record for all spellings";

    // A live window of another class in the monitor's slot is no monitor: taken over.
    PutSlot(table.Record(0), s.slot3, zt::HandleValue(other.Get()));
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), GetParam(), "Printer1", 3, monitor.Get(), &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(zt::HandleValue(monitor.Get()), SlotAt(table.Record(0), s.slot3));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, LayoutTest, ::testing::Values(RECORD_SIZE_STD, RECORD_SIZE_LONG));

TEST(FindOrAddRecord, WindowsOfAnotherProcessLiveAndDestroyed)
{
    TestTable table(RECORD_SIZE_STD);
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(RECORD_SIZE_STD);
    zt::HelperWindow running;
    HWND live = running.Start(MONITOR_WINDOW_CLASS, true);
    ASSERT_NE(nullptr, live);
    zt::HelperWindow ended;
    HWND gone = ended.Start(MONITOR_WINDOW_CLASS, false);
    ASSERT_NE(nullptr, gone);
    ASSERT_FALSE(IsWindow(gone));

    table.PutRecord(0, "live", 0, 0, zt::HandleValue(live));
    table.PutRecord(1, "gone", 0, 0, zt::HandleValue(gone));
    table.Record(2)[0] = 0xFF;
    HWND out = nullptr;
    EXPECT_EQ(1, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "LIVE", 3, PLACEHOLDER, &out));
    EXPECT_EQ(live, out);
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "gone", 3, PLACEHOLDER, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0xFFFFFFFFu, SlotAt(table.Record(1), s.slot3));
    // Placeholder in the slot: stale, taken over by the new value.
    zt::TestWindow mine(MONITOR_WINDOW_CLASS);
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "gone", 3, mine.Get(), &out));
    EXPECT_EQ(zt::HandleValue(mine.Get()), SlotAt(table.Record(1), s.slot3));

    // The read-only lookup follows the same rule and writes nothing.
    std::string before = table.Bytes();
    EXPECT_EQ(live, FindRecordWindow(table.Handle(), RECORD_SIZE_STD, "Live", 3));
    EXPECT_EQ(nullptr, FindRecordWindow(table.Handle(), RECORD_SIZE_STD, "Live", 0));
    EXPECT_EQ(nullptr, FindRecordWindow(table.Handle(), RECORD_SIZE_STD, "absent", 3));
    EXPECT_EQ(before, table.Bytes());

    // The running copy accepts WM_CLOSE from another process.
    ASSERT_TRUE(PostMessageA(live, WM_CLOSE, 0, 0));
    EXPECT_TRUE(running.Process().Wait(30000));
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "live", 3, PLACEHOLDER, &out));
}

TEST(FindOrAddRecord, LowestFreeRecordReusedAndEndMarkerKept)
{
    TestTable table(RECORD_SIZE_STD);
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(RECORD_SIZE_STD);
    const char* keys[] = {"k0", "k1", "k2-long-old-key", "k3", "k4"};
    HWND out = nullptr;
    for (const char* key : keys)
        ASSERT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, key, 3, PLACEHOLDER, &out));
    ASSERT_EQ(0xFF, table.Record(5)[0]);

    // A clear with another slot in use keeps the record; the last clear frees it.
    PutSlot(table.Record(2), s.slot0, 0x1234);
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "K2-LONG-OLD-KEY", 3);
    EXPECT_EQ('k', table.Record(2)[0]);
    EXPECT_EQ(0u, SlotAt(table.Record(2), s.slot3));
    EXPECT_EQ(0x1234u, SlotAt(table.Record(2), s.slot0));
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "k2-long-old-key", 0);
    EXPECT_EQ(0, table.Record(2)[0]);
    PutSlot(table.Record(3), s.slot12, 7);
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "k3", 3);
    EXPECT_EQ('k', table.Record(3)[0]) << "slot 12 still held";

    PutSlot(table.Record(2), s.reserved, 0xFFFF); // the fill zeroes wReserved again
    ASSERT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "new", 1, PLACEHOLDER, &out));
    EXPECT_EQ(0, memcmp(table.Record(2), "new\0ong-old-key", 16)) << "bytes after the key kept";
    EXPECT_EQ(0u, SlotAt(table.Record(2), s.reserved) & 0xFFFF);
    EXPECT_EQ(0xFFFFFFFFu, SlotAt(table.Record(2), s.slot12));
    EXPECT_EQ(0u, SlotAt(table.Record(2), s.slot3));
    EXPECT_EQ(0xFF, table.Record(5)[0]);
    EXPECT_EQ(0, table.Record(6)[0]);

    // Clearing a key that is not there, or any key after the end marker, changes nothing.
    std::string before = table.Bytes();
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "absent", 3);
    EXPECT_EQ(before, table.Bytes());
    table.PutRecord(7, "behind");
    before = table.Bytes();
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "behind", 0);
    EXPECT_EQ(before, table.Bytes());
}

// Fills positions [0, count) with distinct keys in use.
void FillRecords(TestTable& table, DWORD count)
{
    char key[16];
    for (DWORD p = 0; p < count; ++p) {
        snprintf(key, sizeof(key), "r%lu", static_cast<unsigned long>(p));
        table.PutRecord(p, key, 0, 0, 1);
    }
}

TEST(FindOrAddRecord, FullTableAndTableWithoutEndMarker)
{
    TestTable table(RECORD_SIZE_STD);
    ASSERT_TRUE(table.Ok());
    FillRecords(table, 499);
    table.Record(499)[0] = 0xFF;
    std::string before = table.Bytes();
    HWND out = nullptr;
    EXPECT_EQ(2, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "one more", 3, PLACEHOLDER, &out));
    EXPECT_EQ(before, table.Bytes());
    // Nothing past the stated size either (the mapping is rounded up to whole pages).
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, VirtualQuery(table.Record(0), &info, sizeof(info)));
    for (SIZE_T i = table.Size(); i < info.RegionSize; ++i)
        ASSERT_EQ(0, table.Record(0)[i]) << "byte " << i;
    // Keys already there still work in a full table.
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "R498", 0, PLACEHOLDER, &out));
    EXPECT_EQ(SLOT_SET, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, "r0", nullptr, nullptr, 3));

    // No end marker in all 500 positions: nothing is added, found or changed.
    table.PutRecord(499, "r499");
    before = table.Bytes();
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, "absent", 3, PLACEHOLDER, &out));
    ClearRecordSlot(table.Handle(), RECORD_SIZE_STD, "absent", 3);
    EXPECT_EQ(SLOT_NO_END, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, "absent", nullptr, nullptr, 3));
    EXPECT_EQ(before, table.Bytes());
    EXPECT_EQ(SLOT_SET, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, "R499", nullptr, nullptr, 3));
}

TEST(FindOrAddRecord, KeysAtTheLayoutLimitAndUnstorableKeys)
{
    TestTable table(RECORD_SIZE_LONG);
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(RECORD_SIZE_LONG);
    HWND out = nullptr;
    // A record whose every byte is text (no terminator anywhere) matches no key and is
    // never read beyond: a key of 520 characters is appended behind it.
    memset(table.Record(0), 'x', RECORD_SIZE_LONG);
    table.Record(1)[0] = 0xFF;
    std::string full(520, 'x');
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_LONG, full.c_str(), 3, PLACEHOLDER, &out));
    EXPECT_EQ(0, memcmp(table.Record(1), full.data(), 520));
    EXPECT_EQ(0u, SlotAt(table.Record(1), s.reserved) & 0xFFFF) << "terminator in wReserved";
    EXPECT_EQ(0xFF, table.Record(2)[0]);
    // ...and then found by the same key in other case.
    std::string upper(520, 'X');
    EXPECT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_LONG, upper.c_str(), 0, PLACEHOLDER, &out));
    EXPECT_EQ(0xFF, table.Record(2)[0]);

    std::string before = table.Bytes();
    std::string tooLong(521, 'x');
    const char* refused[] = {nullptr, "", "\xFFprinter", tooLong.c_str()};
    for (const char* key : refused) {
        EXPECT_EQ(2, FindOrAddRecord(table.Handle(), RECORD_SIZE_LONG, key, 3, PLACEHOLDER, &out));
        ClearRecordSlot(table.Handle(), RECORD_SIZE_LONG, key, 3);
        EXPECT_EQ(SLOT_NO_RECORD, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_LONG, key, nullptr, nullptr, 3));
    }
    // Bad kinds and record sizes.
    EXPECT_EQ(2, FindOrAddRecord(table.Handle(), RECORD_SIZE_LONG, "k", 4, PLACEHOLDER, &out));
    EXPECT_EQ(2, FindOrAddRecord(table.Handle(), RECORD_SIZE_LONG, "k", -1, PLACEHOLDER, &out));
    EXPECT_EQ(2, FindOrAddRecord(table.Handle(), 300, "k", 3, PLACEHOLDER, &out));
    EXPECT_EQ(2, FindOrAddRecord(nullptr, RECORD_SIZE_LONG, "k", 3, PLACEHOLDER, &out));
    EXPECT_EQ(SLOT_NO_TABLE, SetRecordSlot(table.Name().c_str(), 300, "k", nullptr, nullptr, 3));
    EXPECT_EQ(SLOT_NO_TABLE, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_LONG, "k", nullptr, nullptr, 5));
    EXPECT_EQ(before, table.Bytes());

    // The 274-byte layout holds 260 characters, terminator in wReserved; not 261.
    TestTable small(RECORD_SIZE_STD);
    ASSERT_TRUE(small.Ok());
    std::string k260(260, 'k');
    EXPECT_EQ(0, FindOrAddRecord(small.Handle(), RECORD_SIZE_STD, k260.c_str(), 3, PLACEHOLDER, &out));
    EXPECT_EQ(0, small.Record(0)[260]);
    EXPECT_EQ(2, FindOrAddRecord(small.Handle(), RECORD_SIZE_STD, (k260 + "k").c_str(), 3, PLACEHOLDER, &out));
    EXPECT_EQ(0xFF, small.Record(1)[0]);
    EXPECT_EQ(0, small.Record(2)[0]);
}

TEST(GetRecordSize, SwitchesAfter260Characters)
{
    EXPECT_EQ(274u, GetRecordSize(std::string(260, 'a').c_str()));
    EXPECT_EQ(534u, GetRecordSize(std::string(261, 'a').c_str()));
    EXPECT_EQ(534u, GetRecordSize(std::string(2000, 'a').c_str()));
    EXPECT_EQ(274u, GetRecordSize(""));
    EXPECT_EQ(274u, GetRecordSize(nullptr));
}

TEST(SetRecordSlot, UpdatesOnlyRecordsThatExist)
{
    TestTable table(RECORD_SIZE_STD);
    ASSERT_TRUE(table.Ok());
    Slots s = SlotsOf(RECORD_SIZE_STD);
    HWND out = nullptr;
    const char* percent = "100% %s %n";
    ASSERT_EQ(0, FindOrAddRecord(table.Handle(), RECORD_SIZE_STD, percent, 3, PLACEHOLDER, &out));
    EXPECT_STREQ(percent, reinterpret_cast<const char*>(table.Record(0))) << "stored verbatim";
    zt::TestWindow live(MONITOR_WINDOW_CLASS);
    PutSlot(table.Record(0), s.slot3, zt::HandleValue(live.Get()));

    // The printer name is the key; an empty or null one yields to the port name. The old
    // content of the slot, live or not, does not matter.
    HWND value = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(SLOT_SET, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, "", percent, value, 3));
    EXPECT_EQ(0x1234u, SlotAt(table.Record(0), s.slot3));
    EXPECT_EQ(SLOT_SET, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, nullptr, "100% %S %N", value, 2));
    EXPECT_EQ(0x1234u, SlotAt(table.Record(0), s.slot12));
    EXPECT_EQ(SLOT_SET, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, percent, "other", nullptr, 3));
    EXPECT_EQ(0u, SlotAt(table.Record(0), s.slot3));

    std::string before = table.Bytes();
    EXPECT_EQ(SLOT_NO_RECORD, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, "never added", "", value, 3));
    EXPECT_EQ(SLOT_NO_RECORD, SetRecordSlot(table.Name().c_str(), RECORD_SIZE_STD, nullptr, nullptr, value, 3));
    std::string nobody = zt::UniqueName("ztnomap");
    EXPECT_EQ(SLOT_NO_TABLE, SetRecordSlot(nobody.c_str(), RECORD_SIZE_STD, percent, "", value, 3));
    EXPECT_EQ(SLOT_NO_TABLE, SetRecordSlot(nullptr, RECORD_SIZE_STD, percent, "", value, 3));
    EXPECT_EQ(before, table.Bytes());
}

} // namespace

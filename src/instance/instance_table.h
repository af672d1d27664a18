// The instance table: named shared memory that holds one record per printer key, each
// with three window slots, so that the monitors (and other programs of the driver) of all
// processes can find a running copy for a printer.
//
// Layout. The table has no header: records lie back to back from offset 0, position p at
// p * recordSize. There are two layouts, chosen by the record size: 274 bytes (keys of up
// to 260 characters, table "ZetV3MapFile") and 534 bytes (keys of up to 520 characters,
// table "ZetV3MapFile2" and every table named by a driver). Both have 500 positions.
//
// The first byte of a record gives its state: 0xFF is the end marker (the first position
// holding it ends the table and nothing behind it is read), 0 a free record, anything else
// a record in use. A new table is all zero except byte 0, the end marker. The table never
// shrinks: an append moves the end marker one position on, so at most 499 records exist
// and position 499 only ever carries the end marker.
//
// Slots hold window handles as 32-bit little-endian values, 0 for an empty slot and
// 0xFFFFFFFF (the placeholder) for a slot claimed by a monitor whose window does not exist
// yet. Handles are truncated to 32 bits when stored and sign-extended when read
// ((HWND)(LONG_PTR)(LONG)v), which is what window handles mean to 32-bit and 64-bit
// processes alike, so the table reads the same in both.
//
// Kinds name the slots: kind 0 -> hWnd0, kinds 1 and 2 -> hWnd12 (one shared slot),
// kind 3 -> hWnd3, the tray monitor's. A slot counts as a live copy when IsWindow accepts
// its handle; for kind 3 the window must also be of the monitor's class (handles are
// recycled, and another program's window must never be taken for a monitor).
//
// These operations take no lock themselves (their callers hold the table's lock, see
// table_lock.h). Each reads the table afresh through one view of the table's stated size,
// 500 * recordSize bytes from offset 0, released before it returns, and never reads or
// writes beyond it, whatever size the operating system rounds the mapping up to. None of
// these operations writes a trace line.
#pragma once

#include <windows.h>

#include <stddef.h>

#pragma pack(push, 1)
// One record of the table; KeyBytes is 260 or 520.
template <size_t KeyBytes> struct InstanceRecordT {
    char szKey[KeyBytes]; // printer key, NUL-terminated; a key of KeyBytes characters
                          // has its terminator in the first byte of wReserved
    WORD wReserved;       // zeroed whenever the record is filled
    DWORD hWnd12;         // slot of kinds 1 and 2
    DWORD hWnd0;          // slot of kind 0
    DWORD hWnd3;          // slot of kind 3, the tray monitor
};
#pragma pack(pop)

typedef InstanceRecordT<260> InstanceRecord;     // the 274-byte layout
typedef InstanceRecordT<520> InstanceRecordLong; // the 534-byte layout

constexpr DWORD RECORD_SIZE_STD = sizeof(InstanceRecord);
constexpr DWORD RECORD_SIZE_LONG = sizeof(InstanceRecordLong);
static_assert(RECORD_SIZE_STD == 274 && RECORD_SIZE_LONG == 534, "record layouts");

constexpr DWORD TABLE_POSITIONS = 500;
constexpr DWORD TABLE_SIZE_STD = RECORD_SIZE_STD * TABLE_POSITIONS;   // 137000
constexpr DWORD TABLE_SIZE_LONG = RECORD_SIZE_LONG * TABLE_POSITIONS; // 267000
// Longest key that a layout can hold.
constexpr DWORD KEY_CHARS_STD = sizeof(InstanceRecord::szKey);      // 260
constexpr DWORD KEY_CHARS_LONG = sizeof(InstanceRecordLong::szKey); // 520

constexpr BYTE RECORD_END_MARKER = 0xFF;
constexpr BYTE RECORD_FREE = 0;
constexpr DWORD SLOT_EMPTY = 0;
constexpr DWORD SLOT_PLACEHOLDER = 0xFFFFFFFF;
// The placeholder as a window-handle argument (the value -1).
#define INSTANCE_PLACEHOLDER_HWND ((HWND)(LONG_PTR)-1)

// Slot kinds.
constexpr int INSTANCE_KIND_0 = 0;       // hWnd0
constexpr int INSTANCE_KIND_1 = 1;       // hWnd12
constexpr int INSTANCE_KIND_2 = 2;       // hWnd12, shared with kind 1
constexpr int INSTANCE_KIND_MONITOR = 3; // hWnd3, the tray monitor
constexpr int INSTANCE_KIND_LAST = INSTANCE_KIND_MONITOR;

// Results of FindOrAddRecord (and of MultiExecuteCheck).
constexpr int RECORD_CLAIMED = 0; // no live window held the slot; `value` is in it now
constexpr int RECORD_LIVE = 1;    // a live window holds the slot; nothing was written
constexpr int RECORD_FAILED = 2;  // bad arguments, a view failed to map, or the table is full

// Results of SetRecordSlot.
constexpr int SLOT_SET = 0;          // the key's slot now holds the value
constexpr int SLOT_NO_END = 1;       // neither key nor end marker in the 500 positions
constexpr int SLOT_NO_TABLE = -1;    // bad arguments, the mapping did not open, or a view failed
constexpr int SLOT_NO_RECORD = -2;   // the end marker came first: no record has the key

// 274 when lstrlenA(key) is at most 260, otherwise 534 (a null key counts as empty).
DWORD GetRecordSize(const char* key);

// Looks `key` up (without regard to letter case) in the table of `mapping`, laid out in
// `recordSize`-byte records (274 or 534). *outWindow (when non-null) is set to 0 first.
// - Found with a live window in the kind's slot: that window into *outWindow, answer 1.
// - Found with an empty, stale or placeholder slot: `value` stored there, answer 0.
// - Not found: the key is written into the lowest free record, or appended at the end
//   marker (which moves on by one), with all slots zeroed and `value` in the kind's
//   slot, answer 0. With no end marker in the 500 positions nothing is written: answer 0.
// - Answer 2, with nothing written: a view failed to map, the table is full (an append
//   at position 499), the record size or kind is not one of the above, or the key cannot
//   be stored (null, empty, first byte 0xFF, or longer than the layout holds).
// The mapping handle stays open; it belongs to the caller.
int FindOrAddRecord(HANDLE mapping, DWORD recordSize, const char* key, int kind, HWND value, HWND* outWindow);

// Clears the kind's slot of the key's record, whatever it holds. When the two other
// slots are both 0, the record becomes free (first byte 0). Changes nothing when the key
// is not found, a view fails or the arguments are bad as for FindOrAddRecord.
void ClearRecordSlot(HANDLE mapping, DWORD recordSize, const char* key, int kind);

// Opens the mapping `mapName` and stores `value` in the kind's slot of the record whose
// key is `printerName` (when non-null and non-empty) or else `portName`. Never adds a
// record. Answers 0 (stored), 1 (neither key nor end marker in the 500 positions), -1 (the
// mapping did not open, a view failed, or bad record size or kind) or -2 (the end marker
// came first; also for a key that cannot be stored, which no record can hold).
int SetRecordSlot(const char* mapName, DWORD recordSize, const char* printerName, const char* portName,
                  HWND value, int kind);
// The same in the table of an open mapping.
int SetRecordSlotIn(HANDLE mapping, DWORD recordSize, const char* printerName, const char* portName, HWND value,
                    int kind);

// Read-only lookup: the window in the kind's slot of the key's record when it is live by
// the rule above, else null. Maps views for reading only and writes nothing.
HWND FindRecordWindow(HANDLE mapping, DWORD recordSize, const char* key, int kind);

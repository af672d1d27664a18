#include "instance_table.h"

#include <string.h>

#include "instance_check.h" // MONITOR_WINDOW_CLASS
#include "scoped.h"
#include "strutil.h"

namespace {

// Byte offsets of one layout, taken from its record type.
struct Layout {
    DWORD recordSize;
    DWORD keyChars; // longest key that fits
    DWORD keyArea;  // bytes a stored key may occupy: szKey and wReserved
    DWORD reserved;
    DWORD slot12;
    DWORD slot0;
    DWORD slot3;
};

template <typename Record> constexpr Layout LayoutOf()
{
    return {sizeof(Record),
            sizeof(Record::szKey),
            offsetof(Record, hWnd12),
            offsetof(Record, wReserved),
            offsetof(Record, hWnd12),
            offsetof(Record, hWnd0),
            offsetof(Record, hWnd3)};
}

constexpr Layout LAYOUT_STD = LayoutOf<InstanceRecord>();
constexpr Layout LAYOUT_LONG = LayoutOf<InstanceRecordLong>();
// The bytes from wReserved to the end of a record: zeroed when a record is filled.
constexpr DWORD RECORD_TAIL = RECORD_SIZE_STD - LAYOUT_STD.reserved;
static_assert(RECORD_TAIL == 14 && RECORD_SIZE_LONG - LAYOUT_LONG.reserved == RECORD_TAIL, "record tail");

// Maximum length of a window class name.
constexpr int CLASS_NAME_CHARS = 257;

const Layout* FindLayout(DWORD recordSize)
{
    if (recordSize == RECORD_SIZE_STD)
        return &LAYOUT_STD;
    if (recordSize == RECORD_SIZE_LONG)
        return &LAYOUT_LONG;
    return nullptr;
}

bool IsValidKind(int kind)
{
    return kind >= INSTANCE_KIND_0 && kind <= INSTANCE_KIND_LAST;
}

// Offset of the kind's slot within a record.
DWORD SlotOffset(const Layout& layout, int kind)
{
    if (kind == INSTANCE_KIND_0)
        return layout.slot0;
    if (kind == INSTANCE_KIND_MONITOR)
        return layout.slot3;
    return layout.slot12;
}

// A key that a record of this layout can hold: not empty (it would match a free record),
// not beginning with the end marker's byte, and short enough.
bool IsStorableKey(const Layout& layout, const char* key)
{
    if (!key || key[0] == '\0' || static_cast<BYTE>(key[0]) == RECORD_END_MARKER)
        return false;
    return strnlen(key, layout.keyChars + 1) <= layout.keyChars;
}

DWORD ReadSlot(const BYTE* record, DWORD offset)
{
    DWORD value;
    memcpy(&value, record + offset, sizeof(value));
    return value;
}

void WriteSlot(BYTE* record, DWORD offset, DWORD value)
{
    memcpy(record + offset, &value, sizeof(value));
}

DWORD HandleToSlot(HWND window)
{
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
}

HWND SlotToHandle(DWORD value)
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

// True when the record's key equals `key` without regard to letter case. The stored key
// is read within szKey and wReserved only, so an unterminated key never runs into the
// slots or past the record.
bool KeyMatches(const Layout& layout, const BYTE* record, const char* key)
{
    char stored[KEY_CHARS_LONG + sizeof(WORD) + 1];
    memcpy(stored, record, layout.keyArea);
    stored[layout.keyArea] = '\0';
    return SameName(stored, key) != 0;
}

// A slot's window counts as a running copy when it exists; a monitor's slot must also
// hold a window of the monitor's class.
bool IsLiveWindow(HWND window, int kind)
{
    if (!window || !IsWindow(window))
        return false;
    if (kind != INSTANCE_KIND_MONITOR)
        return true;
    char className[CLASS_NAME_CHARS] = {0};
    if (GetClassNameA(window, className, sizeof(className)) <= 0)
        return false;
    return lstrcmpiA(className, MONITOR_WINDOW_CLASS) == 0;
}

enum class ScanResult { Found, EndMarker, NotFound, MapFailed };

BYTE* RecordAt(const ScopedView& view, const Layout& layout, DWORD position)
{
    return view.Get() + static_cast<SIZE_T>(position) * layout.recordSize;
}

// Maps the table once, at its stated size, and walks positions 0..499. On Found and
// EndMarker *outPos is the record's position.
ScanResult ScanForKey(HANDLE mapping, const Layout& layout, const char* key, DWORD access, ScopedView* view,
                      DWORD* outPos)
{
    if (!view->Map(mapping, access, static_cast<SIZE_T>(TABLE_POSITIONS) * layout.recordSize))
        return ScanResult::MapFailed;
    for (DWORD p = 0; p < TABLE_POSITIONS; ++p) {
        const BYTE* record = RecordAt(*view, layout, p);
        *outPos = p;
        if (record[0] == RECORD_END_MARKER)
            return ScanResult::EndMarker;
        if (KeyMatches(layout, record, key))
            return ScanResult::Found;
    }
    return ScanResult::NotFound;
}

// Writes the key (with its terminator; the rest of szKey keeps its bytes) and zeroes
// wReserved and the three slots.
void FillRecord(const Layout& layout, BYTE* record, const char* key)
{
    memcpy(record, key, strlen(key) + 1);
    memset(record + layout.reserved, 0, RECORD_TAIL);
}

// Adds the key at the lowest free record before the end marker at `end`, or appends it
// there; the end marker then moves on by one, which the last position has no room for.
int AddRecord(const ScopedView& view, const Layout& layout, const char* key, int kind, HWND value, DWORD end)
{
    for (DWORD q = 0; q <= end; ++q) {
        BYTE* record = RecordAt(view, layout, q);
        if (record[0] == RECORD_FREE) {
            FillRecord(layout, record, key);
        } else if (record[0] == RECORD_END_MARKER) {
            if (q + 1 >= TABLE_POSITIONS)
                return RECORD_FAILED;
            FillRecord(layout, record, key);
            record[layout.recordSize] = RECORD_END_MARKER;
        } else if (!KeyMatches(layout, record, key)) {
            continue; // in use by another key
        }
        // A record filled just now, or one with this key that another program added
        // meanwhile: the value goes into its slot without a liveness test.
        WriteSlot(record, SlotOffset(layout, kind), HandleToSlot(value));
        return RECORD_CLAIMED;
    }
    return RECORD_FAILED;
}

} // namespace

DWORD GetRecordSize(const char* key)
{
    size_t length = key ? strnlen(key, KEY_CHARS_STD + 1) : 0;
    return length <= KEY_CHARS_STD ? RECORD_SIZE_STD : RECORD_SIZE_LONG;
}

int FindOrAddRecord(HANDLE mapping, DWORD recordSize, const char* key, int kind, HWND value, HWND* outWindow)
{
    if (outWindow)
        *outWindow = nullptr;
    const Layout* layout = FindLayout(recordSize);
    if (!mapping || !layout || !IsValidKind(kind) || !IsStorableKey(*layout, key))
        return RECORD_FAILED;

    ScopedView view;
    DWORD pos = 0;
    switch (ScanForKey(mapping, *layout, key, FILE_MAP_ALL_ACCESS, &view, &pos)) {
    case ScanResult::MapFailed:
        return RECORD_FAILED;
    case ScanResult::NotFound:
        return RECORD_CLAIMED; // no end marker: nothing can be added
    case ScanResult::EndMarker:
        return AddRecord(view, *layout, key, kind, value, pos);
    case ScanResult::Found:
        break;
    }
    BYTE* record = RecordAt(view, *layout, pos);
    DWORD offset = SlotOffset(*layout, kind);
    HWND held = SlotToHandle(ReadSlot(record, offset));
    if (IsLiveWindow(held, kind)) {
        if (outWindow)
            *outWindow = held;
        return RECORD_LIVE;
    }
    WriteSlot(record, offset, HandleToSlot(value));
    return RECORD_CLAIMED;
}

void ClearRecordSlot(HANDLE mapping, DWORD recordSize, const char* key, int kind)
{
    const Layout* layout = FindLayout(recordSize);
    if (!mapping || !layout || !IsValidKind(kind) || !IsStorableKey(*layout, key))
        return;
    ScopedView view;
    DWORD pos = 0;
    if (ScanForKey(mapping, *layout, key, FILE_MAP_ALL_ACCESS, &view, &pos) != ScanResult::Found)
        return;
    BYTE* record = RecordAt(view, *layout, pos);
    DWORD own = SlotOffset(*layout, kind);
    const DWORD slots[] = {layout->slot0, layout->slot12, layout->slot3};
    bool othersEmpty = true;
    for (DWORD offset : slots) {
        if (offset != own && ReadSlot(record, offset) != SLOT_EMPTY)
            othersEmpty = false;
    }
    if (othersEmpty)
        record[0] = RECORD_FREE;
    WriteSlot(record, own, SLOT_EMPTY);
}

int SetRecordSlot(const char* mapName, DWORD recordSize, const char* printerName, const char* portName,
                  HWND value, int kind)
{
    if (!mapName)
        return SLOT_NO_TABLE;
    ScopedHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, mapName));
    if (!mapping.IsValid())
        return SLOT_NO_TABLE;
    return SetRecordSlotIn(mapping.Get(), recordSize, printerName, portName, value, kind);
}

int SetRecordSlotIn(HANDLE mapping, DWORD recordSize, const char* printerName, const char* portName, HWND value,
                    int kind)
{
    const Layout* layout = FindLayout(recordSize);
    if (!mapping || !layout || !IsValidKind(kind))
        return SLOT_NO_TABLE;
    const char* key = (printerName && printerName[0]) ? printerName : portName;
    if (!IsStorableKey(*layout, key))
        return SLOT_NO_RECORD;

    ScopedView view;
    DWORD pos = 0;
    switch (ScanForKey(mapping, *layout, key, FILE_MAP_ALL_ACCESS, &view, &pos)) {
    case ScanResult::MapFailed:
        return SLOT_NO_TABLE;
    case ScanResult::NotFound:
        return SLOT_NO_END;
    case ScanResult::EndMarker:
        return SLOT_NO_RECORD;
    case ScanResult::Found:
        break;
    }
    WriteSlot(RecordAt(view, *layout, pos), SlotOffset(*layout, kind), HandleToSlot(value));
    return SLOT_SET;
}

HWND FindRecordWindow(HANDLE mapping, DWORD recordSize, const char* key, int kind)
{
    const Layout* layout = FindLayout(recordSize);
    if (!mapping || !layout || !IsValidKind(kind) || !IsStorableKey(*layout, key))
        return nullptr;
    ScopedView view;
    DWORD pos = 0;
    if (ScanForKey(mapping, *layout, key, FILE_MAP_READ, &view, &pos) != ScanResult::Found)
        return nullptr;
    HWND held = SlotToHandle(ReadSlot(RecordAt(view, *layout, pos), SlotOffset(*layout, kind)));
    return IsLiveWindow(held, kind) ? held : nullptr;
}

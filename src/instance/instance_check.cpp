#include "instance_check.h"

#include <string.h>

#include "driver_config.h"
#include "printer.h"
#include "reg_view.h"
#include "scoped.h"
#include "shared_access.h"
#include "strutil.h"
#include "table_lock.h"

namespace {

const char MAP_FILE_NAME_VALUE[] = DRIVER_VALUE_MAP_FILE;

// Access that both entries of a table's access list grant: STANDARD_RIGHTS_REQUIRED and
// the six lowest specific rights.
constexpr DWORD TABLE_ACCESS = STANDARD_RIGHTS_REQUIRED | 0x3F;
static_assert(TABLE_ACCESS == 0xF003F, "table access mask");

// The table a printer key uses: its name, its layout and the key itself.
struct TableChoice {
    char name[ZT_TEXT];
    const char* key;
    int fromDriver;
    DWORD recordSize;
};

const char* NonNull(const char* text)
{
    return text ? text : "";
}

// Chooses the key (the port name when the printer name is empty and the port name is
// not) and its table. False when no name results (an empty "MapFileName").
bool ChooseTable(const char* printerName, const char* portName, TableChoice* out, const char* knownDriver = nullptr)
{
    printerName = NonNull(printerName);
    portName = NonNull(portName);
    int usePort = (printerName[0] == '\0' && portName[0] != '\0') ? 1 : 0;
    out->key = usePort ? portName : printerName;
    memset(out->name, 0, sizeof(out->name));
    out->fromDriver = 0;
    if (ChooseMapName(out->name, printerName, portName, usePort, &out->fromDriver, knownDriver) == 0)
        return false;
    out->recordSize = out->fromDriver ? RECORD_SIZE_LONG : GetRecordSize(out->key);
    return true;
}

// Copies the driver name of an open printer (level-2 information) into `out`; false when
// it can't be read or does not fit.
bool GetDriverName(HANDLE printer, char* out, size_t outSize)
{
    PrinterInfo2 info;
    return info.Read(printer) && info.Get()->pDriverName && SafeCopy(out, outSize, info.Get()->pDriverName);
}

// Creates or opens a table; a table created here gets its end marker.
HANDLE OpenTable(DWORD size, DWORD firstView, const char* name)
{
    if (!name || !name[0])
        return nullptr;
    ScopedHandle mapping(IsWinNT() ? CreateSecuredMapping(size, name)
                                   : CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name));
    if (!mapping.IsValid())
        return nullptr;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    ScopedView view;
    if (!view.Map(mapping.Get(), FILE_MAP_ALL_ACCESS, firstView))
        return nullptr;
    if (created)
        view.Get()[0] = RECORD_END_MARKER;
    return mapping.Detach();
}

} // namespace

void CloseInstanceTable(InstanceTable* table)
{
    if (!table)
        return;
    if (table->hMapping)
        CloseHandle(table->hMapping);
    if (table->hLock)
        CloseHandle(table->hLock);
    table->hMapping = nullptr;
    table->recordSize = 0;
    table->hLock = nullptr;
}

int GetDriverMapName(const char* key, char* outName, int outSize, const char* knownDriver)
{
    if (!key || !outName || outSize <= 0)
        return 0;
    ScopedPrinter printer;
    char driver[ZT_TEXT] = {0};
    int presence = OpenPrinterPresence(key, &printer);
    if (presence == PRESENCE_HERE) {
        if (!GetDriverName(printer.Get(), driver, sizeof(driver)))
            return 0;
    } else if (presence == PRESENCE_GONE || !knownDriver || !SafeCopy(driver, knownDriver) || !driver[0]) {
        // A printer that the spooler cannot reach now keeps the driver it was started with:
        // its table is the one that it takes when the spooler answers.
        return 0;
    }
    char path[ZT_TEXT] = {0};
    if (!SafeCopy(path, DRIVER_KEY_PREFIX) || !SafeAppend(path, driver))
        return 0;
    // The first view whose driver key holds the value decides, in an order that does not
    // depend on this program's kind: a 32-bit and a 64-bit copy choose the same table.
    for (REGSAM view : REG_VIEWS_FIXED_ORDER) {
        ScopedRegKey reg;
        if (OpenMachineKeyInView(path, KEY_READ, view, reg.Put()) != ERROR_SUCCESS)
            continue;
        // One byte more than the value may fill: a value without a terminator still ends.
        char value[ZT_TEXT + 1] = {0};
        DWORD size = ZT_TEXT;
        LONG rc = RegQueryValueExA(reg.Get(), MAP_FILE_NAME_VALUE, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                   &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return 0;
        memset(outName, 0, static_cast<size_t>(outSize));
        SafeCopy(outName, static_cast<size_t>(outSize), value);
        return 1;
    }
    return 0;
}

int ChooseMapName(char* outName, const char* printerName, const char* portName, int usePort, int* outFromDriver,
                  const char* knownDriver)
{
    if (!outName || !printerName || !portName || !outFromDriver)
        return 0;
    const char* key = usePort ? portName : printerName;
    char driverName[ZT_TEXT] = {0};
    if (GetDriverMapName(key, driverName, sizeof(driverName), knownDriver) == 1) {
        SafeCopy(outName, ZT_TEXT, driverName);
        *outFromDriver = 1;
    } else {
        SafeCopy(outName, ZT_TEXT, GetRecordSize(key) == RECORD_SIZE_LONG ? MAP_NAME_LONG : MAP_NAME_STD);
        *outFromDriver = 0;
    }
    return lstrlenA(outName);
}

HANDLE CreateSecuredMapping(DWORD size, const char* name)
{
    HANDLE mapping = nullptr;
    DWORD error = ERROR_INVALID_SECURITY_DESCR;
    {
        CSharedAccess access(TABLE_ACCESS);
        if (access.Get()) {
            mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, access.Get(), PAGE_READWRITE, 0, size, name);
            error = GetLastError();
        }
    }
    SetLastError(error); // callers tell a new mapping from an existing one by it
    return mapping;
}

HANDLE OpenDriverTable(const char* name)
{
    return OpenTable(TABLE_SIZE_LONG, RECORD_SIZE_LONG, name);
}

HANDLE OpenStdTable(const char* key, const char* name)
{
    DWORD recordSize = GetRecordSize(key);
    return OpenTable(recordSize * TABLE_POSITIONS, recordSize, name);
}

int MultiExecuteCheck(const char* printerName, const char* portName, int kind, HWND value, HWND* outWindow,
                      InstanceTable* outTable, ScopedMutexLock* keepLocked, const char* knownDriver)
{
    if (outWindow)
        *outWindow = nullptr;
    if (!outTable)
        return RECORD_FAILED;
    TableChoice table;
    if (!ChooseTable(printerName, portName, &table, knownDriver))
        return RECORD_FAILED;
    // The table is created (with its end marker) and searched under its lock: no other
    // copy meets a new table before its end marker, or this claim half done. A table whose
    // lock cannot be made is not used.
    ScopedHandle lockHandle(CreateTableLock(table.name));
    if (!lockHandle.IsValid()) {
        *outTable = {nullptr, 0, nullptr};
        return RECORD_FAILED;
    }
    ScopedMutexLock ownLock; // released before lockHandle closes
    ScopedMutexLock* lock = keepLocked ? keepLocked : &ownLock;
    LockTable(lockHandle.Get(), lock);
    HANDLE mapping = table.fromDriver ? OpenDriverTable(table.name) : OpenStdTable(table.key, table.name);
    if (!mapping) {
        lock->Release();
        *outTable = {nullptr, 0, nullptr};
        return RECORD_FAILED;
    }
    int result = FindOrAddRecord(mapping, table.recordSize, table.key, kind, value, outWindow);
    outTable->hMapping = mapping;
    outTable->recordSize = table.recordSize;
    outTable->hLock = lockHandle.Detach();
    return result;
}

int SethWindow(InstanceTable* table, const char* printerName, const char* portName, HWND window, int kind)
{
    if (!table || !table->hMapping)
        return SLOT_NO_TABLE;
    // Taken again when the caller holds it already (a mutex counts its owner's waits).
    ScopedMutexLock lock;
    LockTable(table->hLock, &lock);
    return SetRecordSlotIn(table->hMapping, table->recordSize, printerName, portName, window, kind);
}

void RemoveOwnRecord(InstanceTable* table, const char* printerName, const char* portName, int kind, int usePort)
{
    if (!table || !table->hMapping)
        return;
    ScopedMutexLock lock;
    LockTable(table->hLock, &lock);
    ClearRecordSlot(table->hMapping, table->recordSize, usePort ? portName : printerName, kind);
}

HWND FindRunningWindow(const char* printerName, const char* portName, int kind)
{
    TableChoice table;
    if (!ChooseTable(printerName, portName, &table))
        return nullptr;
    ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, table.name));
    if (!mapping.IsValid())
        return nullptr;
    return FindRecordWindow(mapping.Get(), table.recordSize, table.key, kind);
}

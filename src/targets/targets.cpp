#include "targets.h"

#include <string.h>

#include <string>
#include <vector>

#include "driver_config.h"
#include "printer.h"
#include "reg_read.h"
#include "scoped.h"
#include "shared_access.h"
#include "strutil.h"
#include "table_lock.h"
#include "trace.h"

namespace {

const DWORD kIndexLimit = 2147483647; // indices run from 0 to 2147483646
const DWORD kSettingNew = 0;
const DWORD kSettingStale = 255;
const DWORD kTimerDefault = 10;
const char kNameValue[] = "Name";
const char kSettingValue[] = "Setting";
const char kTimerValue[] = "Timer";

const char* ListPath(int portList)
{
    return portList == 1 ? TARGET_PORT_LIST : TARGET_PRINTER_LIST;
}

const char* TextOrEmpty(const char* text)
{
    return text ? text : "";
}

LONG CreateKey(const char* path, HKEY* key, DWORD* disposition)
{
    return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key, disposition);
}

LONG SetDword(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

enum NameRead { NAME_OK, NAME_MISSING, NAME_UNREADABLE, NAME_UNFIT };

// 1 when the target's "Name", read in wide characters, is a text that the ANSI code page
// cannot hold: its ANSI reading names another printer, or none. A missing, unreadable or
// non-text value is left to the ANSI reading.
bool IsUnfitName(HKEY target)
{
    wchar_t wide[ZT_TEXT];
    DWORD type = 0;
    DWORD size = sizeof(wide);
    if (RegQueryValueExW(target, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    return !WideFitsCodePage(wide, static_cast<int>(size / sizeof(wchar_t)));
}

// Reads a target's "Name", of any type, into a 260-byte buffer that always ends up
// terminated, as the project's other registry texts are read: a name stored without its
// terminating NUL is read whole. A value that does not fit the buffer is unreadable and
// leaves "". NAME_OK includes the empty name; NAME_UNFIT is a name that the ANSI code
// page cannot hold, whatever its ANSI reading is.
NameRead ReadName(HKEY target, char (&name)[ZT_TEXT])
{
    if (IsUnfitName(target)) {
        name[0] = '\0';
        return NAME_UNFIT;
    }
    if (QueryText(target, kNameValue, name, sizeof(name)))
        return NAME_OK;
    LONG rc = RegQueryValueExA(target, kNameValue, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_FILE_NOT_FOUND ? NAME_MISSING : NAME_UNREADABLE;
}

// The direct subkeys of a key as they stand now, in enumeration order, so that removing
// entries while walking the list neither skips nor repeats one. A name too long for a
// 260-byte buffer is left out; the listing ends at an empty name or any other failure.
std::vector<std::string> ListSubkeys(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[ZT_TEXT];
        DWORD length = sizeof(name);
        LONG rc = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        name[sizeof(name) - 1] = '\0';
        if (rc != ERROR_SUCCESS || name[0] == '\0')
            break;
        names.emplace_back(name);
    }
    return names;
}

// Deletes the key's values by index; a value that cannot be deleted is passed over.
void DeleteValues(HKEY key)
{
    DWORD index = 0;
    for (;;) {
        char name[ZT_TEXT];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        name[sizeof(name) - 1] = '\0';
        if (name[0] == '\0')
            break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS)
            ++index;
    }
}

// A printer-list target is stale when it names no printer that opens, or one whose level-2
// information lacks its driver or print processor. Information that cannot be read keeps it,
// and so does a name that the ANSI code page cannot hold: no ANSI open can tell whether
// its printer still exists.
bool IsStalePrinterTarget(HKEY target)
{
    char name[ZT_TEXT];
    NameRead read = ReadName(target, name);
    if (read == NAME_UNFIT)
        return false;
    if (read != NAME_OK || name[0] == '\0')
        return true;
    ScopedPrinter printer;
    if (!OV_OpenPrinter(name, printer.Put(), nullptr) || !printer.IsOpen())
        return true;

    PrinterInfo2 info;
    if (!info.Read(printer.Get()))
        return false;
    return !info.Get()->pDriverName || !info.Get()->pPrintProcessor;
}

// A port-list target goes only when it has no name; its port is never checked.
bool IsStalePortTarget(HKEY target)
{
    char name[ZT_TEXT];
    NameRead read = ReadName(target, name);
    return read == NAME_MISSING || (read == NAME_OK && name[0] == '\0');
}

// The store's lock, held for the scope when it could be taken.
class StoreLock {
public:
    StoreLock() : m_mutex(CreateTargetStoreLock()) { m_held = LockTable(m_mutex.Get(), &m_lock); }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Held() const { return m_held; }

private:
    ScopedHandle m_mutex;
    ScopedMutexLock m_lock; // released before m_mutex closes
    bool m_held = false;
};

// A target as it stood when it was judged: its "Name" as stored (also when missing or
// unreadable) and the time of its last change. A target that another process named,
// changed, or deleted and made again since then no longer matches.
struct TargetStamp {
    LONG nameRead = ERROR_FILE_NOT_FOUND;
    DWORD nameType = REG_NONE;
    DWORD nameSize = 0;
    BYTE name[2 * ZT_TEXT] = {0};
    FILETIME written = {0, 0};

    bool Read(HKEY target)
    {
        // The wide query hands back the stored bytes of a text without converting them.
        nameSize = sizeof(name);
        nameRead = RegQueryValueExW(target, L"Name", nullptr, &nameType, name, &nameSize);
        return RegQueryInfoKeyA(target, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, &written) == ERROR_SUCCESS;
    }
    bool Matches(const TargetStamp& other) const
    {
        return nameRead == other.nameRead && nameType == other.nameType && nameSize == other.nameSize &&
               (nameRead != ERROR_SUCCESS || memcmp(name, other.name, nameSize) == 0) &&
               CompareFileTime(&written, &other.written) == 0;
    }
};

struct StaleTarget {
    std::string subkey;
    TargetStamp stamp;
};

// Examines every target of a list once, as the list stood when the sweep began, without
// the store's lock (a printer may take seconds to answer): the targets that were stale then.
// False when the list key cannot be opened.
bool FindStaleTargets(const char* listPath, bool (*isStale)(HKEY), std::vector<StaleTarget>* out)
{
    ScopedRegKey list;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, listPath, 0, KEY_ALL_ACCESS, list.Put()) != ERROR_SUCCESS)
        return false;
    for (const std::string& name : ListSubkeys(list.Get())) {
        ScopedRegKey target;
        if (RegOpenKeyExA(list.Get(), name.c_str(), 0, KEY_ALL_ACCESS, target.Put()) != ERROR_SUCCESS)
            continue; // left alone
        StaleTarget entry;
        entry.subkey = name;
        if (entry.stamp.Read(target.Get()) && isStale(target.Get()))
            out->push_back(entry);
    }
    return true;
}

// Removes, under the store's lock, the targets found stale that are still as they were
// judged. Without the lock nothing is removed: a target that another process is making
// reads as stale until its "Name" is written.
void RemoveStillStale(const char* listPath, const std::vector<StaleTarget>& stale, int (*remove)(const char*))
{
    if (stale.empty())
        return;
    StoreLock lock;
    if (!lock.Held())
        return;
    for (const StaleTarget& entry : stale) {
        char path[ZT_TEXT];
        if (!SafeFormat(path, sizeof(path), "%s\\%s", listPath, entry.subkey.c_str()))
            continue;
        TargetStamp now;
        {
            ScopedRegKey target;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, target.Put()) != ERROR_SUCCESS ||
                !now.Read(target.Get()))
                continue;
        }
        if (now.Matches(entry.stamp))
            remove(path);
    }
}

// Sweeps one list. 0 = swept; -1 = the list key cannot be opened.
int SweepList(const char* listPath, bool (*isStale)(HKEY), int (*remove)(const char*))
{
    std::vector<StaleTarget> stale;
    if (!FindStaleTargets(listPath, isStale, &stale))
        return -1;
    RemoveStillStale(listPath, stale, remove);
    return 0;
}

// True when the target holds TrayIconEnable: the printer library wrote its defaults.
bool HasTraySettings(const char* path)
{
    ScopedRegKey target;
    return path && path[0] && RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, target.Put()) == ERROR_SUCCESS &&
           RegQueryValueExA(target.Get(), TARGET_TRAY_ENABLE, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The driver's printer library, loaded with its export, and the driver name handed to it.
struct PrinterLibrary {
    ScopedLibrary module;
    PrSetRegDefaultValueProc proc = nullptr;
    char driverName[ZT_TEXT] = {0};

    // 0 = ready; 4 = the library cannot be loaded; 5 = it lacks PrSetRegDefaultValue.
    int Load(const char* printerName, const char* modelId, const char* startDriverName)
    {
        char libraryPath[ZT_TEXT];
        memset(libraryPath, 0, sizeof(libraryPath));
        // A port-list target has no printer to ask: the monitor's own driver name stands in.
        if (!GetPrnDriverName(printerName, driverName) && !SafeCopy(driverName, TextOrEmpty(startDriverName)))
            driverName[0] = '\0';
        GetPrnDllPath(libraryPath, driverName, modelId);
        libraryPath[sizeof(libraryPath) - 1] = '\0';
        if (!module.Load(libraryPath)) {
            TraceLoadError("AddTargetReg", PROFILE_INI_PRN_DLL, libraryPath, GetLastError());
            return 4;
        }
        // Through a generic function pointer: the export's real type is only known by name.
        proc = reinterpret_cast<PrSetRegDefaultValueProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(module.Get(), PR_SET_REG_DEFAULT_VALUE)));
        return proc ? 0 : 5;
    }
    int WriteDefaults(const char* printerName, const char* portName, const char* modelId)
    {
        return proc(TextOrEmpty(printerName), driverName, TextOrEmpty(portName), TextOrEmpty(modelId), 0, 0, 0);
    }
};

// Finds the target again, or creates it, under the store's lock (another process may have
// made it since the lookup). 0 with the path written, *created telling which; else the
// failure of CreateTargetReg, and a target it made without all its values is gone again.
int FindOrCreateTarget(const char* key, int portList, char (&path)[ZT_TEXT], bool* created)
{
    StoreLock lock;
    *created = false;
    if (FindTargetReg(key, portList, path) == 0)
        return 0;
    path[0] = '\0';
    int result = CreateTargetReg(key, portList, path);
    if (result != 0 && path[0])
        DeleteRegTree(path);
    *created = result == 0;
    return result;
}

} // namespace

int GetTargetReg(const char* printerName, const char* portName, const char* modelId, int* outPortList,
                 char* outPath, const char* startDriverName)
{
    int portList = ((!printerName || !*printerName) && portName && *portName) ? 1 : 0;
    if (outPortList)
        *outPortList = portList;
    const char* key = portList ? portName : printerName;
    char path[ZT_TEXT] = "";
    if (FindTargetReg(key, portList, path) != 0)
        return AddTargetReg(printerName, portName, modelId, portList, outPath, startDriverName);
    if (outPath)
        SafeCopy(outPath, ZT_TEXT, path);
    // A target without its tray settings (its maker ended before the printer library wrote
    // them, or is writing them now) gets the defaults again; the library fills in only
    // what is missing.
    PrinterLibrary library;
    if (!HasTraySettings(path) && library.Load(printerName, modelId, startDriverName) == 0)
        library.WriteDefaults(printerName, portName, modelId);
    return 0;
}

int FindTargetReg(const char* key, int portList, char* outPath)
{
    const char* listPath = ListPath(portList);
    ScopedRegKey list;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, listPath, 0, KEY_READ, list.Put()) != ERROR_SUCCESS)
        return 4;
    for (const std::string& subkey : ListSubkeys(list.Get())) {
        char name[ZT_TEXT];
        NameRead read;
        {
            ScopedRegKey target;
            if (RegOpenKeyExA(list.Get(), subkey.c_str(), 0, KEY_READ, target.Put()) != ERROR_SUCCESS)
                continue;
            read = ReadName(target.Get(), name);
        }
        if (read == NAME_OK && SameName(name, TextOrEmpty(key))) {
            char path[ZT_TEXT];
            if (!SafeFormat(path, sizeof(path), "%s\\%s", listPath, subkey.c_str()))
                continue;
            if (outPath)
                SafeCopy(outPath, ZT_TEXT, path);
            return 0;
        }
    }
    return 1;
}

int AddTargetReg(const char* printerName, const char* portName, const char* modelId, int portList,
                 char* outPath, const char* startDriverName)
{
    // The library first, with no lock held: a target is made only when its defaults can be
    // written, never one that would read as switched off.
    PrinterLibrary library;
    int loaded = library.Load(printerName, modelId, startDriverName);
    if (loaded != 0)
        return loaded;
    CleanupTargetReg(); // -1 on the very first run, when the lists do not exist yet

    char path[ZT_TEXT] = "";
    bool created = false;
    if (FindOrCreateTarget(portList == 1 ? portName : printerName, portList, path, &created) != 0)
        return 1;
    int result = library.WriteDefaults(printerName, portName, modelId);
    if (created && !HasTraySettings(path)) {
        // The defaults did not come: without its target the printer takes the profile's.
        StoreLock lock;
        RemoveTargetReg(path);
        path[0] = '\0';
    }
    if (outPath)
        SafeCopy(outPath, ZT_TEXT, path);
    return result;
}

HANDLE CreateTargetStoreLock()
{
    if (!IsWinNT())
        return CreateSharedLock(TARGET_STORE_LOCK_NAME);
    // The store belongs to the user: one lock for all the user's sessions. When another
    // account made that name first (held, refusing the user, or of another type), the lock
    // of the user's own session serves instead.
    const CUserObjects user;
    char name[MAX_PATH];
    for (const char* space : {"Global", "Local"}) {
        if (!SafeFormat(name, sizeof(name), "%s\\%s.%s", space, TARGET_STORE_LOCK_NAME, user.Sid().c_str()))
            return nullptr;
        if (HANDLE lock = user.Open(CUserObjects::Mutex, name, LOCK_ACCESS, false))
            return lock;
        TraceStr("CreateTargetStoreLock : not the user's", name);
    }
    return nullptr;
}

int CreateTargetReg(const char* key, int portList, char* outPath)
{
    const char* listPath = ListPath(portList);
    const char* name = TextOrEmpty(key);
    ScopedRegKey list;
    if (CreateKey(listPath, list.Put(), nullptr) != ERROR_SUCCESS)
        return 4;

    for (DWORD index = 0; index < kIndexLimit; ++index) {
        char path[ZT_TEXT];
        SafeFormat(path, sizeof(path), "%s\\P%016d", listPath, static_cast<int>(index));
        ScopedRegKey target;
        DWORD disposition = 0;
        if (CreateKey(path, target.Put(), &disposition) != ERROR_SUCCESS)
            return 3;
        // Only the process that created the subkey claims it; an existing one is never reused.
        if (disposition != REG_CREATED_NEW_KEY)
            continue;
        if (RegSetValueExA(target.Get(), kNameValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>(strlen(name) + 1)) != ERROR_SUCCESS)
            return 2;
        if (outPath)
            SafeCopy(outPath, ZT_TEXT, path);
        SetDword(target.Get(), kSettingValue, kSettingNew);
        SetDword(target.Get(), kTimerValue, kTimerDefault);
        DWORD setting = 0;
        DWORD size = sizeof(setting);
        LONG rc = RegQueryValueExA(target.Get(), kSettingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&setting),
                                   &size);
        return (rc == ERROR_SUCCESS && setting == kSettingNew) ? 0 : 1;
    }
    return 1;
}

int CleanupTargetReg()
{
    if (SweepList(TARGET_PRINTER_LIST, IsStalePrinterTarget, RemoveTargetReg) != 0)
        return -1;
    return SweepList(TARGET_PORT_LIST, IsStalePortTarget, DeleteRegTree);
}

int RemoveTargetReg(const char* path)
{
    if (!path || !*path)
        return -1;
    {
        ScopedRegKey target;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, target.Put()) != ERROR_SUCCESS)
            return -1;
        SetDword(target.Get(), kSettingValue, kSettingStale);
    }
    DeleteRegTree(path);
    return 0;
}

int DeleteRegTree(const char* path)
{
    // An empty path would open HKCU itself.
    if (!path || !*path || *path == '\\')
        return -1;
    ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
        return -1;

    // Each deleted subkey leaves index 0 to the next one; a name that comes back there
    // survived its deletion, and would come back forever.
    char previous[ZT_TEXT] = "";
    for (;;) {
        char name[ZT_TEXT];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        name[sizeof(name) - 1] = '\0';
        if (name[0] == '\0')
            break;
        if (previous[0] && lstrcmpiA(name, previous) == 0)
            return -1;
        char child[ZT_TEXT];
        if (!SafeFormat(child, sizeof(child), "%s\\%s", path, name))
            return -1; // deeper than a path buffer holds: this part of the tree stays
        if (DeleteRegTree(child) != 0)
            return -1;
        SafeCopy(previous, name);
    }
    DeleteValues(key.Get());
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    return 0;
}

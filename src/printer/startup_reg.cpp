#include "startup_reg.h"

#include <string.h>

#include "printer.h"
#include "reg_read.h"
#include "reg_view.h"
#include "scoped.h"
#include "strutil.h"
#include "trace.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The path that `data` hands to the monitor with /A as its last quoted text, or null.
// The data's closing quote is cut off in place.
const char* AttachedFilePath(char* data)
{
    char* close = strrchr(data, '"');
    if (!close)
        return nullptr;
    *close = '\0';
    char* open = strrchr(data, '"');
    if (!open || open[1] == '\0')
        return nullptr;
    const char* p = open;
    while (p > data && IsBlank(p[-1]))
        --p;
    if (p - data < 2 || p[-2] != '/' || (p[-1] != 'A' && p[-1] != 'a'))
        return nullptr;
    return open + 1;
}

// True when the value's data hands `path` to the monitor with /A: its /A file is the same
// text, whole, in any letter case. A value that merely mentions the path, or attaches
// another file whose path ends in it, belongs to someone else.
bool AttachesFile(char* data, const char* path)
{
    const char* attached = AttachedFilePath(data);
    return attached && SameName(attached, path);
}

// Removes the value, and its /A parameter file, from one Run key.
void RemoveFromRunKey(HKEY root, const char* valueName)
{
    ScopedRegKey run;
    if (RegOpenKeyExA(root, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, run.Put()) == ERROR_SUCCESS)
        RemoveRunEntry(run.Get(), valueName);
}

// The printer's, or without a name its port's, presence, traced.
int TracedPresence(const char* printerName, const char* portName)
{
    // A monitor known only by its port has no printer to open (an empty name opens none,
    // or the print server): it watches its port instead. Only a complete listing without
    // the port means gone; a spooler that cannot list its ports now is asked next time.
    if (!printerName[0]) {
        TraceMsg("enter : PortExists");
        int state = PortExists(portName);
        TraceMsg("exit : PortExists");
        TraceInt("result", state);
        return state;
    }
    ScopedPrinter printer;
    DWORD error = 0;
    TraceMsg("enter : OV_OpenPrinter");
    int presence = OpenPrinterPresence(printerName, &printer, &error);
    TraceMsg("exit : OV_OpenPrinter");
    TraceInt("result", presence == PRESENCE_HERE ? 1 : 0);
    // Only the spooler's "no such printer" is a deletion; anything else is asked again at
    // the next check.
    if (presence == PRESENCE_UNKNOWN)
        TraceInt("CMainFrame::ChkDelPrn : not reachable", static_cast<long>(error));
    return presence;
}

} // namespace

void RemoveRunEntry(HKEY runKey, const char* valueName)
{
    if (!runKey || !valueName || !valueName[0])
        return;
    // Data longer than 259 characters is not read, and names no file to delete.
    char data[ZT_TEXT];
    if (QueryText(runKey, valueName, data, sizeof(data))) {
        const char* path = AttachedFilePath(data);
        if (path)
            DeleteFileA(path);
    }
    RegDeleteValueA(runKey, valueName);
}

void DeleteStartupReg(const char* valueName, const char* text)
{
    TraceMsg("DeleteStartupReg");
    ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
        return;
    if (valueName && valueName[0]) {
        RegDeleteValueA(key.Get(), valueName);
        return;
    }
    if (!text || !text[0])
        return;
    for (DWORD index = 0;; ++index) {
        char name[ZT_TEXT] = {0};
        char data[ZT_TEXT + 1] = {0};
        DWORD nameSize = ZT_TEXT;
        DWORD dataSize = ZT_TEXT;
        LONG rc = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                &dataSize);
        if (rc == ERROR_SUCCESS) {
            if (strlen(data) < ZT_TEXT && AttachesFile(data, text)) {
                RegDeleteValueA(key.Get(), name);
                return;
            }
        } else if (rc != ERROR_MORE_DATA) {
            // The end of the list, or an error that the next index would only repeat.
            return;
        }
    }
}

void RemoveStartupEntries(const char* valueName)
{
    TraceMsg("Delete Reg HKCU\\run");
    RemoveFromRunKey(HKEY_CURRENT_USER, valueName);
    TraceMsg("Delete Reg HKLM\\run");
    for (REGSAM view : REG_VIEWS) {
        ScopedRegKey run;
        if (OpenMachineKeyInView(RUN_KEY_PATH, KEY_ALL_ACCESS, view, run.Put()) == ERROR_SUCCESS)
            RemoveRunEntry(run.Get(), valueName);
    }
}

int CheckPrinterDeleted(const char* printerName, const char* portName, int* presence)
{
    printerName = printerName ? printerName : "";
    portName = portName ? portName : "";
    TraceMsg("CMainFrame::ChkDelPrn : start");
    TraceStr("PrinterName", printerName);
    int state = TracedPresence(printerName, portName);
    if (presence)
        *presence = state;
    if (state != PRESENCE_GONE)
        return 1;
    RemoveStartupEntries(printerName[0] ? printerName : portName);
    return 0;
}

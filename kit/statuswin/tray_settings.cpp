#include "tray_settings.h"

#include <string.h>

#include "instance_check.h"
#include "printer.h"
#include "reg_read.h"
#include "scoped.h"
#include "targets.h"

namespace {

bool SetDwordValue(HKEY key, const char* name, int value)
{
    if (value < 0)
        return true;
    DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

// Writes the two values of the target (a negative value is left as it is). 1 when both
// were written, 0 when the target cannot be opened or a value not be written.
int WriteTwoValues(const char* targetPath, const char* first, int firstValue, const char* second, int secondValue)
{
    ScopedRegKey key;
    if (!targetPath || !*targetPath ||
        RegOpenKeyExA(HKEY_CURRENT_USER, targetPath, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS)
        return 0;
    bool ok = SetDwordValue(key.Get(), first, firstValue);
    ok = SetDwordValue(key.Get(), second, secondValue) && ok;
    return ok ? 1 : 0;
}

bool PrinterOpens(const char* printerName)
{
    ScopedPrinter printer;
    return printerName && *printerName && OV_OpenPrinter(printerName, printer.Put(), nullptr) && printer.IsOpen();
}

} // namespace

int FindOrCreateTarget(const PrinterIdentity& identity, char* outPath)
{
    char path[ZT_TEXT];
    memset(path, 0, sizeof(path));
    outPath[0] = '\0';
    int portList = IdentityUsesPort(identity);
    if (FindTargetReg(IdentityKey(identity), portList, path) != 0 && !portList && !PrinterOpens(identity.printer))
        return 0;
    // Through the monitor's own lookup also when the target exists: one that its maker
    // left without its tray settings gets the defaults, instead of showing as switched off.
    memset(path, 0, sizeof(path));
    GetTargetReg(identity.printer, identity.port, identity.model, &portList, path);
    SafeCopy(outPath, ZT_TEXT, path);
    return path[0] ? 1 : 0;
}

int ReadTraySettings(const char* targetPath, TraySettings* out)
{
    out->selected = 0;
    out->enable = 0;
    ScopedRegKey key;
    if (!targetPath || !*targetPath ||
        RegOpenKeyExA(HKEY_CURRENT_USER, targetPath, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    // Values of up to 4 bytes, of any type, as the monitor reads them.
    out->selected = QueryNumber(key.Get(), TRAY_ICON_SELECTED_VALUE);
    out->enable = QueryNumber(key.Get(), TRAY_ICON_ENABLE_VALUE);
    return 1;
}

int WriteTraySettings(const char* targetPath, int selected, int enable)
{
    return WriteTwoValues(targetPath, TRAY_ICON_SELECTED_VALUE, selected, TRAY_ICON_ENABLE_VALUE, enable);
}

int WriteStateSwitches(const char* targetPath, int show, int notify)
{
    return WriteTwoValues(targetPath, TARGET_STATE_SHOW, show, TARGET_STATE_NOTIFY, notify);
}

HWND NotifyMonitor(const PrinterIdentity& identity, bool close)
{
    HWND monitor = FindRunningWindow(identity.printer, identity.port, INSTANCE_KIND_MONITOR);
    if (!monitor)
        return nullptr;
    if (close)
        PostMessageA(monitor, WM_CLOSE, 0, 0);
    else
        PostMessageA(monitor, WM_REFRESHICON, 0, 0);
    return monitor;
}

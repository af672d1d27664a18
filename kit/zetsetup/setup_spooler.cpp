#include "setup_spooler.h"

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include "printer.h"
#include "scoped.h"
#include "setup_files.h"

namespace {

const char kZetSetting[] = "ZETSetting";

// Wine's PostScript driver, which Wine's spooler accepts for any driver name.
const char kWineDriverFile[] = "wineps.drv";
const char kWineDataFile[] = "generic.ppd";

typedef HRESULT(WINAPI* InstallFromPackageProc)(LPCSTR server, LPCSTR infPath, LPCSTR driverName,
                                                 LPCSTR environment, DWORD flags);

bool OpenForAdmin(const std::string& printer, ScopedPrinter* handle)
{
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    return OpenPrinterA(const_cast<char*>(printer.c_str()), handle->Put(), &defaults) && handle->IsOpen();
}

bool AddWineDriver(const std::string& driver)
{
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof(info));
    info.cVersion = 3;
    info.pName = const_cast<char*>(driver.c_str());
    info.pDriverPath = const_cast<char*>(kWineDriverFile);
    info.pDataFile = const_cast<char*>(kWineDataFile);
    info.pConfigFile = const_cast<char*>(kWineDriverFile);
    return AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) != FALSE;
}

// Windows Vista and later install an inbox driver from the driver store by its name.
bool InstallDriverFromStore(const std::string& driver)
{
    HMODULE spooler = GetModuleHandleA("winspool.drv");
    auto install = spooler ? reinterpret_cast<InstallFromPackageProc>(
                                 reinterpret_cast<void*>(GetProcAddress(spooler, "InstallPrinterDriverFromPackageA")))
                           : nullptr;
    return install && SUCCEEDED(install(nullptr, nullptr, driver.c_str(), nullptr, 0));
}

std::string Text(const char* text)
{
    return text ? text : "";
}

SpoolerPrinter FromInfo(const PRINTER_INFO_2A& info)
{
    return {Text(info.pPrinterName), Text(info.pPortName), Text(info.pDriverName)};
}

} // namespace

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool SpoolerDriverExists(const std::string& driver)
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    if (needed == 0)
        return false;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count))
        return false;
    const DRIVER_INFO_1A* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (drivers[i].pName && SameText(drivers[i].pName, driver))
            return true;
    }
    return false;
}

bool EnsureSpoolerDriver(const std::string& driver, bool* added, std::string* error)
{
    *added = false;
    if (SpoolerDriverExists(driver))
        return true;
    bool ok = RunningUnderWine() ? AddWineDriver(driver) : InstallDriverFromStore(driver);
    if (!ok || !SpoolerDriverExists(driver)) {
        *error = "the printer driver \"" + driver + "\" is not installed and cannot be added (error " +
                 std::to_string(GetLastError()) +
                 "); install it first, or name a driver that ships with Windows, for example --driver \"Generic / "
                 "Text Only\"";
        return false;
    }
    *added = true;
    return true;
}

bool DeleteSpoolerDriver(const std::string& driver)
{
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driver.c_str()));
    return !SpoolerDriverExists(driver);
}

void DeleteOtherKindDriver(const std::string& driver)
{
    char x86[] = "Windows NT x86", x64[] = "Windows x64";
    DeletePrinterDriverA(nullptr, sizeof(void*) == 8 ? x86 : x64, const_cast<char*>(driver.c_str()));
}

bool PrinterExists(const std::string& printer)
{
    ScopedPrinter handle;
    return OV_OpenPrinter(printer.c_str(), handle.Put(), nullptr) && handle.IsOpen();
}

bool AddSpoolerPrinter(const std::string& printer, const std::string& port, const std::string& driver,
                       std::string* error)
{
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = const_cast<char*>(printer.c_str());
    info.pPortName = const_cast<char*>(port.c_str());
    info.pDriverName = const_cast<char*>(driver.c_str());
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!handle) {
        *error = "cannot add the printer \"" + printer + "\" on port " + port + " (error " +
                 std::to_string(GetLastError()) + ")";
        return false;
    }
    ClosePrinter(handle);
    return true;
}

bool DeleteSpoolerPrinter(const std::string& printer)
{
    ScopedPrinter handle;
    if (!OpenForAdmin(printer, &handle))
        return !PrinterExists(printer);
    DeletePrinter(handle.Get());
    handle.Close();
    return !PrinterExists(printer);
}

std::vector<SpoolerPrinter> ListPrinters()
{
    std::vector<SpoolerPrinter> printers;
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0)
        return printers;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count))
        return printers;
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        printers.push_back(FromInfo(info[i]));
    }
    return printers;
}

bool GetPrinterInfo(const std::string& printer, SpoolerPrinter* out)
{
    ScopedPrinter handle;
    if (!OV_OpenPrinter(printer.c_str(), handle.Put(), nullptr) || !handle.IsOpen())
        return false;
    DWORD needed = 0;
    GetPrinterA(handle.Get(), 2, nullptr, 0, &needed);
    if (needed == 0)
        return false;
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterA(handle.Get(), 2, buffer.data(), needed, &needed))
        return false;
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    *out = FromInfo(*info);
    return true;
}

bool SetZetSetting(const std::string& printer, unsigned long value)
{
    ScopedPrinter handle;
    if (!OpenForAdmin(printer, &handle))
        return false;
    DWORD data = value;
    return SetPrinterDataA(handle.Get(), const_cast<char*>(kZetSetting), REG_DWORD, reinterpret_cast<BYTE*>(&data),
                           sizeof(data)) == ERROR_SUCCESS;
}

bool IsMonitoringOff(const std::string& printer)
{
    ScopedPrinter handle;
    if (!OV_OpenPrinter(printer.c_str(), handle.Put(), nullptr) || !handle.IsOpen())
        return false;
    DWORD value = 0, needed = 0;
    return GetPrinterDataA(handle.Get(), const_cast<char*>(kZetSetting), nullptr, reinterpret_cast<BYTE*>(&value),
                           sizeof(value), &needed) == ERROR_SUCCESS &&
           value == 1;
}

// The print spooler as the installer uses it: drivers, printers and the monitoring switch.
#pragma once

#include <string>
#include <vector>

// true when the program runs under Wine.
bool RunningUnderWine();

bool SpoolerDriverExists(const std::string& driver);
// Makes sure a spooler driver of that name exists. Under Wine a missing driver is added
// with Wine's PostScript driver files; on Windows a driver that ships with Windows is
// installed from the driver store by its name. *added tells whether this call added it.
// false with a message when no such driver can be had.
bool EnsureSpoolerDriver(const std::string& driver, bool* added, std::string* error);
// Deletes the spooler driver; true when it is gone.
bool DeleteSpoolerDriver(const std::string& driver);
// Deletes the driver of that name that an installer of the other kind added for its own
// processor (the spooler keeps drivers per processor).
void DeleteOtherKindDriver(const std::string& driver);

bool PrinterExists(const std::string& printer);
// Adds a printer on the port with the driver (print processor WinPrint, data type RAW).
bool AddSpoolerPrinter(const std::string& printer, const std::string& port, const std::string& driver,
                       std::string* error);
// Deletes the printer; true when it is gone.
bool DeleteSpoolerPrinter(const std::string& printer);

struct SpoolerPrinter {
    std::string name, port, driver;
};
// The local printers with their ports and drivers.
std::vector<SpoolerPrinter> ListPrinters();
// The printer's port and driver; false when it does not open.
bool GetPrinterInfo(const std::string& printer, SpoolerPrinter* info);

// The monitoring switch: printer data ZETSetting (1 = the monitor must not run).
bool SetZetSetting(const std::string& printer, unsigned long value);
// true when ZETSetting reads as 1.
bool IsMonitoringOff(const std::string& printer);

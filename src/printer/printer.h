// Printer access: the one way the program opens a printer, and small spooler queries.
#pragma once

#include <windows.h>
#include <winspool.h>

// Opens a printer by its ANSI name; on the NT family, when the ANSI open gives no handle,
// retries with the wide-character open (only the desired access of `defaults` is carried
// over). Returns the result of the last attempt made; the caller closes *outHandle with
// ClosePrinter when it is non-null.
BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults);

// 1 when the platform is of the NT family (GetVersionExA reports VER_PLATFORM_WIN32_NT).
int IsWinNT();

// 1 when the spooler lists a port of that name (letter case ignored), else 0 (also for a
// null or empty name, or when the ports cannot be listed).
int PortExists(const char* portName);

// The level-2 information of an open printer, read in two calls (the size, then the data)
// into a zero-filled block that the object owns and frees.
class PrinterInfo2 {
public:
    PrinterInfo2() = default;
    ~PrinterInfo2();
    PrinterInfo2(const PrinterInfo2&) = delete;
    PrinterInfo2& operator=(const PrinterInfo2&) = delete;

    // True when the information was read. With `strictSize`, the size query must fail
    // with ERROR_INSUFFICIENT_BUFFER, as a spooler that works does.
    bool Read(HANDLE printer, bool strictSize = false);
    // The information, or null before a successful Read.
    const PRINTER_INFO_2A* Get() const { return m_info; }

private:
    BYTE* m_block = nullptr;
    const PRINTER_INFO_2A* m_info = nullptr;
};

class CPrinterStatusReader;

// Tells whether the program must not serve a printer. Callers make a local instance around
// each call; the class keeps no state.
class CCtrlSetReg {
public:
    virtual ~CCtrlSetReg();
    // 1 when the printer cannot be opened or its printer data "ZETSetting" reads as 1
    // (a 4-byte buffer preset to 0, the type ignored: a 1-byte 0x01 reads as 1, a value
    // wider than 4 bytes fails the query); 0 otherwise, and 0 at once for a null or empty
    // name. Every call with a name writes its trace lines. With a reader, a printer that
    // may be served also has its state read on the same handle.
    int IsZetInvalid(const char* printerName, CPrinterStatusReader* reader = nullptr);
};

// Copies the driver name of the printer's level-2 information into outDriverName (a
// 260-byte buffer) and returns 1. Returns 0 without writing when outDriverName is null;
// on every other failure (empty name, printer missing, information unreadable, driver
// name missing or longer than the buffer holds) sets outDriverName to "" and returns 0.
int GetPrnDriverName(const char* printerName, char* outDriverName);

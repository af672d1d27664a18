// Printer access: the one way the program opens a printer, and small spooler queries.
#pragma once

#include <windows.h>
#include <winspool.h>

// The spooler's open by ANSI name that OV_OpenPrinter calls: OpenPrinterA while this is
// null. A benchmark's build of the monitor sets it to stand in for printers on a print
// server that takes seconds to answer.
typedef BOOL(WINAPI* OpenPrinterAFn)(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
extern OpenPrinterAFn g_pfnOpenPrinterA;

// Opens a printer by its ANSI name; on the NT family, when the ANSI open gives no handle,
// retries with the wide-character open (only the desired access of `defaults` is carried
// over). Returns the result of the last attempt made; the caller closes *outHandle with
// ClosePrinter when it is non-null.
BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults);

// 1 when the platform is of the NT family (GetVersionExA reports VER_PLATFORM_WIN32_NT).
int IsWinNT();

// What the spooler's list of ports tells of a port.
constexpr int PORT_GONE = 0;    // a complete listing lacks it (or the name is null or empty)
constexpr int PORT_LISTED = 1;  // listed, letter case ignored
constexpr int PORT_UNKNOWN = 2; // the ports could not be listed whole: nothing is known

// The spooler's port listing (EnumPortsA); tests stand in for a spooler that fails.
typedef BOOL(WINAPI* EnumPortsFn)(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                  LPDWORD returned);

// Looks the port up in the spooler's level-1 port listing. A listing whose size grew
// between the size query and the read (a port was added) is read again, a few times.
int PortExists(const char* portName, EnumPortsFn enumPorts = EnumPortsA);

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

// 1 when printerName is what the ANSI code page makes of the name of a printer that the
// spooler lists but that code page cannot hold (letter case ignored): the name stands for
// that printer, though no ANSI call can reach it. 0 otherwise, also for a null or empty name
// or when the printers cannot be listed.
int IsUnfitPrinterImage(const char* printerName);

// Copies the driver name of the printer's level-2 information into outDriverName (a
// 260-byte buffer) and returns 1. Returns 0 without writing when outDriverName is null;
// on every other failure (empty name, printer missing, information unreadable, driver
// name missing or longer than the buffer holds) sets outDriverName to "" and returns 0.
int GetPrnDriverName(const char* printerName, char* outDriverName);

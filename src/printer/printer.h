// Printer access: the one way the program opens a printer, and small spooler queries.
#pragma once

#include <windows.h>
#include <winspool.h>

// The spooler calls that the program makes, in one table. A test, and the slow-server
// build of the monitor, put another table in place to stand in for a print server that
// fails or takes seconds to answer (per call and per printer); every line around the calls
// stays the same.
struct SpoolerCalls {
    BOOL(WINAPI* openA)(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
    BOOL(WINAPI* openW)(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
    BOOL(WINAPI* close)(HANDLE printer);
    BOOL(WINAPI* getPrinter)(HANDLE printer, DWORD level, LPBYTE data, DWORD size, LPDWORD needed);
    DWORD(WINAPI* getPrinterData)(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size,
                                  LPDWORD needed);
    BOOL(WINAPI* enumPorts)(LPSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                            LPDWORD returned);
    HANDLE(WINAPI* findFirstChange)(HANDLE printer, DWORD filter, DWORD options, LPVOID notifyOptions);
    BOOL(WINAPI* findNextChange)(HANDLE change, PDWORD cause, LPVOID notifyOptions, LPVOID* notifyInfo);
    BOOL(WINAPI* findCloseChange)(HANDLE change);
    BOOL(WINAPI* freeNotifyInfo)(PPRINTER_NOTIFY_INFO info);
};
// The table in use.
const SpoolerCalls& Spooler();
// The spooler's own calls.
const SpoolerCalls& RealSpooler();
// Puts `calls` in place (null: the spooler's own) and returns the table it replaced.
const SpoolerCalls* SetSpoolerCalls(const SpoolerCalls* calls);

// Spooler printer handle, closed through the table above.
class ScopedPrinter {
public:
    ScopedPrinter() = default;
    ~ScopedPrinter() { Close(); }
    ScopedPrinter(const ScopedPrinter&) = delete;
    ScopedPrinter& operator=(const ScopedPrinter&) = delete;

    HANDLE Get() const { return m_handle; }
    HANDLE* Put() { Close(); return &m_handle; }
    bool IsOpen() const { return m_handle != nullptr; }
    // Hands the handle over to the caller, who closes it.
    HANDLE Detach() { HANDLE h = m_handle; m_handle = nullptr; return h; }
    void Close();

private:
    HANDLE m_handle = nullptr;
};

// Opens a printer by its ANSI name; on the NT family, when the ANSI open gives no handle,
// retries with the wide-character open (only the desired access of `defaults` is carried
// over). Returns the result of the last attempt made, with the last error of that open;
// the caller closes *outHandle with ClosePrinter when it is non-null.
BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults);

// What the spooler tells of a printer, or of a port. Only its explicit answer counts as
// gone: a printer that it does not know (ERROR_INVALID_PRINTER_NAME), a port missing from
// a complete listing. Any other failure (a print server that does not answer, access
// denied, no resources, a time-out) tells nothing.
constexpr int PRESENCE_GONE = 0;
constexpr int PRESENCE_HERE = 1;
constexpr int PRESENCE_UNKNOWN = 2;

// Opens the printer with OV_OpenPrinter (no defaults) into *printer: PRESENCE_HERE with
// the handle, else PRESENCE_GONE or PRESENCE_UNKNOWN with the open's error in *error
// (optional; 0 when here). A null or empty name is gone (it names no printer).
int OpenPrinterPresence(const char* printerName, ScopedPrinter* printer, DWORD* error = nullptr);

// 1 when the platform is of the NT family (GetVersionExA reports VER_PLATFORM_WIN32_NT).
int IsWinNT();

// Looks the port up in the spooler's level-1 port listing (letter case ignored):
// PRESENCE_HERE when listed; PRESENCE_GONE when a complete listing lacks it (or the name is
// null or empty); PRESENCE_UNKNOWN when the ports could not be listed whole. A listing
// whose size grew between the size query and the read (a port was added) is read again, a
// few times.
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

constexpr int ZET_UNREACHABLE = 2;

// Tells whether the program must not serve a printer. Callers make a local instance around
// each call; the class keeps no state.
class CCtrlSetReg {
public:
    virtual ~CCtrlSetReg();
    // 1 when the spooler says that the printer does not exist (PRESENCE_GONE) or its
    // printer data "ZETSetting" reads as 1 (a 4-byte buffer preset to 0, the type ignored:
    // a 1-byte 0x01 reads as 1, a value wider than 4 bytes fails the query); ZET_UNREACHABLE
    // when the printer cannot be opened for another reason (nothing is known of it now); 0
    // otherwise, and 0 at once for a null or empty name. Every call with a name writes its
    // trace lines. With a reader, a printer that may be served also has its state read on
    // the same handle.
    // *presence and *error (optional) receive what the open told (PRESENCE_*, its error).
    int IsZetInvalid(const char* printerName, CPrinterStatusReader* reader = nullptr, int* presence = nullptr,
                     DWORD* error = nullptr);
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

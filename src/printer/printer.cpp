#include "printer.h"

#include "printer_status.h"
#include "scoped.h"

#include <stdlib.h>

#include <atomic>
#include <string.h>

#include "strutil.h"
#include "trace.h"

int IsWinNT()
{
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info); // 148 bytes
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

namespace {

// Reads of a spooler's answer (a port listing, a printer's information) whose size keeps
// growing between the size query and the read, before the reader gives up.
constexpr int kGrowingReadAttempts = 3;

const SpoolerCalls kRealSpooler = {
    OpenPrinterA,
    OpenPrinterW,
    ClosePrinter,
    GetPrinterA,
    GetPrinterDataA,
    EnumPortsA,
    FindFirstPrinterChangeNotification,
    FindNextPrinterChangeNotification,
    FindClosePrinterChangeNotification,
    FreePrinterNotifyInfo,
};

// Read by every thread that calls the spooler.
std::atomic<const SpoolerCalls*> g_spooler{&kRealSpooler};

} // namespace

const SpoolerCalls& Spooler()
{
    return *g_spooler.load();
}

const SpoolerCalls& RealSpooler()
{
    return kRealSpooler;
}

const SpoolerCalls* SetSpoolerCalls(const SpoolerCalls* calls)
{
    return g_spooler.exchange(calls ? calls : &kRealSpooler);
}

void ScopedPrinter::Close()
{
    if (m_handle) {
        Spooler().close(m_handle);
        m_handle = nullptr;
    }
}

BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults)
{
    BOOL result = Spooler().openA(const_cast<char*>(printerName), outHandle, defaults);
    if (result && outHandle && *outHandle)
        return result;
    // What the ANSI open answered stands unless the wide open answers instead.
    DWORD error = GetLastError();
    if (!printerName || !outHandle || !IsWinNT())
        return result;

    // Room for the whole name, terminator included, as wide characters.
    size_t chars = strlen(printerName) + 1;
    WCHAR* wide = static_cast<WCHAR*>(calloc(chars, sizeof(WCHAR)));
    if (!wide) {
        SetLastError(error);
        return result;
    }
    SetLastError(ERROR_SUCCESS);
    // No flag but MB_ERR_INVALID_CHARS (precomposed characters are the default): UTF-8, a
    // system code page too, refuses every other flag.
    int converted = g_pfnMultiByteToWide(CP_ACP, MB_ERR_INVALID_CHARS, printerName, -1, wide, static_cast<int>(chars));
    if (converted != 0 && GetLastError() != ERROR_NO_UNICODE_TRANSLATION) {
        PRINTER_DEFAULTSW wideDefaults;
        memset(&wideDefaults, 0, sizeof(wideDefaults));
        if (defaults)
            wideDefaults.DesiredAccess = defaults->DesiredAccess;
        result = Spooler().openW(wide, outHandle, defaults ? &wideDefaults : nullptr);
        error = GetLastError();
    }
    free(wide);
    SetLastError(error);
    return result;
}

int OpenPrinterPresence(const char* printerName, ScopedPrinter* printer, DWORD* error)
{
    if (error)
        *error = 0;
    if (!printerName || !*printerName) {
        if (error)
            *error = ERROR_INVALID_PRINTER_NAME;
        return PRESENCE_GONE;
    }
    SetLastError(ERROR_SUCCESS);
    BOOL opened = OV_OpenPrinter(printerName, printer->Put(), nullptr);
    DWORD code = GetLastError();
    if (opened && printer->IsOpen())
        return PRESENCE_HERE;
    printer->Close();
    if (error)
        *error = code;
    return code == ERROR_INVALID_PRINTER_NAME ? PRESENCE_GONE : PRESENCE_UNKNOWN;
}

CCtrlSetReg::~CCtrlSetReg() = default;

int CCtrlSetReg::IsZetInvalid(const char* printerName, CPrinterStatusReader* reader, int* outPresence,
                              DWORD* outError)
{
    if (outPresence)
        *outPresence = PRESENCE_HERE;
    if (outError)
        *outError = 0;
    if (!printerName || !*printerName)
        return 0;
    TraceMsg("CCtrlSetReg::IsZetInvalid : start");
    TraceStr("PrinterName", printerName);

    ScopedPrinter handle;
    DWORD error = 0;
    TraceMsg("Enter : OV_OpenPrinter");
    int presence = OpenPrinterPresence(printerName, &handle, &error);
    TraceMsg("Exit : OV_OpenPrinter");
    if (outPresence)
        *outPresence = presence;
    if (outError)
        *outError = error;

    // A printer that the spooler does not know must not be served; one that cannot be
    // reached now is neither served nor given up.
    int result = presence == PRESENCE_GONE ? 1 : ZET_UNREACHABLE;
    if (presence == PRESENCE_UNKNOWN)
        TraceInt("CCtrlSetReg::IsZetInvalid : not reachable", static_cast<long>(error));
    if (handle.IsOpen()) {
        DWORD value = 0;
        DWORD needed = 0;
        TraceMsg("Enter : GetPrinterData");
        DWORD rc = Spooler().getPrinterData(handle.Get(), const_cast<char*>("ZETSetting"), nullptr,
                                            reinterpret_cast<BYTE*>(&value), sizeof(value), &needed);
        TraceMsg("Exit : GetPrinterData");
        TraceInt("result", static_cast<long>(rc));
        TraceInt("value", static_cast<long>(value));
        result = (rc == ERROR_SUCCESS && value == 1) ? 1 : 0;
        if (reader && result == 0)
            reader->Read(handle.Get());

        TraceMsg("Enter : ClosePrinter");
        handle.Close();
        TraceMsg("Exit : ClosePrinter");
    }
    TraceMsg("CCtrlSetReg::IsZetInvalid : exit");
    return result;
}

namespace {


// PRESENCE_HERE or PRESENCE_GONE for a complete listing of `count` ports.
int FindPort(const BYTE* block, DWORD count, const char* portName)
{
    const PORT_INFO_1A* ports = reinterpret_cast<const PORT_INFO_1A*>(block);
    for (DWORD i = 0; i < count; ++i) {
        if (ports[i].pName && SameName(ports[i].pName, portName))
            return PRESENCE_HERE;
    }
    return PRESENCE_GONE;
}

} // namespace

int PortExists(const char* portName)
{
    auto enumPorts = Spooler().enumPorts;
    if (!portName || !*portName)
        return PRESENCE_GONE;
    DWORD needed = 0;
    DWORD count = 0;
    SetLastError(ERROR_SUCCESS);
    if (enumPorts(nullptr, 1, nullptr, 0, &needed, &count))
        return count == 0 ? PRESENCE_GONE : PRESENCE_UNKNOWN; // no ports at all
    DWORD error = GetLastError();
    for (int attempt = 0; attempt < kGrowingReadAttempts; ++attempt) {
        // Only "the buffer is too small" tells the size; any other failure tells nothing.
        if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return PRESENCE_UNKNOWN;
        BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
        if (!block)
            return PRESENCE_UNKNOWN;
        DWORD size = needed;
        count = 0;
        SetLastError(ERROR_SUCCESS);
        BOOL listed = enumPorts(nullptr, 1, block, size, &needed, &count);
        error = GetLastError();
        int result = listed ? FindPort(block, count, portName) : PRESENCE_UNKNOWN;
        HeapFree(GetProcessHeap(), 0, block);
        if (listed)
            return result;
    }
    return PRESENCE_UNKNOWN;
}

int IsUnfitPrinterImage(const char* printerName)
{
    if (!printerName || !*printerName)
        return 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0)
        return 0;
    BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (!block)
        return 0;
    int found = 0;
    if (EnumPrintersW(flags, nullptr, 4, block, needed, &needed, &count)) {
        const PRINTER_INFO_4W* printers = reinterpret_cast<const PRINTER_INFO_4W*>(block);
        for (DWORD i = 0; i < count && !found; ++i) {
            const wchar_t* wide = printers[i].pPrinterName;
            if (!wide || WideFitsCodePage(wide))
                continue;
            // The name as an ANSI call reports it: default and best-fit characters included.
            char image[ZT_TEXT];
            found = WideCharToMultiByte(CP_ACP, 0, wide, -1, image, sizeof(image), nullptr, nullptr) > 0 &&
                    SameName(image, printerName);
        }
    }
    HeapFree(GetProcessHeap(), 0, block);
    return found;
}

int GetPrnDriverName(const char* printerName, char* outDriverName)
{
    if (!outDriverName)
        return 0;
    outDriverName[0] = '\0';
    if (!printerName || !*printerName)
        return 0;

    // The spooler's open takes a modifiable name.
    char* nameCopy = strdup(printerName);
    if (!nameCopy)
        return 0;

    int result = 0;
    {
        ScopedPrinter printer;
        PrinterInfo2 info;
        if (OV_OpenPrinter(nameCopy, printer.Put(), nullptr) && printer.IsOpen() && info.Read(printer.Get())) {
            const char* driver = info.Get()->pDriverName;
            // A name cut to the buffer would name another driver: only a whole one counts.
            if (driver && SafeCopy(outDriverName, ZT_TEXT, driver))
                result = 1;
        }
    }
    if (!result)
        outDriverName[0] = '\0';
    free(nameCopy);
    return result;
}

PrinterInfo2::~PrinterInfo2()
{
    if (m_block)
        HeapFree(GetProcessHeap(), 0, m_block);
}

bool PrinterInfo2::Read(HANDLE printer, bool strictSize)
{
    if (m_block)
        HeapFree(GetProcessHeap(), 0, m_block);
    m_block = nullptr;
    m_info = nullptr;
    DWORD needed = 0;
    SetLastError(ERROR_SUCCESS);
    BOOL sized = Spooler().getPrinter(printer, 2, nullptr, 0, &needed);
    if (strictSize && (sized || GetLastError() != ERROR_INSUFFICIENT_BUFFER))
        return false;
    // The information can grow between the size query and the read (a comment, a share
    // name or the port changed meanwhile): the read then tells the new size, and is made
    // again, as often as a port listing's.
    for (int attempt = 0; attempt < kGrowingReadAttempts; ++attempt) {
        if (needed < sizeof(PRINTER_INFO_2A))
            return false;
        m_block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
        if (!m_block)
            return false;
        const DWORD size = needed;
        SetLastError(ERROR_SUCCESS);
        if (Spooler().getPrinter(printer, 2, m_block, size, &needed)) {
            m_info = reinterpret_cast<const PRINTER_INFO_2A*>(m_block);
            return true;
        }
        const bool grew = GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > size;
        HeapFree(GetProcessHeap(), 0, m_block);
        m_block = nullptr;
        if (!grew)
            return false;
    }
    return false;
}

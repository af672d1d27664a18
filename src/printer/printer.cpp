#include "printer.h"

#include "printer_status.h"
#include "scoped.h"

#include <stdlib.h>
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

OpenPrinterAFn g_pfnOpenPrinterA = nullptr;

BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults)
{
    OpenPrinterAFn openA = g_pfnOpenPrinterA ? g_pfnOpenPrinterA : OpenPrinterA;
    BOOL result = openA(const_cast<char*>(printerName), outHandle, defaults);
    if (result && outHandle && *outHandle)
        return result;
    if (!printerName || !outHandle || !IsWinNT())
        return result;

    // Room for the whole name, terminator included, as wide characters.
    size_t chars = strlen(printerName) + 1;
    WCHAR* wide = static_cast<WCHAR*>(calloc(chars, sizeof(WCHAR)));
    if (!wide)
        return result;
    SetLastError(ERROR_SUCCESS);
    // No flag but MB_ERR_INVALID_CHARS (precomposed characters are the default): UTF-8, a
    // system code page too, refuses every other flag.
    int converted = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, printerName, -1, wide, static_cast<int>(chars));
    if (converted != 0 && GetLastError() != ERROR_NO_UNICODE_TRANSLATION) {
        PRINTER_DEFAULTSW wideDefaults;
        memset(&wideDefaults, 0, sizeof(wideDefaults));
        if (defaults)
            wideDefaults.DesiredAccess = defaults->DesiredAccess;
        result = OpenPrinterW(wide, outHandle, defaults ? &wideDefaults : nullptr);
    }
    free(wide);
    return result;
}

CCtrlSetReg::~CCtrlSetReg() = default;

int CCtrlSetReg::IsZetInvalid(const char* printerName, CPrinterStatusReader* reader)
{
    if (!printerName || !*printerName)
        return 0;
    TraceMsg("CCtrlSetReg::IsZetInvalid : start");
    TraceStr("PrinterName", printerName);

    HANDLE handle = nullptr;
    TraceMsg("Enter : OV_OpenPrinter");
    OV_OpenPrinter(printerName, &handle, nullptr);
    TraceMsg("Exit : OV_OpenPrinter");

    int result = 1; // a printer that cannot be opened must not be served
    if (handle) {
        DWORD value = 0;
        DWORD needed = 0;
        TraceMsg("Enter : GetPrinterData");
        DWORD rc = GetPrinterDataA(handle, const_cast<char*>("ZETSetting"), nullptr,
                                   reinterpret_cast<BYTE*>(&value), sizeof(value), &needed);
        TraceMsg("Exit : GetPrinterData");
        TraceInt("result", static_cast<long>(rc));
        TraceInt("value", static_cast<long>(value));
        result = (rc == ERROR_SUCCESS && value == 1) ? 1 : 0;
        if (reader && result == 0)
            reader->Read(handle);

        TraceMsg("Enter : ClosePrinter");
        ClosePrinter(handle);
        TraceMsg("Exit : ClosePrinter");
    }
    TraceMsg("CCtrlSetReg::IsZetInvalid : exit");
    return result;
}

namespace {

// Reads of a port listing whose size keeps growing before the lookup gives up.
constexpr int kPortListAttempts = 3;

// PORT_LISTED or PORT_GONE for a complete listing of `count` ports.
int FindPort(const BYTE* block, DWORD count, const char* portName)
{
    const PORT_INFO_1A* ports = reinterpret_cast<const PORT_INFO_1A*>(block);
    for (DWORD i = 0; i < count; ++i) {
        if (ports[i].pName && SameName(ports[i].pName, portName))
            return PORT_LISTED;
    }
    return PORT_GONE;
}

} // namespace

int PortExists(const char* portName, EnumPortsFn enumPorts)
{
    if (!portName || !*portName)
        return PORT_GONE;
    DWORD needed = 0;
    DWORD count = 0;
    SetLastError(ERROR_SUCCESS);
    if (enumPorts(nullptr, 1, nullptr, 0, &needed, &count))
        return count == 0 ? PORT_GONE : PORT_UNKNOWN; // no ports at all
    DWORD error = GetLastError();
    for (int attempt = 0; attempt < kPortListAttempts; ++attempt) {
        // Only "the buffer is too small" tells the size; any other failure tells nothing.
        if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return PORT_UNKNOWN;
        BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
        if (!block)
            return PORT_UNKNOWN;
        DWORD size = needed;
        count = 0;
        SetLastError(ERROR_SUCCESS);
        BOOL listed = enumPorts(nullptr, 1, block, size, &needed, &count);
        error = GetLastError();
        int result = listed ? FindPort(block, count, portName) : PORT_UNKNOWN;
        HeapFree(GetProcessHeap(), 0, block);
        if (listed)
            return result;
    }
    return PORT_UNKNOWN;
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
    BOOL sized = GetPrinterA(printer, 2, nullptr, 0, &needed);
    if (strictSize && (sized || GetLastError() != ERROR_INSUFFICIENT_BUFFER))
        return false;
    if (needed < sizeof(PRINTER_INFO_2A))
        return false;
    m_block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (!m_block)
        return false;
    if (!GetPrinterA(printer, 2, m_block, needed, &needed))
        return false;
    m_info = reinterpret_cast<const PRINTER_INFO_2A*>(m_block);
    return true;
}

#include "printer_state.h"

#include <winspool.h>

#include <string.h>

#include <vector>

#include "cmdinfo.h"
#include "printer.h"
#include "printer_status.h"
#include "scoped.h"

namespace {

// Appends ", " (unless `out` is empty) and the word.
int AppendWord(char* out, size_t size, const char* word)
{
    int whole = 1;
    if (out[0])
        whole &= SafeAppend(out, size, ", ");
    whole &= SafeAppend(out, size, word);
    return whole;
}

} // namespace

void IdentityFromCmdInfo(const CCmdInfo& info, PrinterIdentity* out)
{
    SafeCopy(out->printer, info.m_szPrinterName);
    SafeCopy(out->port, info.m_szPortName);
    SafeCopy(out->driver, info.m_szDriverName);
    SafeCopy(out->model, info.m_szModelID);
}

int IdentityUsesPort(const PrinterIdentity& identity)
{
    return (!identity.printer[0] && identity.port[0]) ? 1 : 0;
}

const char* IdentityKey(const PrinterIdentity& identity)
{
    return IdentityUsesPort(identity) ? identity.port : identity.printer;
}

void FormatKitTitle(const char* prefix, const PrinterIdentity& identity, char* out, size_t size)
{
    SafeCopy(out, size, prefix);
    SafeAppend(out, size, IdentityKey(identity));
}

DWORD QueryPrinterState(const char* printerName, PrinterState* out)
{
    memset(out, 0, sizeof(*out));
    if (!printerName || !*printerName)
        return ERROR_INVALID_PRINTER_NAME;
    ScopedPrinter printer;
    if (!OV_OpenPrinter(printerName, printer.Put(), nullptr) || !printer.IsOpen()) {
        DWORD error = GetLastError();
        return error ? error : ERROR_INVALID_PRINTER_NAME;
    }
    DWORD needed = 0;
    if (GetPrinterA(printer.Get(), 2, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed < sizeof(PRINTER_INFO_2A))
        return ERROR_INVALID_DATA;
    std::vector<BYTE> block(needed);
    if (!GetPrinterA(printer.Get(), 2, block.data(), needed, &needed)) {
        DWORD error = GetLastError();
        return error ? error : ERROR_INVALID_DATA;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(block.data());
    // A name that does not fit is left out rather than shown cut.
    if (!SafeCopy(out->driver, info->pDriverName))
        out->driver[0] = '\0';
    if (!SafeCopy(out->port, info->pPortName))
        out->port[0] = '\0';
    out->status = info->Status;
    // The status bits as the monitor reads them: level 6 is where a spooler that keeps
    // level 2's status at 0 reports them.
    PRINTER_INFO_6 level6 = {0};
    if (GetPrinterA(printer.Get(), 6, reinterpret_cast<BYTE*>(&level6), sizeof(level6), &needed))
        out->status = level6.dwStatus;
    out->attributes = info->Attributes;
    out->jobs = info->cJobs;
    return ERROR_SUCCESS;
}

int PrinterStatusText(DWORD status, DWORD attributes, char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = '\0';
    int whole = 1;
    DWORD known = 0;
    size_t count = 0;
    const PrinterStatusBit* bits = PrinterStatusBits(&count);
    for (size_t i = 0; i < count; ++i) {
        known |= bits[i].flag;
        if (status & bits[i].flag)
            whole &= AppendWord(out, size, bits[i].text);
    }
    if ((attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) && !(status & PRINTER_STATUS_OFFLINE))
        whole &= AppendWord(out, size, "Offline");
    if (status & ~known) {
        char other[32];
        SafeFormat(other, sizeof(other), "Other (0x%08lX)", static_cast<unsigned long>(status & ~known));
        whole &= AppendWord(out, size, other);
    }
    if (!out[0])
        whole &= SafeCopy(out, size, "Ready");
    return whole;
}

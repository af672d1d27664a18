#include "printer_state.h"

#include <winspool.h>

#include <string.h>

#include <vector>

#include "cmdinfo.h"
#include "printer.h"
#include "scoped.h"

namespace {

struct StatusWord {
    DWORD flag;
    const char* word;
};

// Ordered by flag value.
const StatusWord kStatusWords[] = {
    {PRINTER_STATUS_PAUSED, "Paused"},
    {PRINTER_STATUS_ERROR, "Error"},
    {PRINTER_STATUS_PENDING_DELETION, "Deleting"},
    {PRINTER_STATUS_PAPER_JAM, "Paper jam"},
    {PRINTER_STATUS_PAPER_OUT, "Out of paper"},
    {PRINTER_STATUS_MANUAL_FEED, "Manual feed"},
    {PRINTER_STATUS_PAPER_PROBLEM, "Paper problem"},
    {PRINTER_STATUS_OFFLINE, "Offline"},
    {PRINTER_STATUS_IO_ACTIVE, "Communicating"},
    {PRINTER_STATUS_BUSY, "Busy"},
    {PRINTER_STATUS_PRINTING, "Printing"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "Output bin full"},
    {PRINTER_STATUS_NOT_AVAILABLE, "Not available"},
    {PRINTER_STATUS_WAITING, "Waiting"},
    {PRINTER_STATUS_PROCESSING, "Processing"},
    {PRINTER_STATUS_INITIALIZING, "Initializing"},
    {PRINTER_STATUS_WARMING_UP, "Warming up"},
    {PRINTER_STATUS_TONER_LOW, "Toner low"},
    {PRINTER_STATUS_NO_TONER, "No toner"},
    {PRINTER_STATUS_PAGE_PUNT, "Page too complex"},
    {PRINTER_STATUS_USER_INTERVENTION, "User intervention required"},
    {PRINTER_STATUS_OUT_OF_MEMORY, "Out of memory"},
    {PRINTER_STATUS_DOOR_OPEN, "Door open"},
    {PRINTER_STATUS_SERVER_UNKNOWN, "Server unknown"},
    {PRINTER_STATUS_POWER_SAVE, "Power save"},
};

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
    for (const StatusWord& entry : kStatusWords) {
        known |= entry.flag;
        if (status & entry.flag)
            whole &= AppendWord(out, size, entry.word);
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

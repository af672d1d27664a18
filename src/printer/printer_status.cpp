#include "printer_status.h"

#include <winspool.h>

#include "printer.h"
#include "strutil.h"

#include <string.h>

namespace {

const PrinterStatusBit kStatusBits[] = {
    {PRINTER_STATUS_PAUSED, PRINTER_PAUSED, "Paused"},
    {PRINTER_STATUS_ERROR, PRINTER_ERROR, "Error"},
    {PRINTER_STATUS_PENDING_DELETION, PRINTER_READY, "Deleting"},
    {PRINTER_STATUS_PAPER_JAM, PRINTER_ERROR, "Paper jam"},
    {PRINTER_STATUS_PAPER_OUT, PRINTER_ERROR, "Out of paper"},
    {PRINTER_STATUS_MANUAL_FEED, PRINTER_WARNING, "Manual feed"},
    {PRINTER_STATUS_PAPER_PROBLEM, PRINTER_ERROR, "Paper problem"},
    {PRINTER_STATUS_OFFLINE, PRINTER_OFFLINE, "Offline"},
    {PRINTER_STATUS_IO_ACTIVE, PRINTER_BUSY, "Communicating"},
    {PRINTER_STATUS_BUSY, PRINTER_BUSY, "Busy"},
    {PRINTER_STATUS_PRINTING, PRINTER_BUSY, "Printing"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, PRINTER_ERROR, "Output bin full"},
    {PRINTER_STATUS_NOT_AVAILABLE, PRINTER_OFFLINE, "Not available"},
    {PRINTER_STATUS_WAITING, PRINTER_BUSY, "Waiting"},
    {PRINTER_STATUS_PROCESSING, PRINTER_BUSY, "Processing"},
    {PRINTER_STATUS_INITIALIZING, PRINTER_BUSY, "Initializing"},
    {PRINTER_STATUS_WARMING_UP, PRINTER_BUSY, "Warming up"},
    {PRINTER_STATUS_TONER_LOW, PRINTER_WARNING, "Toner low"},
    {PRINTER_STATUS_NO_TONER, PRINTER_ERROR, "No toner"},
    {PRINTER_STATUS_PAGE_PUNT, PRINTER_ERROR, "Page too complex"},
    {PRINTER_STATUS_USER_INTERVENTION, PRINTER_ERROR, "User intervention required"},
    {PRINTER_STATUS_OUT_OF_MEMORY, PRINTER_ERROR, "Out of memory"},
    {PRINTER_STATUS_DOOR_OPEN, PRINTER_ERROR, "Door open"},
    {PRINTER_STATUS_SERVER_UNKNOWN, PRINTER_OFFLINE, "Server unknown"},
    {PRINTER_STATUS_POWER_SAVE, PRINTER_READY, "Power save"},
};

// A printer that cannot be reached is shown as offline, in words of its own.
const char kNotReachable[] = "Not reachable";

} // namespace

const PrinterStatusBit* PrinterStatusBits(size_t* count)
{
    *count = sizeof(kStatusBits) / sizeof(kStatusBits[0]);
    return kStatusBits;
}

PrinterCondition ClassifyPrinter(DWORD status, DWORD attributes, DWORD jobs, const char** text)
{
    PrinterCondition condition = PRINTER_READY;
    const char* word = "";
    DWORD decidedBy = 0;
    for (const PrinterStatusBit& bit : kStatusBits) {
        if (!(status & bit.flag) || bit.condition == PRINTER_READY)
            continue;
        // The first bit of the most urgent state names it; the plain error bit only when
        // no more telling error bit is set beside it.
        bool moreTelling = bit.condition == condition && decidedBy == PRINTER_STATUS_ERROR;
        if (bit.condition > condition || moreTelling) {
            condition = bit.condition;
            word = bit.text;
            decidedBy = bit.flag;
        }
    }
    if ((attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) && condition < PRINTER_OFFLINE) {
        condition = PRINTER_OFFLINE;
        word = "Offline";
    }
    if (jobs > 0 && condition == PRINTER_READY) {
        condition = PRINTER_BUSY;
        word = "Busy";
    }
    if (text)
        *text = word;
    return condition;
}

PrinterCondition UnreachableCondition(const char** text)
{
    if (text)
        *text = kNotReachable;
    return PRINTER_OFFLINE;
}

int ConditionNeedsAttention(PrinterCondition condition)
{
    return (condition == PRINTER_ERROR || condition == PRINTER_OFFLINE) ? 1 : 0;
}

void CPrinterStatusReader::Reset()
{
    m_sample = PrinterStatusSample{0, 0, 0};
    m_driver[0] = '\0';
    m_port[0] = '\0';
    m_readsSinceFull = 0;
    m_read = false;
}

bool CPrinterStatusReader::Read(HANDLE printer, bool full, bool* failed)
{
    if (failed)
        *failed = false;
    PrinterStatusSample next = m_sample;
    PRINTER_INFO_6 level6 = {0};
    DWORD needed = 0;
    bool haveStatus =
        Spooler().getPrinter(printer, 6, reinterpret_cast<BYTE*>(&level6), sizeof(level6), &needed) != FALSE;
    if (haveStatus)
        next.status = level6.dwStatus;
    full = full || !m_read || !haveStatus || next.status != m_sample.status ||
           ++m_readsSinceFull >= FULL_READ_EVERY;
    bool namesChanged = false;
    if (full) {
        PrinterInfo2 info;
        if (info.Read(printer)) {
            const PRINTER_INFO_2A* i2 = info.Get();
            next.attributes = i2->Attributes;
            next.jobs = i2->cJobs;
            if (!haveStatus)
                next.status = i2->Status;
            haveStatus = true;
            // A name that does not fit is left out rather than kept cut.
            char driver[sizeof(m_driver)], port[sizeof(m_port)];
            if (!SafeCopy(driver, i2->pDriverName))
                driver[0] = '\0';
            if (!SafeCopy(port, i2->pPortName))
                port[0] = '\0';
            namesChanged = strcmp(driver, m_driver) != 0 || strcmp(port, m_port) != 0;
            SafeCopy(m_driver, driver);
            SafeCopy(m_port, port);
        }
        m_readsSinceFull = 0;
    }
    if (!haveStatus) {
        if (failed)
            *failed = true;
        return false;
    }
    bool changed = !m_read || namesChanged || next.status != m_sample.status ||
                   next.attributes != m_sample.attributes || next.jobs != m_sample.jobs;
    m_sample = next;
    m_read = true;
    return changed;
}

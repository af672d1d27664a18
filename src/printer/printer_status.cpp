#include "printer_status.h"

#include <winspool.h>

#include "printer.h"
#include "strutil.h"

namespace {

const PrinterStatusBit kStatusBits[] = {
    {PRINTER_STATUS_PAUSED, PRINTER_PAUSED, "Paused", 1001},
    {PRINTER_STATUS_ERROR, PRINTER_ERROR, "Error", 1002},
    {PRINTER_STATUS_PENDING_DELETION, PRINTER_READY, "Deleting", 1003},
    {PRINTER_STATUS_PAPER_JAM, PRINTER_ERROR, "Paper jam", 1004},
    {PRINTER_STATUS_PAPER_OUT, PRINTER_ERROR, "Out of paper", 1005},
    {PRINTER_STATUS_MANUAL_FEED, PRINTER_WARNING, "Manual feed", 1006},
    {PRINTER_STATUS_PAPER_PROBLEM, PRINTER_ERROR, "Paper problem", 1007},
    {PRINTER_STATUS_OFFLINE, PRINTER_OFFLINE, "Offline", 1008},
    {PRINTER_STATUS_IO_ACTIVE, PRINTER_BUSY, "Communicating", 1009},
    {PRINTER_STATUS_BUSY, PRINTER_BUSY, "Busy", 1010},
    {PRINTER_STATUS_PRINTING, PRINTER_BUSY, "Printing", 1011},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, PRINTER_ERROR, "Output bin full", 1012},
    {PRINTER_STATUS_NOT_AVAILABLE, PRINTER_OFFLINE, "Not available", 1013},
    {PRINTER_STATUS_WAITING, PRINTER_BUSY, "Waiting", 1014},
    {PRINTER_STATUS_PROCESSING, PRINTER_BUSY, "Processing", 1015},
    {PRINTER_STATUS_INITIALIZING, PRINTER_BUSY, "Initializing", 1016},
    {PRINTER_STATUS_WARMING_UP, PRINTER_BUSY, "Warming up", 1017},
    {PRINTER_STATUS_TONER_LOW, PRINTER_WARNING, "Toner low", 1018},
    {PRINTER_STATUS_NO_TONER, PRINTER_ERROR, "No toner", 1019},
    {PRINTER_STATUS_PAGE_PUNT, PRINTER_ERROR, "Page too complex", 1020},
    {PRINTER_STATUS_USER_INTERVENTION, PRINTER_ERROR, "User intervention required", 1021},
    {PRINTER_STATUS_OUT_OF_MEMORY, PRINTER_ERROR, "Out of memory", 1022},
    {PRINTER_STATUS_DOOR_OPEN, PRINTER_ERROR, "Door open", 1023},
    {PRINTER_STATUS_SERVER_UNKNOWN, PRINTER_OFFLINE, "Server unknown", 1024},
    {PRINTER_STATUS_POWER_SAVE, PRINTER_READY, "Power save", 1025},
};

// The texts that are no status bit's own.
struct StateText {
    UINT id;
    const char* text;
};
const StateText kMoreTexts[] = {
    {IDS_STATE_NOT_REACHABLE, "Not reachable"},
    {IDS_ONE_DOCUMENT, "1 document"},
    {IDS_DOCUMENTS, "%1 documents"},
    {IDS_ATTENTION, "%1. Click here to see the printer's status."},
};

constexpr size_t kBitCount = sizeof(kStatusBits) / sizeof(kStatusBits[0]);
constexpr size_t kTextCount = kBitCount + sizeof(kMoreTexts) / sizeof(kMoreTexts[0]);

// The ID and the built-in text of text number i (the bits' texts first).
StateText TextAt(size_t i)
{
    return i < kBitCount ? StateText{kStatusBits[i].textId, kStatusBits[i].text} : kMoreTexts[i - kBitCount];
}

// The number of the ID's text; kTextCount for none.
size_t IndexOf(UINT id)
{
    size_t i = 0;
    while (i < kTextCount && TextAt(i).id != id)
        ++i;
    return i;
}

// The ID of a status bit's text.
UINT BitTextId(DWORD flag)
{
    for (const PrinterStatusBit& bit : kStatusBits) {
        if (bit.flag == flag)
            return bit.textId;
    }
    return 0;
}

// The text of the bits' table or of kMoreTexts that the ID names.
const char* BuiltInText(UINT id)
{
    size_t i = IndexOf(id);
    return i < kTextCount ? TextAt(i).text : "";
}

} // namespace

static_assert(kTextCount == CStateTexts::TEXT_COUNT, "one kept text per text of the tables");

const PrinterStatusBit* PrinterStatusBits(size_t* count)
{
    *count = sizeof(kStatusBits) / sizeof(kStatusBits[0]);
    return kStatusBits;
}

PrinterCondition ClassifyPrinter(DWORD status, DWORD attributes, DWORD jobs, const char** text,
                                 const CStateTexts* texts)
{
    PrinterCondition condition = PRINTER_READY;
    UINT word = 0;
    DWORD decidedBy = 0;
    for (const PrinterStatusBit& bit : kStatusBits) {
        if (!(status & bit.flag) || bit.condition == PRINTER_READY)
            continue;
        // The first bit of the most urgent state names it; the plain error bit only when
        // no more telling error bit is set beside it.
        bool moreTelling = bit.condition == condition && decidedBy == PRINTER_STATUS_ERROR;
        if (bit.condition > condition || moreTelling) {
            condition = bit.condition;
            word = bit.textId;
            decidedBy = bit.flag;
        }
    }
    if ((attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) && condition < PRINTER_OFFLINE) {
        condition = PRINTER_OFFLINE;
        word = BitTextId(PRINTER_STATUS_OFFLINE);
    }
    if (jobs > 0 && condition == PRINTER_READY) {
        condition = PRINTER_BUSY;
        word = BitTextId(PRINTER_STATUS_BUSY);
    }
    if (text)
        *text = texts ? texts->Get(word) : BuiltInText(word);
    return condition;
}

int ConditionNeedsAttention(PrinterCondition condition)
{
    return (condition == PRINTER_ERROR || condition == PRINTER_OFFLINE) ? 1 : 0;
}

void CStateTexts::Load(HMODULE library)
{
    for (size_t i = 0; i < kTextCount; ++i) {
        // Room for a text longer than is kept, cut below on a character boundary.
        char text[2 * TEXT_SIZE] = "";
        m_text[i][0] = '\0';
        if (library && LoadStringA(library, TextAt(i).id, text, sizeof(text)) > 0)
            SafeCopyEllipsis(m_text[i], TEXT_SIZE, text);
    }
}

const char* CStateTexts::Get(UINT id) const
{
    size_t i = IndexOf(id);
    if (i == kTextCount)
        return "";
    return m_text[i][0] ? m_text[i] : TextAt(i).text;
}

int CStateTexts::Format(UINT id, const char* insert, char* out, size_t size) const
{
    const char* pattern = Get(id);
    const char* mark = FindCharOf(pattern, "%");
    while (mark && mark[1] != '1')
        mark = FindCharOf(mark + 1, "%");
    // Whole first (two kept texts at most), then cut to the room given.
    char text[3 * TEXT_SIZE] = "";
    if (mark) {
        SafeCopyN(text, sizeof(text), pattern, static_cast<size_t>(mark - pattern));
        SafeAppend(text, insert);
        SafeAppend(text, mark + 2);
    } else {
        SafeCopy(text, pattern);
    }
    return SafeCopyEllipsis(out, size, text);
}

void CPrinterStatusReader::Reset()
{
    m_sample = PrinterStatusSample{0, 0, 0};
    m_readsSinceFull = 0;
    m_read = false;
}

bool CPrinterStatusReader::Read(HANDLE printer)
{
    PrinterStatusSample next = m_sample;
    PRINTER_INFO_6 level6 = {0};
    DWORD needed = 0;
    bool haveStatus = GetPrinterA(printer, 6, reinterpret_cast<BYTE*>(&level6), sizeof(level6), &needed) != FALSE;
    if (haveStatus)
        next.status = level6.dwStatus;
    bool full = !m_read || !haveStatus || next.status != m_sample.status ||
                ++m_readsSinceFull >= FULL_READ_EVERY;
    if (full) {
        PrinterInfo2 info;
        if (info.Read(printer)) {
            next.attributes = info.Get()->Attributes;
            next.jobs = info.Get()->cJobs;
            if (!haveStatus)
                next.status = info.Get()->Status;
            haveStatus = true;
        }
        m_readsSinceFull = 0;
    }
    if (!haveStatus)
        return false;
    bool changed = !m_read || next.status != m_sample.status || next.attributes != m_sample.attributes ||
                   next.jobs != m_sample.jobs;
    m_sample = next;
    m_read = true;
    return changed;
}

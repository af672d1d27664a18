// What a printer's status bits mean: the one table from each spooler status bit to the
// printer's state and a short text, shared by the monitor and the kit's status window; the
// texts of the state in the user's language; and the reader that keeps a printer's last
// status between checks.
#pragma once

#include <windows.h>

#include <stddef.h>

// A printer's state, from the least to the most urgent: a higher value wins.
enum PrinterCondition {
    PRINTER_READY = 0,   // power save, pending deletion, or nothing set
    PRINTER_BUSY = 1,    // printing, processing, warming up... or documents waiting
    PRINTER_WARNING = 2, // toner low, manual feed
    PRINTER_PAUSED = 3,  // above Warning: a toner warning never hides a paused printer
    PRINTER_OFFLINE = 4, // offline, not available, server unknown, "work offline"
    PRINTER_ERROR = 5,   // paper jam, paper out, door open...
};

// One status bit of the table, in the order of the bits' values.
struct PrinterStatusBit {
    DWORD flag;                 // PRINTER_STATUS_*
    PrinterCondition condition; // what the bit makes of the printer
    const char* text;           // e.g. "Out of paper": the built-in English
    UINT textId;                // the text's ID in the resource library's string table
};

// The table: *count receives the number of rows.
const PrinterStatusBit* PrinterStatusBits(size_t* count);

// IDs in the resource library's string table of the texts that are no status bit's own
// (the bits' texts are 1001 for the bit of value 1 up to 1025 for 0x01000000). "%1" in a
// text stands for what is put in: the number of documents, the state's text.
constexpr UINT IDS_STATE_NOT_REACHABLE = 1026; // "Not reachable": the print server does not answer
constexpr UINT IDS_ONE_DOCUMENT = 1040;        // "1 document"
constexpr UINT IDS_DOCUMENTS = 1041;           // "%1 documents"
constexpr UINT IDS_ATTENTION = 1042;           // "%1. Click here to see the printer's status."

class CStateTexts;

// The state of a status, an attribute set (PRINTER_ATTRIBUTE_WORK_OFFLINE counts as
// Offline) and a document count (documents make a Ready printer Busy), with the text of
// the bit that decided it ("" for Ready): from `texts` when given, else built in. Bits
// outside the table are ignored.
PrinterCondition ClassifyPrinter(DWORD status, DWORD attributes, DWORD jobs, const char** text,
                                 const CStateTexts* texts = nullptr);
// 1 for the states that deserve a notification: Error and Offline.
int ConditionNeedsAttention(PrinterCondition condition);

// The texts of the printer's state in the language of the resource library: every text of
// the tables above, copied out of the library's string table by its ID while the library
// is loaded; the built-in English where the library has no such string, or an empty one.
class CStateTexts {
public:
    // The longest text kept, with its terminator (a notification's text).
    static constexpr size_t TEXT_SIZE = 256;
    // The texts: the status bits' and the four above.
    static constexpr size_t TEXT_COUNT = 29;

    // Copies the library's texts (null: none, every text built in). A text too long is cut
    // on a character boundary.
    void Load(HMODULE library);
    // The text of the ID; "" for an ID of no text.
    const char* Get(UINT id) const;
    // The text of the ID with its first "%1" replaced by `insert`, cut to fit `size` on a
    // character boundary. 1 when all of it fit.
    int Format(UINT id, const char* insert, char* out, size_t size) const;

private:
    char m_text[TEXT_COUNT][TEXT_SIZE] = {};
};

// What the monitor knows of its printer between checks.
struct PrinterStatusSample {
    DWORD status;     // level 6
    DWORD attributes; // level 2
    DWORD jobs;       // level 2
};

// Reads a printer's status cheaply: level 6 (the status bits) on every read, level 2
// (attributes, document count) on the first read, when the status bits changed and on
// every tenth read.
class CPrinterStatusReader {
public:
    static constexpr int FULL_READ_EVERY = 10;

    // Reads from an open printer; true when the sample changed. A failed level-6 read
    // falls back to level 2's status; a failed read leaves the sample as it was.
    bool Read(HANDLE printer);
    const PrinterStatusSample& Sample() const { return m_sample; }
    // Forgets the sample: the next read is a full one.
    void Reset();

private:
    PrinterStatusSample m_sample = {0, 0, 0};
    int m_readsSinceFull = 0;
    bool m_read = false;
};

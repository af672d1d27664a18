#include "printer_state.h"


#include <string.h>


#include "cmdinfo.h"
#include "printer.h"
#include "printer_status.h"

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

#include "cmdinfo.h"

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include "driver_config.h"
#include "printer.h"
#include "reg_read.h"
#include "reg_view.h"
#include "scoped.h"

namespace {

const char kDriverKeyPrefix[] = DRIVER_KEY_PREFIX;
const char kModelIdValue[] = DRIVER_VALUE_MODEL_ID;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Characters that end an option name.
bool EndsName(char c)
{
    return IsDigit(c) || c == '"' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

// Characters that end the length scan after a name.
bool EndsLength(char c)
{
    return c == '"' || c == '/' || c == '\n' || c == '\0';
}

// First quote mark at or after `from`, or `length` when there is none.
size_t FindQuote(const char* s, size_t length, size_t from)
{
    for (size_t i = from; i < length; ++i) {
        if (s[i] == '"')
            return i;
    }
    return length;
}

// Length of the quoted stretch from `pos` on: up to the closing quote mark, a line feed or
// the end; a '/' before the opening quote ends the search with 0.
size_t QuotedLength(const char* s, size_t length, size_t pos)
{
    bool inside = false;
    size_t m = 0;
    for (size_t i = pos; i < length; ++i) {
        char c = s[i];
        if (c == '\n' || (c == '/' && !inside))
            break;
        if (c == '"') {
            if (inside)
                break;
            inside = true;
        } else if (inside) {
            ++m;
        }
    }
    return m;
}

// Copies `count` characters from `src` into the value buffer, or "" when they do not fit.
void TakeValue(char* outValue, size_t valueSize, const char* src, size_t count)
{
    if (count >= valueSize)
        outValue[0] = '\0';
    else
        SafeCopyN(outValue, valueSize, src, count);
}

// Both outputs "", result -1: no such option.
int NoOption(char* outName, char* outValue)
{
    outName[0] = '\0';
    outValue[0] = '\0';
    return -1;
}

} // namespace

const CmdOptionRow g_cmdOptions[CMD_OPTION_COUNT] = {
    {"P", &CCmdInfo::m_szPrinterName, nullptr},
    {"D", &CCmdInfo::m_szDriverName, nullptr},
    {"O", &CCmdInfo::m_szPortName, nullptr},
    {"M", &CCmdInfo::m_szModelID, nullptr},
    {"J", &CCmdInfo::m_szJ, nullptr},
    {"S", nullptr, &CCmdInfo::m_fS},
    {"R", nullptr, &CCmdInfo::m_fRemove},
    {"E", nullptr, &CCmdInfo::m_fE},
    {"U", nullptr, &CCmdInfo::m_fU},
    {"C", nullptr, &CCmdInfo::m_fC},
    {"BE", nullptr, &CCmdInfo::m_fBE},
    {"BH", &CCmdInfo::m_szBH, nullptr},
    {"BU", &CCmdInfo::m_szBU, nullptr},
    {"BD", &CCmdInfo::m_szBD, nullptr},
    {"BI", &CCmdInfo::m_szBI, nullptr},
    {"BN", &CCmdInfo::m_szBN, nullptr},
    {"OVM", &CCmdInfo::m_szOVM, nullptr},
    {"I", nullptr, &CCmdInfo::m_fIconInstall},
};

// ---- CCmdLine ---------------------------------------------------------------------------

CCmdLine::CCmdLine()
{
    memset(m_szCmdLine, 0, sizeof(m_szCmdLine));
}

CCmdLine::~CCmdLine() = default;

int CCmdLine::ScanLength(const char* text, size_t* position)
{
    if (!text || !position)
        return 0;
    size_t start = *position;
    size_t i = start;
    int number = 0;
    for (; !EndsLength(text[i]); ++i) {
        if (IsDigit(text[i])) {
            number = number * 10 + (text[i] - '0');
            if (number > CMD_LENGTH_CAP)
                number = CMD_LENGTH_CAP;
        }
    }
    if (i > start)
        *position = i - 1;
    return number;
}

int CCmdLine::GetOption(int index, char* outName, size_t nameSize, char* outValue, size_t valueSize) const
{
    if (!outName || !outValue || nameSize == 0 || valueSize == 0)
        return -1;
    const char* s = m_szCmdLine;
    const size_t length = strnlen(s, sizeof(m_szCmdLine));
    if (length == sizeof(m_szCmdLine))
        return NoOption(outName, outValue); // not terminated in its buffer: no text at all
    bool outside = true;
    size_t lastLength = 0;
    int passed = 0;
    size_t j = 0;
    while (j < length) {
        if (!(outside && s[j] == '/')) {
            // Quote marks open and close stretches, except after a length-prefixed option,
            // whose value may hold any number of them.
            if (lastLength == 0 && s[j] == '"')
                outside = !outside;
            ++j;
            continue;
        }
        size_t nameStart = ++j;
        while (j < length && !EndsName(s[j]))
            ++j;
        size_t pos = j;
        lastLength = static_cast<size_t>(ScanLength(s, &pos));
        if (passed == index) {
            size_t nameLength = j - nameStart;
            if (nameLength >= nameSize)
                outName[0] = '\0'; // too long: matches no option
            else
                SafeCopyN(outName, nameSize, s + nameStart, nameLength);
            size_t n = lastLength;
            if (n > 0) {
                outValue[0] = '\0';
                if (pos + n + 1 >= length)
                    return static_cast<int>(n);
                size_t quote = FindQuote(s, length, pos);
                if (quote == length)
                    return NoOption(outName, outValue);
                TakeValue(outValue, valueSize, s + quote + 1, n);
                return static_cast<int>(n);
            }
            size_t m = QuotedLength(s, length, pos);
            outValue[0] = '\0';
            if (m > 0 && pos + m + 1 < length)
                TakeValue(outValue, valueSize, s + FindQuote(s, length, pos) + 1, m);
            return static_cast<int>(m);
        }
        ++passed;
        if (lastLength > 0) {
            // Past the opening quote mark and the value, onto the closing quote mark.
            j = pos + lastLength + 2;
        } else {
            if (s[pos] == '"')
                outside = !outside;
            j = pos + 1;
        }
    }
    return NoOption(outName, outValue);
}

// ---- CCmdInfo ---------------------------------------------------------------------------

CCmdInfo::CCmdInfo()
{
    Reset();
}

CCmdInfo::CCmdInfo(const char* cmdText)
{
    Reset();
    // A text that does not fit is refused whole rather than read in part.
    if (cmdText && strlen(cmdText) < sizeof(m_szCmdLine))
        SafeCopy(m_szCmdLine, cmdText);
    ParseCommandLine();
}

CCmdInfo::~CCmdInfo() = default;

void CCmdInfo::Reset()
{
    for (const CmdOptionRow& row : g_cmdOptions) {
        if (row.text)
            memset(this->*row.text, 0, ZT_TEXT);
        else
            this->*row.flag = 0;
    }
    memset(m_szTempDir, 0, sizeof(m_szTempDir));
    memset(m_szParamFile, 0, sizeof(m_szParamFile));
    memset(m_szTempFileName, 0, sizeof(m_szTempFileName));
    m_bFrom = 0;
}

void CCmdInfo::SetText(char (&field)[ZT_TEXT], const char* value)
{
    if (!SafeCopy(field, value))
        field[0] = '\0';
}

void CCmdInfo::SetOption(const char* name, const char* value)
{
    if (!name || !value)
        return;
    for (const CmdOptionRow& row : g_cmdOptions) {
        if (lstrcmpiA(name, row.name) != 0)
            continue;
        if (row.text)
            SetText(this->*row.text, value);
        else
            this->*row.flag = 1;
        return;
    }
    if (lstrcmpiA(name, "EF") == 0 && lstrcmpiA(value, "HKCU") == 0)
        m_bFrom = 1;
}

int CCmdInfo::ParseCommandLine()
{
    char name[CMD_NAME_SIZE] = {0};
    char value[ZT_TEXT] = {0};
    for (int k = 0; GetOption(k, name, sizeof(name), value, sizeof(value)) != -1; ++k) {
        SetOption(name, value);
        if (lstrcmpiA(name, "F") == 0)
            SetText(m_szParamFile, value);
        else if (lstrcmpiA(name, "A") == 0)
            SetText(m_szTempFileName, value);
        memset(name, 0, sizeof(name));
        memset(value, 0, sizeof(value));
    }

    if (m_szTempFileName[0]) {
        // /A: the file stays; it is the start-up entry's own parameter file.
        SetText(m_szParamFile, m_szTempFileName);
        memset(m_szTempFileName, 0, sizeof(m_szTempFileName));
        ReadParamFile();
    } else if (m_szParamFile[0]) {
        // /F: a one-time hand-over, deleted once read.
        ReadParamFile();
        DeleteParamFile(m_szParamFile);
    }

    if (!m_szBH[0] || !m_szBU[0] || !m_szBD[0] || !m_szBI[0])
        m_fBE = 0;
    // The spooler is asked only for what the options left out (a printer on a slow print
    // server costs seconds a call).
    if (!m_szDriverName[0] || !m_szPortName[0])
        CompletePrinterInfo();
    ReadModelID(); // after the spooler, whose driver name it may use
    return 1;
}

int CCmdInfo::CompletePrinterInfo()
{
    if (!m_szPrinterName[0])
        return 0;
    ScopedPrinter printer;
    int presence = OpenPrinterPresence(m_szPrinterName, &printer);
    if (presence != PRESENCE_HERE)
        return presence == PRESENCE_GONE ? 0 : PRINTER_INFO_UNKNOWN;
    // An open printer whose information cannot be read now is not a missing one.
    PrinterInfo2 info;
    if (!info.Read(printer.Get(), true))
        return PRINTER_INFO_UNKNOWN;
    if (!m_szDriverName[0] && info.Get()->pDriverName)
        SetText(m_szDriverName, info.Get()->pDriverName);
    if (!m_szPortName[0] && info.Get()->pPortName)
        SetText(m_szPortName, info.Get()->pPortName);
    return 1;
}

int CCmdInfo::ReadModelID()
{
    if (!m_szDriverName[0])
        return 0;
    if (m_szModelID[0])
        return 1;
    char path[sizeof(kDriverKeyPrefix) + ZT_TEXT];
    SafeFormat(path, sizeof(path), "%s%s", kDriverKeyPrefix, m_szDriverName);
    ScopedRegKey key;
    if (OpenMachineKey(path, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    // Data of 260 bytes without a terminator does not fit and is not taken.
    return QueryText(key.Get(), kModelIdValue, m_szModelID, sizeof(m_szModelID));
}

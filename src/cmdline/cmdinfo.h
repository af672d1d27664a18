// The printer identity and start options of one monitor (or of one launch of the
// status-window program), read from a command text and from parameter files.
//
// CCmdLine holds the command text and its tokenizer; CCmdInfo adds the option fields, the
// whole parse, the completion of driver, port and model identifier from the spooler and the
// registry, and the parameter file (written, read and deleted in paramfile.cpp).
//
// Command text grammar: an option is '/' and a name outside any quoted stretch; its value
// is the quoted stretch that follows ("/P \"Laser A\""), or, when a decimal length is
// written after the name ("/P9 \"Laser \"A\"\""), exactly that many characters after the
// next quote mark, quote marks and slashes included.
//
// Limits, and what happens beyond them (nothing is ever cut to a shorter text, since a cut
// printer name or path would name another printer or file):
//   - command text: at most 4095 characters; a longer text is refused whole (no option is
//     read, every field stays empty);
//   - option name: at most 79 characters; a longer name is refused: the option still counts
//     in the numbering but its name reads as empty, so it matches no option;
//   - value: at most 259 characters (written length or quoted stretch); a longer value reads
//     as empty, so the option empties its field (a flag option is still set);
//   - a written length far beyond the end of the text saturates at CMD_LENGTH_CAP; the value
//     reads as empty and no later option is found;
//   - driver and port names from the spooler, and a ModelID from the registry, that do not
//     fit 259 characters are not taken (the field stays empty);
//   - parameter-file paths (directory + name) over 259 characters are refused: the file is
//     neither read, written nor deleted;
//   - a parameter-file line is read in pieces of at most 1299 characters, each parsed as a
//     line of its own; a value over 259 characters after its opening quote reads as empty.
#pragma once

#include <stddef.h>

#include "strutil.h" // ZT_TEXT

constexpr size_t CMD_TEXT_SIZE = 4096;   // command text buffer: 4095 characters at most
constexpr size_t CMD_NAME_SIZE = 80;     // option name buffer: 79 characters at most
constexpr size_t PARAM_LINE_SIZE = 1300; // parameter-file line buffer: 1299 characters
constexpr int CMD_LENGTH_CAP = 100000;   // a written length saturates here (beyond any text)

#define PARAM_FILE_PREFIX "J_R"

constexpr int PRINTER_INFO_UNKNOWN = 2; // CompletePrinterInfo: the spooler cannot tell now

class CCmdLine {
public:
    // m_szCmdLine all zero.
    CCmdLine();
    virtual ~CCmdLine();

    // Finds option `index` (0 = the first in text order). Returns -1 when there is none (both
    // outputs are then ""), else the option's value length (>= 0), with its name in outName
    // and its value in outValue. A name that does not fit nameSize, or a value that does not
    // fit valueSize, reads as "" (see the limits above). Both sizes must be at least 1.
    // A text not terminated within m_szCmdLine holds no option.
    int GetOption(int index, char* outName, size_t nameSize, char* outValue, size_t valueSize) const;

    // The length written after an option name. *position comes in as the first position
    // after the name and goes out as the last position looked at before the stopping
    // character (a quote mark, '/', line feed or the end), or unchanged when it stands on
    // one. Every decimal digit up to there is folded into the result (saturating at
    // CMD_LENGTH_CAP); other characters are passed over. 0 when there is no digit.
    static int ScanLength(const char* text, size_t* position);

    char m_szCmdLine[CMD_TEXT_SIZE];
};

class CCmdInfo : public CCmdLine {
public:
    // Empty object: all fields empty or 0, nothing parsed.
    CCmdInfo();
    // Reads `cmdText` (the command line after the program name; null counts as empty):
    // options, then an /A or /F parameter file, then driver, port and model identifier.
    explicit CCmdInfo(const char* cmdText);
    ~CCmdInfo() override;

    // Every string field all zero, every flag 0; m_szCmdLine is left alone.
    void Reset();
    // Applies one option by name (without regard to case): value options store the value
    // ("" empties the field, a value over 259 characters also reads as ""), flag options
    // set their flag to 1, "EF" sets m_bFrom when the value is "HKCU" in any case. Any
    // other name, "F" and "A" included, changes nothing. Null arguments change nothing.
    void SetOption(const char* name, const char* value);
    // Reads every option of m_szCmdLine, then the parameter file: an /A file is read and
    // kept; otherwise an /F file is read and deleted. /A wins over /F. Then clears m_fBE
    // unless /BH, /BU, /BD and /BI are all given, and completes the printer data
    // (CompletePrinterInfo when the driver or the port is missing, ReadModelID). Always 1.
    int ParseCommandLine();
    // Fills an empty m_szDriverName and m_szPortName from the spooler's level-2 data of the
    // printer m_szPrinterName. 1 when the printer was opened and its data read; 0 when the
    // printer name is empty or the spooler says that no such printer exists;
    // PRINTER_INFO_UNKNOWN when the spooler cannot tell now (the printer cannot be reached,
    // or its data cannot be read).
    int CompletePrinterInfo();
    // Fills an empty m_szModelID from HKLM "software\ORVEL\ZET3\Driver\<driver>" value
    // "ModelID". 0 when the driver name is empty; 1 when a model identifier was already
    // held or was read; 0 when the key or value cannot be read (m_szModelID then stays "").
    int ReadModelID();

    // ---- parameter file (paramfile.cpp) -------------------------------------------------
    // Makes a new empty file "J_Rxxxx.tmp" in the temporary directory; fills m_szTempDir
    // (ends in a backslash) and m_szTempFileName (the name without directory). 1 on success;
    // 0 with m_szTempFileName "" on failure.
    int MakeTempFileName();
    // Writes the option lines into m_szTempDir + m_szTempFileName (text mode, so each line
    // ends in CR LF on disk). 1 when the file could be opened for writing, else 0. A value
    // that cannot be written as one line that reads back whole (one holding a line feed, a
    // carriage return or Ctrl+Z, the end of a file read in text mode) gives 0 without the
    // file being touched.
    int WriteParamFile();
    // MakeTempFileName, then the three names into their fields, then WriteParamFile. 1 when
    // the file was written; 0 otherwise (also for a value that is not one line: the launcher
    // then passes the values on its command line), and no file is left behind.
    int CreateParamFile(const char* printerName, const char* portName, const char* modelID);
    // Reads the file m_szParamFile (as named, else in the temporary directory, which then
    // is in m_szTempDir) and applies every option line; an "A" line also fills
    // m_szTempFileName. 1 when the file was opened and read, else 0.
    int ReadParamFile();
    // Splits one line: name after the first '/', value between the first quote mark after
    // the name and the last quote mark of the line (or the line's end). 1 when the line
    // holds a quoted value; 0 when it holds no '/' (nothing written) or no quote mark after
    // the name (only outName written). outName and outValue may be the same buffer as line.
    static int ParseParamLine(const char* line, char* outName, size_t nameSize, char* outValue, size_t valueSize);
    // Deletes the file as named, else the file of that name in m_szTempDir (which is filled
    // first when empty). The result of DeleteFileA, or 0 when the file exists in neither place.
    int DeleteParamFile(const char* fileName);

    char m_szTempDir[ZT_TEXT];
    int m_fRemove;
    int m_fS;
    int m_fE;
    int m_fC;
    int m_fU;
    char m_szPrinterName[ZT_TEXT];
    char m_szDriverName[ZT_TEXT];
    char m_szPortName[ZT_TEXT];
    char m_szModelID[ZT_TEXT];
    char m_szParamFile[ZT_TEXT];
    char m_szTempFileName[ZT_TEXT];
    char m_szJ[ZT_TEXT];
    int m_fBE;
    char m_szBH[ZT_TEXT];
    char m_szBU[ZT_TEXT];
    char m_szBD[ZT_TEXT];
    char m_szBI[ZT_TEXT];
    char m_szBN[ZT_TEXT];
    char m_szOVM[ZT_TEXT];
    int m_fIconInstall;
    int m_bFrom;

protected:
    // Stores value in field whole, or "" when it is null or does not fit.
    static void SetText(char (&field)[ZT_TEXT], const char* value);
    // m_szTempDir = the system's temporary directory, or ".\" when it cannot be had.
    void LoadTempDir();
};

// One row per option of the table: its name and either its text field or its flag. The rows
// stand in the order in which a parameter file lists them.
struct CmdOptionRow {
    const char* name;
    char (CCmdInfo::*text)[ZT_TEXT];
    int CCmdInfo::*flag;
};
constexpr size_t CMD_OPTION_COUNT = 18;
extern const CmdOptionRow g_cmdOptions[CMD_OPTION_COUNT];

// The parameter file: the options as a small text file, one per line, that carries a
// printer's identity to the status-window program (written here, passed by name with /F)
// and back into the monitor (/F files are deleted once read, /A files are kept).
#include "cmdinfo.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// Full path of `name` in `dir`; false when it does not fit (such a path is never used cut).
bool JoinPath(char (&out)[ZT_TEXT], const char* dir, const char* name)
{
    return SafeFormat(out, sizeof(out), "%s%s", dir, name) != 0;
}

// True when the value reads back whole from a line of the file: a line feed (written as
// CR LF) would end the line, a carriage return may be taken for a line end, and Ctrl+Z
// ends a file read in text mode.
bool FitsOneLine(const char* value)
{
    return !strpbrk(value, "\n\r\x1a");
}

bool EveryValueFitsOneLine(const CCmdInfo& info)
{
    for (const CmdOptionRow& row : g_cmdOptions) {
        if (row.text && !FitsOneLine(info.*row.text))
            return false;
    }
    return true;
}

bool FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Frees the line buffer of one reading.
class ScopedLocal {
public:
    explicit ScopedLocal(HLOCAL block) : m_block(block) {}
    ~ScopedLocal()
    {
        if (m_block)
            LocalFree(m_block);
    }
    ScopedLocal(const ScopedLocal&) = delete;
    ScopedLocal& operator=(const ScopedLocal&) = delete;
    char* Text() const { return static_cast<char*>(m_block); }

private:
    HLOCAL m_block;
};

} // namespace

void CCmdInfo::LoadTempDir()
{
    char path[ZT_TEXT] = {0};
    DWORD n = GetTempPathA(sizeof(path), path);
    // 0 is failure; a result of the buffer's size or more is the size it would need.
    SetText(m_szTempDir, (n != 0 && n < sizeof(path)) ? path : ".\\");
}

int CCmdInfo::MakeTempFileName()
{
    LoadTempDir();
    char full[MAX_PATH] = {0};
    memset(m_szTempFileName, 0, sizeof(m_szTempFileName));
    if (!GetTempFileNameA(m_szTempDir, PARAM_FILE_PREFIX, 0, full))
        return 0;
    const char* slash = FindLastCharOf(full, "\\");
    SetText(m_szTempFileName, slash ? slash + 1 : full);
    return m_szTempFileName[0] ? 1 : 0;
}

int CCmdInfo::WriteParamFile()
{
    char path[ZT_TEXT];
    if (!m_szTempFileName[0] || !EveryValueFitsOneLine(*this) || !JoinPath(path, m_szTempDir, m_szTempFileName))
        return 0;
    FILE* file = fopen(path, "wt");
    if (!file)
        return 0;
    // Values are written as held: nothing is escaped and no length is written.
    for (const CmdOptionRow& row : g_cmdOptions) {
        if (row.text && (this->*row.text)[0])
            fprintf(file, "/%s \"%s\"\n", row.name, this->*row.text);
        else if (row.flag && this->*row.flag)
            fprintf(file, "/%s\n", row.name);
    }
    fclose(file);
    return 1;
}

int CCmdInfo::CreateParamFile(const char* printerName, const char* portName, const char* modelID)
{
    MakeTempFileName();
    if (!m_szTempFileName[0])
        return 0;
    SetText(m_szPrinterName, printerName);
    SetText(m_szPortName, portName);
    SetText(m_szModelID, modelID);
    if (WriteParamFile())
        return 1;
    DeleteParamFile(m_szTempFileName);
    return 0;
}

int CCmdInfo::ReadParamFile()
{
    if (!m_szParamFile[0])
        return 0;
    FILE* file = fopen(m_szParamFile, "rt");
    if (!file) {
        // Only the bare name travels with /F: look in the temporary directory.
        LoadTempDir();
        char path[ZT_TEXT];
        if (!JoinPath(path, m_szTempDir, m_szParamFile))
            return 0;
        file = fopen(path, "rt");
        if (!file)
            return 0;
    }
    ScopedLocal line(LocalAlloc(LMEM_FIXED, PARAM_LINE_SIZE));
    if (!line.Text()) {
        fclose(file);
        return 0;
    }
    char name[CMD_NAME_SIZE];
    // A longer line comes in pieces, each taken as a line of its own.
    while (fgets(line.Text(), PARAM_LINE_SIZE, file)) {
        memset(name, 0, sizeof(name));
        ParseParamLine(line.Text(), name, sizeof(name), line.Text(), PARAM_LINE_SIZE);
        SetOption(name, line.Text());
        if (lstrcmpiA(name, "A") == 0)
            SetText(m_szTempFileName, line.Text());
    }
    fclose(file);
    return 1;
}

int CCmdInfo::ParseParamLine(const char* line, char* outName, size_t nameSize, char* outValue, size_t valueSize)
{
    if (!line || !outName || !outValue || nameSize == 0 || valueSize == 0)
        return 0;
    const char* slash = strchr(line, '/');
    if (!slash)
        return 0;
    // Both parts are taken into buffers of their own first: the outputs may be the line.
    const char* nameStart = slash + 1;
    size_t nameLength = strcspn(nameStart, "0123456789\"/ \t\r\n");
    char name[CMD_NAME_SIZE] = {0};
    if (nameLength < sizeof(name) && nameLength < nameSize)
        memcpy(name, nameStart, nameLength); // a longer name is refused: it matches nothing
    const char* open = strchr(nameStart + nameLength, '"');
    char value[ZT_TEXT] = {0};
    if (open) {
        const char* close = strrchr(open + 1, '"');
        size_t valueLength = close ? static_cast<size_t>(close - (open + 1)) : strlen(open + 1);
        if (valueLength < sizeof(value) && valueLength < valueSize)
            memcpy(value, open + 1, valueLength); // a longer value reads as empty
    }
    SafeCopy(outName, nameSize, name);
    if (!open)
        return 0;
    SafeCopy(outValue, valueSize, value);
    return 1;
}

int CCmdInfo::DeleteParamFile(const char* fileName)
{
    if (!m_szTempDir[0])
        LoadTempDir();
    if (!fileName || !fileName[0])
        return 0;
    if (FileExists(fileName))
        return DeleteFileA(fileName) ? 1 : 0;
    char path[ZT_TEXT];
    if (!JoinPath(path, m_szTempDir, fileName) || !FileExists(path))
        return 0;
    return DeleteFileA(path) ? 1 : 0;
}

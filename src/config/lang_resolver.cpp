#include "lang_resolver.h"

#include <string.h>

#include <memory>
#include <new>

#include "driver_config.h"
#include "reg_read.h"
#include "reg_view.h"
#include "scoped.h"
#include "strutil.h"

namespace {

const char kResDll[] = PROFILE_INI_RES_DLL;
const char kJapanese[] = "Japanese";
const char kEnglish[] = "English";
const char kDefaultLang[] = "DefaultLang";
const char kSelectLang[] = "SelectLang";
const char kProgramFilesDir[] = "ProgramFilesDir";

constexpr LANGID kPrimaryLangMask = 0x3FF;
constexpr size_t kFolderSize = 520;

// The INI file's folder: drive and directory up to and including the last separator
// (backslash or slash), when the path holds a backslash at all; else "". 0 when it does
// not fit `size` bytes.
int IniFolder(const char* iniPath, char* folder, size_t size)
{
    folder[0] = '\0';
    if (!FindCharOf(iniPath, "\\"))
        return 1;
    size_t len = static_cast<size_t>(FindLastCharOf(iniPath, "\\/") + 1 - iniPath);
    return SafeCopyN(folder, size, iniPath, len);
}

// Stores the needed size and checks it against the buffer: 0 when the caller may write.
DWORD CheckRoom(DWORD size, const char* out, DWORD capacity, DWORD* needed)
{
    if (needed)
        *needed = size;
    if (size > capacity)
        return LANG_PATH_TOO_SMALL;
    if (!out)
        return LANG_PATH_NO_BUFFER;
    return 0;
}

} // namespace

CLangResolver::CLangResolver(LANGID langId) : m_langId(langId), m_langView(REG_VIEW_OWN)
{
    memset(m_szFileName, 0, sizeof(m_szFileName));
    memset(m_szLangDir, 0, sizeof(m_szLangDir));
    memset(m_szProgramFiles, 0, sizeof(m_szProgramFiles));
}

CLangResolver::~CLangResolver() = default;

DWORD CLangResolver::GetLangFilePath(const char* iniPath, const char* driverName, const char* keyName, char* out,
                                     DWORD capacity, DWORD* needed)
{
    char folder[kFolderSize];
    if (!IniFolder(iniPath, folder, sizeof(folder)))
        return 0;
    DWORD folderLen = static_cast<DWORD>(strlen(folder));
    if (!ReadLangValue(iniPath, keyName))
        return 0;
    DWORD valueLen = static_cast<DWORD>(strlen(m_szFileName));

    DWORD langDirLen = static_cast<DWORD>(GetLangDir(driverName));
    if (langDirLen > 0) {
        // One size for both candidates, so one buffer serves whichever path wins.
        DWORD size = valueLen + (folderLen > langDirLen ? folderLen : langDirLen);
        if (DWORD refused = CheckRoom(size, out, capacity, needed))
            return refused;
        SafeFormat(out, capacity + 1, "%s%s", m_szLangDir, m_szFileName);
        if (FileExists(out))
            return size;
    }
    DWORD size = valueLen + folderLen;
    if (DWORD refused = CheckRoom(size, out, capacity, needed))
        return refused;
    SafeFormat(out, capacity + 1, "%s%s", folder, m_szFileName);
    return size;
}

int CLangResolver::ReadLangValue(const char* iniPath, const char* keyName)
{
    memset(m_szFileName, 0, sizeof(m_szFileName));
    // The Japanese section is read for every user; only a Japanese user takes its value.
    char japanese[ZT_TEXT] = {0};
    if (ReadIniString(iniPath, kJapanese, keyName, japanese) && (m_langId & kPrimaryLangMask) == LANG_JAPANESE) {
        SafeCopy(m_szFileName, japanese);
        return 1;
    }
    return ReadIniString(iniPath, kEnglish, keyName, m_szFileName);
}

int CLangResolver::ReadIniString(const char* iniPath, const char* section, const char* keyName, char* out)
{
    if (!iniPath || !section || !keyName || !out)
        return 0;
    char text[ZT_TEXT] = {0};
    DWORD count = GetPrivateProfileStringA(section, keyName, "", text, sizeof(text), iniPath);
    if (count == 0)
        return 0;
    SafeCopy(out, ZT_TEXT, text);
    return 1;
}

int CLangResolver::GetLangDir(const char* driverName)
{
    memset(m_szLangDir, 0, sizeof(m_szLangDir));
    char keyPath[sizeof(LANG_KEY_ROOT) + ZT_TEXT + 8];
    if (!driverName || !SafeFormat(keyPath, sizeof(keyPath), "%s\\%s\\%s", LANG_KEY_ROOT, driverName, "Lang"))
        return 0;
    DWORD defaultLang = 0, selectLang = 0;
    {
        ScopedRegKey key;
        if (OpenMachineKey(keyPath, KEY_READ, key.Put(), &m_langView) != ERROR_SUCCESS)
            return 0;
        defaultLang = QueryNumber(key.Get(), kDefaultLang);
        selectLang = QueryNumber(key.Get(), kSelectLang);
    }
    if (selectLang == 0 || defaultLang == 0 || selectLang == defaultLang)
        return 0;
    if (GetProgramFilesDir() == 0)
        return 0;
    if (!SafeFormat(m_szLangDir, sizeof(m_szLangDir), "%s\\ORVEL\\%s\\Lang\\%04lx\\", m_szProgramFiles, driverName,
                    static_cast<unsigned long>(selectLang))) {
        m_szLangDir[0] = '\0'; // a folder that does not fit is no override
        return 0;
    }
    return static_cast<int>(strlen(m_szLangDir));
}

int CLangResolver::GetProgramFilesDir()
{
    memset(m_szProgramFiles, 0, sizeof(m_szProgramFiles));
    ScopedRegKey key;
    if (OpenMachineKeyInView(PROGRAM_FILES_KEY, KEY_READ, m_langView, key.Put()) != ERROR_SUCCESS)
        return 0;
    QueryText(key.Get(), kProgramFilesDir, m_szProgramFiles, sizeof(m_szProgramFiles));
    return static_cast<int>(strlen(m_szProgramFiles));
}

int GetResDllPath(char* out, const char* driverName, const char* modelId)
{
    return GetResDllPath(out, driverName, modelId, GetUserDefaultLangID());
}

int GetResDllPath(char* out, const char* driverName, const char* modelId, LANGID langId)
{
    if (!out)
        return 0;
    char profile[ZT_TEXT] = {0};
    if (!GetProfilePath(profile, driverName, modelId) || !profile[0])
        return 0;

    CLangResolver resolver(langId);
    DWORD needed = 0;
    resolver.GetLangFilePath(profile, driverName, kResDll, nullptr, 0, &needed);
    if (needed == 0)
        return 0;
    std::unique_ptr<char[]> path(new (std::nothrow) char[needed + 1]);
    if (!path)
        return 0;
    path[0] = '\0';
    DWORD result = resolver.GetLangFilePath(profile, driverName, kResDll, path.get(), needed, &needed);
    // The size can cover a longer candidate than the path written: the text itself must fit.
    if (static_cast<int>(result) <= 0 || strlen(path.get()) >= ZT_TEXT)
        return 0;
    SafeCopy(out, ZT_TEXT, path.get());
    return 1;
}

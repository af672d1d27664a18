// The resource library's path, with language selection.
//
// The driver's profile INI file names the resource library once per language: the key
// `ResDll` in the sections "Japanese" (for Japanese users) and "English" (everyone else, and
// the fallback). The name is relative to the INI file's folder. A per-driver override under
// HKLM "Software\ORVEL\Printer\<driver>\Lang" (`DefaultLang`, `SelectLang`) redirects it to
// "<Program Files>\ORVEL\<driver>\Lang\<SelectLang as %04x>\" when the file exists there.
// The language key is found in either registry view (the own view first), and the Program
// Files folder is the one of that view: "Program Files (x86)" for a key that a 32-bit
// installer wrote on 64-bit Windows, where that installer put its language folders.
#pragma once

#include <windows.h>

// Results of CLangResolver::GetLangFilePath besides a size.
constexpr DWORD LANG_PATH_TOO_SMALL = static_cast<DWORD>(-1); // needed size > capacity
constexpr DWORD LANG_PATH_NO_BUFFER = static_cast<DWORD>(-2); // sizes fit, but no buffer given

#define LANG_KEY_ROOT "Software\\ORVEL\\Printer"
#define PROGRAM_FILES_KEY "Software\\Microsoft\\Windows\\CurrentVersion"

// Finds the resource library's path for one lookup. Every call reads the INI file and the
// registry again; nothing is written anywhere.
class CLangResolver {
public:
    // `langId` is the user's language that picks the INI section (primary language 0x11,
    // Japanese, picks "Japanese"); by default the user's default language.
    explicit CLangResolver(LANGID langId = GetUserDefaultLangID());
    virtual ~CLangResolver();

    // Two-call size protocol. Returns the size of the path (in characters, without the NUL)
    // on success; 0 when the INI file holds no value for `keyName`; LANG_PATH_TOO_SMALL when
    // the needed size exceeds `capacity`; LANG_PATH_NO_BUFFER when it fits but `out` is null.
    // `out` must hold capacity + 1 bytes. `needed` (optional) receives the needed size
    // whenever the value was found, before the capacity test. With an override folder the
    // size covers both the override and the INI folder's path, so one buffer serves either;
    // the size returned may then exceed the length of the text written.
    DWORD GetLangFilePath(const char* iniPath, const char* driverName, const char* keyName, char* out,
                          DWORD capacity, DWORD* needed);
    // Fills m_szFileName from the user's language section, else from "English". 1 or 0.
    int ReadLangValue(const char* iniPath, const char* keyName);
    // Reads one INI value (at most 259 characters; a longer one comes back cut to 259) into
    // the 260-byte `out`. 1 when non-empty; else 0 with `out` untouched.
    int ReadIniString(const char* iniPath, const char* section, const char* keyName, char* out);
    // Forms m_szLangDir for the driver's override; its length, or 0 when there is none.
    int GetLangDir(const char* driverName);
    // Reads m_szProgramFiles from the registry, in the view of the language key that
    // GetLangDir found last (the own view before that); its length, or 0.
    int GetProgramFilesDir();

    char m_szFileName[260];     // the `ResDll` value chosen
    char m_szLangDir[780];      // the override folder, ending in a backslash, or ""
    char m_szProgramFiles[520]; // the Program Files folder as the registry gives it

private:
    LANGID m_langId;
    REGSAM m_langView; // registry view of the language key
};

// The resource library's path for the driver and model into the 260-byte `out`, for the
// user's default language. 1 on success; 0 (with `out` untouched) when there is no profile,
// no `ResDll` value, or the path does not fit 259 characters.
int GetResDllPath(char* out, const char* driverName, const char* modelId);
// The same for the given user language.
int GetResDllPath(char* out, const char* driverName, const char* modelId, LANGID langId);

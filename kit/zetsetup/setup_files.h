// The files of the kit and the install directory.
#pragma once

#include <string>
#include <vector>

// One file that install copies from zetsetup.exe's own folder. Without a required file
// install refuses; an optional one that is missing is reported and left out. The monitor
// and the libraries it loads must be of zetsetup's own kind (KIT_BITS): a 64-bit zetsetup
// registers the 64-bit monitor, which loads only 64-bit libraries, and a 32-bit one the
// 32-bit monitor. The programs that the monitor starts may be of either kind.
struct KitFile {
    const char* name;
    bool required;
    bool ownKind;
};
extern const KitFile g_kitFiles[];
extern const size_t g_kitFileCount;

#define KIT_MONITOR_EXE "zettray.exe"
#define KIT_RES_DLL "zetres.dll"
#define KIT_RES_DLL_JA "zetresja.dll" // the resource library for Japanese users
#define KIT_PRN_DLL "zetprn.dll"
#define KIT_TOOL_EXE "zettool.exe"
#define KIT_PROFILE_INI "zetprof.ini"

// 32 or 64: the kind of this zetsetup, and of the kit it installs.
constexpr int KIT_BITS = sizeof(void*) * 8;
// The kind of the program or library file at `path`, from its header: 32 (x86), 64 (x64),
// or 0 when it is no Windows image of either kind or cannot be read.
int ImageBits(const std::string& path);

// The offset of the last character of `path` that is one of `set`, stepping by character of
// the ANSI code page (the second byte of a double-byte character is no separator); npos
// when there is none.
size_t LastSeparator(const std::string& path, const char* set = "\\");
// `path` without the backslashes (and slashes) at its end, by character as above.
std::string WithoutTrailingSlash(std::string path);

// true when the names or paths are one as the spooler compares them (SameName).
bool SameText(const std::string& a, const std::string& b);

// zetsetup.exe's own folder, with a trailing backslash.
std::string ModuleDir();
// "<Program Files>\ORVEL\Zetwatch"; empty when the Program Files folder is unknown.
std::string DefaultInstallDir();
// The full path of `dir` without a trailing backslash. false with a message when it is
// not a usable folder path (relative paths are made absolute; a drive's root is refused).
bool NormalizeDir(const std::string& dir, std::string* out, std::string* error);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// true when both files exist and hold the same bytes.
bool SameContents(const std::string& a, const std::string& b);
// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Deletes a file; true when it is gone (also when it never was there).
bool RemoveFile(const std::string& path);
void RemoveDirIfEmpty(const std::string& dir);

// Creates `dir` and its missing parents. *created receives the folders made, outermost
// first. false with a message (and nothing left made) when a folder cannot be made, for
// example because a file stands where it should go.
bool CreateDirectoryTree(const std::string& dir, std::vector<std::string>* created, std::string* error);

// One file as it stood when taken (its bytes, or that it was missing); Restore puts it
// back or deletes it.
class FileSnapshot {
public:
    explicit FileSnapshot(std::string path);
    bool Existed() const { return m_existed; }
    void Restore() const;

private:
    std::string m_path, m_bytes;
    bool m_existed = false;
};

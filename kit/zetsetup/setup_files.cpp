#include "setup_files.h"

#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include "driver_config.h"
#include "program_folder.h"
#include "setup_args.h"
#include "strutil.h"

const KitFile g_kitFiles[] = {
    {KIT_MONITOR_EXE, true, true},     {KIT_RES_DLL, true, true},    {KIT_RES_DLL_JA, true, true},
    {KIT_PRN_DLL, true, true},         {STATUS_EXE_DEFAULT, false, false}, {KIT_TOOL_EXE, false, false},
};
const size_t g_kitFileCount = sizeof(g_kitFiles) / sizeof(g_kitFiles[0]);

namespace {

std::string Parent(const std::string& path)
{
    size_t slash = LastSeparator(path, "\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

} // namespace

size_t LastSeparator(const std::string& path, const char* set)
{
    const char* last = FindLastCharOf(path.c_str(), set);
    return last ? static_cast<size_t>(last - path.c_str()) : std::string::npos;
}

bool SameText(const std::string& a, const std::string& b)
{
    return SameName(a.c_str(), b.c_str()) != 0;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 3 && EndsWithCharOf(path.c_str(), "\\/"))
        path.pop_back();
    return path;
}

int ImageBits(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    bool read = fread(&dos, sizeof(dos), 1, file) == 1 && dos.e_magic == IMAGE_DOS_SIGNATURE && dos.e_lfanew > 0 &&
                fseek(file, dos.e_lfanew, SEEK_SET) == 0 && fread(&signature, sizeof(signature), 1, file) == 1 &&
                signature == IMAGE_NT_SIGNATURE && fread(&header, sizeof(header), 1, file) == 1;
    fclose(file);
    if (!read)
        return 0;
    if (header.Machine == IMAGE_FILE_MACHINE_I386)
        return 32;
    return header.Machine == IMAGE_FILE_MACHINE_AMD64 ? 64 : 0;
}

std::string ModuleDir()
{
    char folder[MAX_PATH];
    return ProgramFolder(folder, sizeof(folder)) ? std::string(folder) + "\\" : ".\\";
}

std::string DefaultInstallDir()
{
    char folder[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0])
        return "";
    return WithoutTrailingSlash(folder) + "\\" + SETUP_DEFAULT_SUBDIR;
}

bool NormalizeDir(const std::string& dir, std::string* out, std::string* error)
{
    char full[MAX_PATH] = {0};
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(dir.c_str(), MAX_PATH, full, &filePart);
    if (n == 0 || n >= MAX_PATH) {
        *error = "the install folder \"" + dir + "\" is not a usable path";
        return false;
    }
    std::string path = WithoutTrailingSlash(full);
    if (path.size() <= 3) {
        *error = "the install folder must be a folder, not the root of a drive: \"" + path + "\"";
        return false;
    }
    *out = path;
    return true;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::string& path, std::string* bytes)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes->append(buffer, n);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool SameContents(const std::string& a, const std::string& b)
{
    std::string x, y;
    return ReadWholeFile(a, &x) && ReadWholeFile(b, &y) && x == y;
}

bool RemoveFile(const std::string& path)
{
    if (!PathExists(path))
        return true;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

void RemoveDirIfEmpty(const std::string& dir)
{
    RemoveDirectoryA(dir.c_str()); // fails, as wanted, while anything is left in it
}

bool CreateDirectoryTree(const std::string& dir, std::vector<std::string>* created, std::string* error)
{
    std::vector<std::string> missing; // innermost first
    for (std::string path = dir; !path.empty() && !IsDirectory(path); path = Parent(path)) {
        if (PathExists(path)) {
            *error = "cannot create the folder \"" + dir + "\": \"" + path + "\" is a file";
            return false;
        }
        missing.push_back(path);
        if (path.size() <= 3)
            break;
    }
    created->clear();
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryA(it->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            *error = "cannot create the folder \"" + *it + "\" (error " + std::to_string(GetLastError()) + ")";
            for (auto made = created->rbegin(); made != created->rend(); ++made)
                RemoveDirIfEmpty(*made);
            created->clear();
            return false;
        }
        created->push_back(*it);
    }
    return true;
}

FileSnapshot::FileSnapshot(std::string path) : m_path(std::move(path))
{
    m_existed = PathExists(m_path) && ReadWholeFile(m_path, &m_bytes);
}

void FileSnapshot::Restore() const
{
    if (m_existed)
        WriteWholeFile(m_path, m_bytes);
    else
        RemoveFile(m_path);
}

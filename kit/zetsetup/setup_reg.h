// Small registry helpers of the installer, on std::string, and a snapshot of one value
// that can put the value back as it was.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class UndoLog;

// Every HKLM access of these helpers goes to the registry view (REG_VIEW_OWN or
// REG_VIEW_OTHER) selected by the innermost live ScopedMachineView (the program's own view
// when there is none): the records that an installer of the other kind wrote are read and
// removed through the same helpers.
class ScopedMachineView {
public:
    explicit ScopedMachineView(REGSAM view);
    ~ScopedMachineView();
    ScopedMachineView(const ScopedMachineView&) = delete;
    ScopedMachineView& operator=(const ScopedMachineView&) = delete;

private:
    REGSAM m_previous;
};

bool RegKeyExists(HKEY root, const std::string& path);
// A value of any type as raw bytes; false when the key or value is missing.
bool RegReadRaw(HKEY root, const std::string& path, const char* name, std::string* data, DWORD* type);
// A string value without its terminator; false when missing.
bool RegReadString(HKEY root, const std::string& path, const char* name, std::string* value);
// A 4-byte number; false when missing or of another size.
bool RegReadDword(HKEY root, const std::string& path, const char* name, DWORD* value);
// Write a value, creating the key (and its parents) when needed. *created (optional) is
// set to true when the key was new.
bool RegWriteRaw(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data,
                 bool* created = nullptr);
bool RegWriteString(HKEY root, const std::string& path, const char* name, const std::string& value,
                    bool* created = nullptr);
bool RegWriteDword(HKEY root, const std::string& path, const char* name, DWORD value, bool* created = nullptr);
// Deletes a value; true when it is gone (also when it was never there).
bool RegRemoveValue(HKEY root, const std::string& path, const char* name);
// Deletes a key with all its subkeys and values; true when it is gone.
bool RegRemoveTree(HKEY root, const std::string& path);
// Deletes a key only when it has neither subkeys nor values.
void RegRemoveKeyIfEmpty(HKEY root, const std::string& path);
// The names of a key's direct subkeys; empty when the key is missing.
std::vector<std::string> RegSubkeys(HKEY root, const std::string& path);

// One registry value as it stood when taken; Restore puts it back or removes it.
class RegValueSnapshot {
public:
    RegValueSnapshot(HKEY root, std::string path, std::string name);
    bool Existed() const { return m_existed; }
    const std::string& Data() const { return m_data; }
    void Restore() const;

private:
    HKEY m_root;
    std::string m_path, m_name, m_data;
    DWORD m_type = REG_NONE;
    bool m_existed = false;
};

// Every value of one key (its subkeys are not looked at), to be written elsewhere: a
// record kept aside and put back.
struct RegValueData {
    std::string name;
    DWORD type;
    std::string data;
};
// false when the key is missing.
bool RegReadValues(HKEY root, const std::string& path, std::vector<RegValueData>* values);
// Writes the values into the key (made when missing); false when one cannot be written.
bool RegWriteValues(HKEY root, const std::string& path, const std::vector<RegValueData>& values);

// One value that an operation writes.
struct RegWrite {
    HKEY root;
    std::string path;
    std::string name;
    DWORD type;
    std::string data;
    static RegWrite String(HKEY root, std::string path, std::string name, const std::string& value);
    static RegWrite Dword(HKEY root, std::string path, std::string name, DWORD value);
};

// Writes the values in order. For each, `undo` learns how to put the old value back (or
// remove the new one) and to remove a key that the write created, with its parents up to
// REG_PRUNE_TOP when they are left empty. false with a message when a write fails; the
// values written before it stay until the undo log rolls back.
bool ApplyValues(const std::vector<RegWrite>& writes, UndoLog* undo, std::string* error);

// The company key: the only keys that are pruned are this one and those below it.
#define REG_PRUNE_TOP "software\\ORVEL"
// Removes `path` when it is empty, then each parent in turn while it is empty, up to and
// including REG_PRUNE_TOP. Paths outside REG_PRUNE_TOP are left alone.
void RegPruneEmptyKeys(HKEY root, const std::string& path);

// What an installation may change, read from the real system: the registry branches of the
// kit, the monitor and Windows Installer, the files under Program Files, the installer's
// package cache and the printer driver folder, the monitor's trace log, and the spooler's
// printers and drivers. Two
// snapshots differ exactly where something was added, changed or removed.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace zt {

class SystemSnapshot {
public:
    static SystemSnapshot Take();
    // One line per difference: "+ entry = value" (added), "- entry = value" (removed),
    // "~ entry: old -> new" (changed); "" when the snapshots are equal.
    static std::string Diff(const SystemSnapshot& before, const SystemSnapshot& after);
    size_t Size() const { return m_entries.size(); }

private:
    // "reg HKLM\<key>" (a key), "reg HKLM\<key> [<value>]", "file <path>", "printer <name>",
    // "driver <name>", each with a text that shows its contents.
    std::map<std::string, std::string> m_entries;

    void AddKeyTree(HKEY root, const char* rootName, const std::string& path);
    void AddFileTree(const std::string& dir);
    void AddSpooler();
};

} // namespace zt

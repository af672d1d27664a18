#include "setup_reg.h"

#include <string.h>

#include "reg_view.h"
#include "scoped.h"
#include "setup_files.h"
#include "setup_undo.h"

namespace {

REGSAM g_machineView = REG_VIEW_OWN;

REGSAM ViewOf(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? g_machineView : 0;
}

bool OpenKey(HKEY root, const std::string& path, REGSAM access, ScopedRegKey* key)
{
    if (root == HKEY_LOCAL_MACHINE)
        return OpenMachineKeyInView(path.c_str(), access, g_machineView, key->Put()) == ERROR_SUCCESS;
    return RegOpenKeyExA(root, path.c_str(), 0, access, key->Put()) == ERROR_SUCCESS;
}

} // namespace

ScopedMachineView::ScopedMachineView(REGSAM view) : m_previous(g_machineView)
{
    g_machineView = view;
}

ScopedMachineView::~ScopedMachineView()
{
    g_machineView = m_previous;
}

bool RegKeyExists(HKEY root, const std::string& path)
{
    ScopedRegKey key;
    return OpenKey(root, path, KEY_READ, &key);
}

bool RegReadRaw(HKEY root, const std::string& path, const char* name, std::string* data, DWORD* type)
{
    ScopedRegKey key;
    if (!OpenKey(root, path, KEY_READ, &key))
        return false;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data->assign(size, '\0');
    if (size == 0)
        return true;
    if (RegQueryValueExA(key.Get(), name, nullptr, type, reinterpret_cast<BYTE*>(&(*data)[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    data->resize(size);
    return true;
}

bool RegReadString(HKEY root, const std::string& path, const char* name, std::string* value)
{
    std::string data;
    DWORD type = 0;
    if (!RegReadRaw(root, path, name, &data, &type) || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    size_t end = data.find('\0');
    *value = data.substr(0, end);
    return true;
}

bool RegReadDword(HKEY root, const std::string& path, const char* name, DWORD* value)
{
    std::string data;
    DWORD type = 0;
    if (!RegReadRaw(root, path, name, &data, &type) || data.size() != sizeof(DWORD))
        return false;
    memcpy(value, data.data(), sizeof(DWORD));
    return true;
}

bool RegWriteRaw(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data,
                 bool* created)
{
    ScopedRegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | ViewOf(root), nullptr,
                        key.Put(), &disposition) != ERROR_SUCCESS)
        return false;
    if (created)
        *created = disposition == REG_CREATED_NEW_KEY;
    return RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegWriteString(HKEY root, const std::string& path, const char* name, const std::string& value, bool* created)
{
    return RegWriteRaw(root, path, name, REG_SZ, std::string(value.c_str(), value.size() + 1), created);
}

bool RegWriteDword(HKEY root, const std::string& path, const char* name, DWORD value, bool* created)
{
    return RegWriteRaw(root, path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value)),
                       created);
}

bool RegRemoveValue(HKEY root, const std::string& path, const char* name)
{
    ScopedRegKey key;
    if (!OpenKey(root, path, KEY_ALL_ACCESS, &key))
        return true;
    LONG rc = RegDeleteValueA(key.Get(), name);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool RegRemoveTree(HKEY root, const std::string& path)
{
    if (path.empty())
        return false; // never the root itself
    if (!RegKeyExists(root, path))
        return true;
    {
        ScopedRegKey key;
        if (OpenKey(root, path, KEY_ALL_ACCESS, &key))
            RegDeleteTreeA(key.Get(), nullptr);
    }
    RegDeleteKeyExA(root, path.c_str(), ViewOf(root), 0);
    return !RegKeyExists(root, path);
}

void RegRemoveKeyIfEmpty(HKEY root, const std::string& path)
{
    DWORD subkeys = 0, values = 0;
    {
        ScopedRegKey key;
        if (path.empty() || !OpenKey(root, path, KEY_READ, &key))
            return;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
    }
    if (subkeys == 0 && values == 0)
        RegDeleteKeyExA(root, path.c_str(), ViewOf(root), 0);
}

std::vector<std::string> RegSubkeys(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    ScopedRegKey key;
    if (!OpenKey(root, path, KEY_READ, &key))
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

bool RegReadValues(HKEY root, const std::string& path, std::vector<RegValueData>* values)
{
    values->clear();
    ScopedRegKey key;
    if (!OpenKey(root, path, KEY_READ, &key))
        return false;
    DWORD nameMax = 0, dataMax = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameMax, &dataMax,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<char> name(nameMax + 1);
    std::vector<BYTE> data(dataMax + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key.Get(), i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize) !=
            ERROR_SUCCESS)
            break;
        values->push_back({std::string(name.data(), nameSize), type,
                           std::string(reinterpret_cast<const char*>(data.data()), dataSize)});
    }
    return true;
}

bool RegWriteValues(HKEY root, const std::string& path, const std::vector<RegValueData>& values)
{
    bool written = true;
    for (const RegValueData& v : values)
        written = RegWriteRaw(root, path, v.name.c_str(), v.type, v.data) && written;
    return written;
}

RegValueSnapshot::RegValueSnapshot(HKEY root, std::string path, std::string name)
    : m_root(root), m_path(std::move(path)), m_name(std::move(name))
{
    m_existed = RegReadRaw(m_root, m_path, m_name.c_str(), &m_data, &m_type);
}

void RegValueSnapshot::Restore() const
{
    if (m_existed)
        RegWriteRaw(m_root, m_path, m_name.c_str(), m_type, m_data);
    else
        RegRemoveValue(m_root, m_path, m_name.c_str());
}

RegWrite RegWrite::String(HKEY root, std::string path, std::string name, const std::string& value)
{
    return RegWrite{root, std::move(path), std::move(name), REG_SZ, std::string(value.c_str(), value.size() + 1)};
}

RegWrite RegWrite::Dword(HKEY root, std::string path, std::string name, DWORD value)
{
    return RegWrite{root, std::move(path), std::move(name), REG_DWORD,
                    std::string(reinterpret_cast<const char*>(&value), sizeof(value))};
}

bool ApplyValues(const std::vector<RegWrite>& writes, UndoLog* undo, std::string* error)
{
    for (const RegWrite& w : writes) {
        bool keyExisted = RegKeyExists(w.root, w.path);
        RegValueSnapshot before(w.root, w.path, w.name);
        if (!keyExisted) {
            HKEY root = w.root;
            std::string path = w.path;
            undo->Add([root, path] { RegPruneEmptyKeys(root, path); });
        }
        undo->Add([before] { before.Restore(); });
        if (!RegWriteRaw(w.root, w.path, w.name.c_str(), w.type, w.data)) {
            *error = "cannot write the registry value " + w.name + " under " +
                     (w.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + w.path;
            return false;
        }
    }
    return true;
}

void RegPruneEmptyKeys(HKEY root, const std::string& path)
{
    const std::string top = REG_PRUNE_TOP;
    if (path.size() < top.size() || _strnicmp(path.c_str(), top.c_str(), top.size()) != 0 ||
        (path.size() > top.size() && path[top.size()] != '\\'))
        return;
    for (std::string key = path; key.size() >= top.size(); key = key.substr(0, LastSeparator(key))) {
        RegRemoveKeyIfEmpty(root, key);
        if (RegKeyExists(root, key))
            return; // not empty: neither are its parents
    }
}

#include "store_fixture.h"

namespace zt {

const char kStoreKey[] = "software\\ORVEL\\ZET3\\ZETData";

void TargetStoreTest::SetUp()
{
    m_backup = "software\\zettray-tests\\" + UniqueName("store");
    HKEY store = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStoreKey, 0, KEY_READ, &store) == ERROR_SUCCESS) {
        HKEY backup = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup,
                            nullptr) == ERROR_SUCCESS) {
            m_saved = RegCopyTreeA(store, nullptr, backup) == ERROR_SUCCESS;
            RegCloseKey(backup);
        }
        RegCloseKey(store);
        ASSERT_TRUE(m_saved) << "the store could not be copied aside";
    }
    DeleteKeyTree(HKEY_CURRENT_USER, kStoreKey);
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kStoreKey));
}

void TargetStoreTest::TearDown()
{
    DeleteKeyTree(HKEY_CURRENT_USER, kStoreKey);
    if (!m_saved)
        return;
    HKEY backup = nullptr;
    HKEY store = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, m_backup.c_str(), 0, KEY_READ, &backup) == ERROR_SUCCESS) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kStoreKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &store,
                            nullptr) == ERROR_SUCCESS) {
            EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(backup, nullptr, store)) << "the store was not restored";
            RegCloseKey(store);
        }
        RegCloseKey(backup);
    }
    DeleteKeyTree(HKEY_CURRENT_USER, m_backup);
}

std::string TargetStoreTest::TargetPath(const char* list, const char* subkey)
{
    return std::string(list) + "\\" + subkey;
}

bool TargetStoreTest::MakeTarget(const char* list, const char* subkey, const char* name)
{
    std::string path = TargetPath(list, subkey);
    if (name)
        return SetString(HKEY_CURRENT_USER, path, "Name", name);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DriverKit::DriverKit() : m_driverKey(HKEY_LOCAL_MACHINE, "software\\ORVEL\\ZET3\\Driver\\" + m_printer.Driver()) {}

bool DriverKit::Install(const std::string& prnDll, const std::string& extraLines, const std::string& installPath)
{
    if (!m_printer.Ok())
        return false;
    std::string dir = m_dir.Path().substr(0, m_dir.Path().size() - 1);
    std::string profile = m_dir.Path() + "x.ini";
    std::string ini = "[" + m_model + "]\r\nPrnDll=" + prnDll + "\r\n" + extraLines;
    const std::string& key = m_driverKey.Path();
    return WriteFileBytes(profile, ini) &&
           CopyFileA(BinPath("zetprn.dll").c_str(), (m_dir.Path() + "zetprn.dll").c_str(), FALSE) &&
           SetString(HKEY_LOCAL_MACHINE, key, "InstallPath", installPath.empty() ? dir : installPath) &&
           SetString(HKEY_LOCAL_MACHINE, key, "Profile", profile);
}

DWORD TargetDword(const std::string& path, const char* name)
{
    DWORD value = 0;
    return GetDword(HKEY_CURRENT_USER, path, name, &value) ? value : ~0u;
}

} // namespace zt

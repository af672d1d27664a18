#include "store_fixture.h"

namespace zt {

const char kStoreKey[] = "software\\ORVEL\\ZET3\\ZETData";

void TargetStoreTest::SetUp()
{
    m_store.reset(new SetAsideKey(HKEY_CURRENT_USER, kStoreKey));
    ASSERT_TRUE(m_store->Ok()) << "the store could not be set aside";
}

void TargetStoreTest::TearDown()
{
    m_store.reset();
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

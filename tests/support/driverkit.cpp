#include "driverkit.h"

#include <string.h>

#include <vector>

namespace zt {

namespace {

const char kDriverKeyPrefix[] = "software\\ORVEL\\ZET3\\Driver\\";
const char kPrinterList[] = "software\\ORVEL\\ZET3\\ZETData\\OVLTarget";
const char kRunKey[] = "software\\Microsoft\\Windows\\CurrentVersion\\Run";

} // namespace

bool CopyFileTo(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::vector<std::string> TargetsNamed(const std::string& name)
{
    std::vector<std::string> keys;
    for (const std::string& sub : SubkeyNames(HKEY_CURRENT_USER, kPrinterList)) {
        std::string path = std::string(kPrinterList) + "\\" + sub;
        std::string value;
        if (GetString(HKEY_CURRENT_USER, path, "Name", &value) && _stricmp(value.c_str(), name.c_str()) == 0)
            keys.push_back(path);
    }
    return keys;
}

void RemoveTargetsNamed(const std::string& name)
{
    for (const std::string& path : TargetsNamed(name))
        DeleteKeyTree(HKEY_CURRENT_USER, path);
}

std::string TestDriverKit::DriverKey() const
{
    return kDriverKeyPrefix + Driver();
}

std::string TestDriverKit::TargetKey() const
{
    std::vector<std::string> keys = TargetsNamed(Printer());
    return keys.empty() ? "" : keys[0];
}

TestDriverKit::TestDriverKit(const KitOptions& options)
    : m_printer("", options.port, ""), m_model(UniqueName("ztmodel")), m_software(options.driverKeyView)
{
    if (!m_printer.Ok())
        return;
    const std::string dir = m_dir.Path();
    m_profile = dir + "zetprof.ini";

    std::string ini = "[" + m_model + "]\r\n";
    if (options.prnDll) {
        if (!CopyFileTo(options.prnDllFrom.empty() ? BinPath("zetprn.dll") : options.prnDllFrom, dir + "zetprn.dll"))
            return;
        ini += "PrnDll=zetprn.dll\r\n";
    }
    ini += "TrayIconSelected=" + std::to_string(options.trayIconSelected) + "\r\n";
    ini += "TrayIconEnable=" + std::to_string(options.trayIconEnable) + "\r\n";
    ini += "TrayIconEndTime=" + std::to_string(options.trayIconEndTime) + "\r\n";
    if (options.resDll) {
        if (!CopyFileTo(options.resDllFrom.empty() ? BinPath("zetres.dll") : options.resDllFrom, dir + "zetres.dll"))
            return;
    }
    // The language sections name the library even when the file is missing.
    ini += "[English]\r\nResDll=zetres.dll\r\n[Japanese]\r\nResDll=zetres.dll\r\n";
    if (!WriteFileBytes(m_profile, ini))
        return;
    if (!options.statusProgram.empty() && !CopyFileTo(options.statusProgram, dir + "J_R10RN1.EXE"))
        return;

    std::string installPath = dir.substr(0, dir.size() - 1); // stored without its backslash
    const std::string driverKey = UnderSoftware(DriverKey());
    if (!SetString(m_software.Root(), driverKey, "InstallPath", installPath) ||
        !SetString(m_software.Root(), driverKey, "Profile", m_profile) ||
        !SetString(m_software.Root(), driverKey, "ModelID", m_model))
        return;
    if (options.menu) {
        std::string tool = options.toolProgram.empty() ? dir + "zettool.exe" : options.toolProgram;
        for (int command = 920; command <= 922; ++command) {
            std::string data = "\"" + tool + "\" /T" + std::to_string(command);
            if (!SetString(m_software.Root(), UnderSoftware(MenuKey()), std::to_string(command).c_str(), data))
                return;
        }
    }
    m_ok = true;
}

TestDriverKit::~TestDriverKit()
{
    const std::string printer = Printer();
    DeleteKeyTree(m_software.Root(), UnderSoftware(DriverKey()));
    RemoveTargetsNamed(printer);
    DeleteValue(HKEY_CURRENT_USER, kRunKey, printer.c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, printer.c_str());
}

} // namespace zt

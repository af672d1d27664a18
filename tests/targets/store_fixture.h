// Fixtures for tests of the per-user printer target store and the sample printer library.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "testsupport.h"

namespace zt {

// HKCU "software\ORVEL\ZET3\ZETData" as the store's parent key.
extern const char kStoreKey[];

// Each test starts with no store at all (the state of a user's first run): whatever the
// prefix held is copied aside and restored at the end, and what the test made is removed.
class TargetStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "<list>\<subkey>".
    static std::string TargetPath(const char* list, const char* subkey);
    // A target subkey made directly, with "Name" when name is non-null.
    static bool MakeTarget(const char* list, const char* subkey, const char* name);

private:
    std::unique_ptr<SetAsideKey> m_store;
};

// A printer whose driver key leads to a profile INI file naming a printer library:
// InstallPath = a fresh directory holding a copy of zetprn.dll, Profile = <dir>\x.ini with
// the model's section "PrnDll=<prnDll>" and `extraLines`.
class DriverKit {
public:
    DriverKit();
    bool Install(const std::string& prnDll, const std::string& extraLines = "",
                 const std::string& installPath = "");

    const TestPrinter& Printer() const { return m_printer; }
    const std::string& Model() const { return m_model; }

private:
    TestPrinter m_printer;
    ScratchKey m_driverKey;
    TempDirectory m_dir{"ztkit"};
    std::string m_model = UniqueName("ztmodel");
};

// The DWORD value of a target, or ~0u when it is missing.
DWORD TargetDword(const std::string& path, const char* name);

} // namespace zt

#include "zetprn.h"

#include <type_traits>

#include "driver_config.h"
#include "scoped.h"
#include "strutil.h"
#include "targets.h"

namespace {

const char kEnableValue[] = TARGET_TRAY_ENABLE;
const char kSelectedValue[] = TARGET_TRAY_SELECTED;
const UINT kDefaultEnable = 1;
const UINT kDefaultSelected = 0;

bool IsEmpty(const char* text)
{
    return !text || !*text;
}

// Writes a REG_DWORD unless the target already holds a value of that name.
bool FillDword(HKEY target, const char* name, DWORD value)
{
    if (RegQueryValueExA(target, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return true;
    return RegSetValueExA(target, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

} // namespace

static_assert(std::is_same<decltype(&PrSetRegDefaultValue), PrSetRegDefaultValueProc>::value,
              "the export has the type its caller expects");

extern "C" int WINAPI PrSetRegDefaultValue(const char* printerName, const char* driverName, const char* portName,
                                           const char* modelId, DWORD, DWORD, DWORD)
{
    int portList = (IsEmpty(printerName) && !IsEmpty(portName)) ? 1 : 0;
    char path[ZT_TEXT] = "";
    if (FindTargetReg(portList ? portName : printerName, portList, path) != 0 || !path[0])
        return ZETPRN_NO_TARGET;

    UINT enable = kDefaultEnable;
    UINT selected = kDefaultSelected;
    char profile[ZT_TEXT] = "";
    if (GetProfilePath(profile, driverName, modelId) && profile[0]) {
        enable = GetPrivateProfileIntA(modelId, kEnableValue, kDefaultEnable, profile);
        selected = GetPrivateProfileIntA(modelId, kSelectedValue, kDefaultSelected, profile);
    }

    ScopedRegKey target;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, target.Put()) != ERROR_SUCCESS)
        return ZETPRN_WRITE_FAILED;
    if (!FillDword(target.Get(), kEnableValue, enable) || !FillDword(target.Get(), kSelectedValue, selected))
        return ZETPRN_WRITE_FAILED;
    return ZETPRN_OK;
}

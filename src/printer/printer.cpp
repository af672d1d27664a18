#include "printer.h"

#include <stdlib.h>
#include <string.h>

int IsWinNT()
{
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info); // 148 bytes
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults)
{
    BOOL result = OpenPrinterA(const_cast<char*>(printerName), outHandle, defaults);
    if (result && outHandle && *outHandle)
        return result;
    if (!printerName || !outHandle || !IsWinNT())
        return result;

    // Room for the whole name, terminator included, as wide characters.
    size_t chars = strlen(printerName) + 1;
    WCHAR* wide = static_cast<WCHAR*>(calloc(chars, sizeof(WCHAR)));
    if (!wide)
        return result;
    SetLastError(ERROR_SUCCESS);
    int converted = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, printerName, -1,
                                        wide, static_cast<int>(chars));
    if (converted != 0 && GetLastError() != ERROR_NO_UNICODE_TRANSLATION) {
        PRINTER_DEFAULTSW wideDefaults;
        memset(&wideDefaults, 0, sizeof(wideDefaults));
        if (defaults)
            wideDefaults.DesiredAccess = defaults->DesiredAccess;
        result = OpenPrinterW(wide, outHandle, defaults ? &wideDefaults : nullptr);
    }
    free(wide);
    return result;
}

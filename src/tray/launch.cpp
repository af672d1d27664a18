// Starting the driver's status-window program (Printer Status, Monitoring Preferences)
// and the auxiliary tools as separate processes that the monitor never waits for.
#include <windows.h>

#include <string.h>

#include "cmdinfo.h"
#include "driver_config.h"
#include "mainframe.h"
#include "strutil.h"
#include "trace.h"

namespace {

// The longest status-program command line: a quoted 259-character path and three
// length-prefixed values of 259 characters, with the fixed text around them.
const size_t kStatusCommandLineSize = 4 * 260 + 64;

} // namespace

int CMainFrame::StartExe(const char* commandLine)
{
    TraceStr("CMainFrame::StartExe : lpszCmdLine", commandLine);
    if (!commandLine)
        return 0;
    // CreateProcessA may write into its command-line buffer: give it a copy.
    size_t length = strlen(commandLine);
    char* buffer = static_cast<char*>(LocalAlloc(LMEM_FIXED, length + 1));
    if (!buffer)
        return 0;
    memcpy(buffer, commandLine, length + 1);

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    BOOL started =
        CreateProcessA(nullptr, buffer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    LocalFree(buffer);
    if (started) {
        // The monitor never waits for or watches the started program.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return started ? 1 : 0;
}

int CMainFrame::StartZETExe(const char* programPath, int preferences)
{
    TraceMsg("CMainFrame::StartZETExe");

    // The port as the spooler reported it last (it may have changed since the start).
    CCmdInfo info;
    info.m_fE = preferences ? 1 : 0;
    SafeCopy(info.m_szPrinterName, m_szPrinterName);
    SafeCopy(info.m_szDriverName, m_szDriverName);

    TraceStr("CMainFrame::StartZETExe : printer name", m_szPrinterName);
    TraceStr("CMainFrame::StartZETExe : port name", m_szPortName);
    TraceStr("CMainFrame::StartZETExe : model id", m_szModelID);

    // The program's path is quoted, so that a path with blanks (C:\Program Files\...)
    // can never start another program whose name is a prefix of it.
    char commandLine[kStatusCommandLineSize];
    if (info.CreateParamFile(m_szPrinterName, m_szPortName, m_szModelID)) {
        TraceMsg("CMainFrame::StartZETExe : Parameter file");
        SafeFormat(commandLine, sizeof(commandLine), "\"%s\" /F \"%s\"", programPath, info.m_szTempFileName);
    } else {
        // No parameter file: the values travel on the command line, each with its length,
        // so that quotes and slashes inside them survive.
        SafeFormat(commandLine, sizeof(commandLine), "\"%s\" /P%d \"%s\" /O%d \"%s\" /M%d \"%s\" %s", programPath,
                   static_cast<int>(strlen(m_szPrinterName)), m_szPrinterName,
                   static_cast<int>(strlen(m_szPortName)), m_szPortName, static_cast<int>(strlen(m_szModelID)),
                   m_szModelID, preferences ? "/E" : "");
    }
    TraceStr("CMainFrame::StartZETExe : command line", commandLine);

    if (StartExe(commandLine))
        return 1;
    if (info.m_szTempFileName[0])
        info.DeleteParamFile(info.m_szTempFileName);
    return 0;
}

void CMainFrame::OnPrinterStatus()
{
    char path[260];
    memset(path, 0, sizeof(path));
    if (!GetStatusExePath(path, m_szDriverName, m_szModelID) || !StartZETExe(path, 0))
        MessageBoxA(m_hWnd, m_szMsg[TEXT_STATUS_FAILED], m_szMsg[TEXT_CAPTION], MB_OK);
}

void CMainFrame::OnMonitorPrefs()
{
    char path[260];
    memset(path, 0, sizeof(path));
    if (!GetStatusExePath(path, m_szDriverName, m_szModelID) || !StartZETExe(path, 1))
        MessageBoxA(m_hWnd, m_szMsg[TEXT_PREFS_FAILED], m_szMsg[TEXT_CAPTION], MB_OK);
}

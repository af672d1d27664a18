#include "initinstance.h"

#include <string.h>

#include "cmdinfo.h"
#include "mainframe.h"
#include "printer.h"
#include "startup_reg.h"
#include "strutil.h"
#include "trace.h"

namespace {

void WaitStartupDelay(const CCmdInfo& cmdInfo)
{
    if (!cmdInfo.m_bFrom) {
        Sleep(STARTUP_DELAY_MS);
        return;
    }
    // Started at log-on: let an already running monitor settle first.
    Sleep(STARTUP_DELAY_FROM_RUN_MS);
    if (FindWindowA(FRAME_WINDOW_CLASS, FRAME_WINDOW_TITLE))
        Sleep(STARTUP_DELAY_OTHER_MONITOR_MS);
}

// "/A " is looked for in the raw text, as plain substrings.
bool HasAttachOption(const char* cmdLine)
{
    return cmdLine && (strstr(cmdLine, "/A ") || strstr(cmdLine, "/a "));
}

} // namespace

const wchar_t* WideArguments(const wchar_t* commandLine)
{
    if (!commandLine)
        return nullptr;
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

int InitInstance(const char* cmdLine, CMainFrame* frame, HINSTANCE instance, const wchar_t* wideArgs)
{
    TraceMsg("InitInstance");
    if (wideArgs && !WideFitsCodePage(wideArgs)) {
        TraceMsg("InitInstance : the command line holds characters that the ANSI code page cannot hold; ending");
        return 0;
    }
    CCmdInfo cmdInfo(cmdLine);
    TraceStr("cmdInfo.m_szPrinterName", cmdInfo.m_szPrinterName);
    TraceInt("cmdInfo.m_bFrom", cmdInfo.m_bFrom);

    WaitStartupDelay(cmdInfo);

    TraceStr("cmdInfo.m_szPortName", cmdInfo.m_szPortName);
    TraceStr("cmdInfo.m_szDriverName", cmdInfo.m_szDriverName);
    TraceStr("cmdInfo.m_szModelID", cmdInfo.m_szModelID);
    TraceInt("cmdInfo.m_fRemove", cmdInfo.m_fRemove);
    TraceInt("cmdInfo.m_fIconInstall", cmdInfo.m_fIconInstall);

    // Only a printer that the spooler says does not exist is gone; one that it cannot
    // reach now is started and watched until it answers.
    int printerInfo = cmdInfo.m_szPrinterName[0] ? cmdInfo.CompletePrinterInfo() : 1;
    bool printerGone = printerInfo == 0;
    if (printerInfo == PRINTER_INFO_UNKNOWN)
        TraceMsg("InitInstance : the printer cannot be reached now; starting all the same");
    bool nothingNamed = !cmdInfo.m_szPrinterName[0] && !cmdInfo.m_szPortName[0];
    if (printerGone && IsUnfitPrinterImage(cmdInfo.m_szPrinterName)) {
        TraceMsg("InitInstance : the printer's name cannot be held by the ANSI code page; ending");
        return 0;
    }
    if (printerGone || nothingNamed) {
        if (HasAttachOption(cmdLine)) {
            DeleteStartupReg(cmdInfo.m_szPrinterName, cmdInfo.m_szParamFile);
            cmdInfo.DeleteParamFile(cmdInfo.m_szParamFile);
        }
        return 0;
    }
    if (!cmdInfo.m_szModelID[0] || !frame)
        return 0;

    // A failed window creation is not fatal here: StartUp then works without a window.
    frame->CreateFrameWindow(FRAME_WINDOW_CLASS, FRAME_WINDOW_TITLE, FRAME_WINDOW_STYLE, instance);
    SafeCopy(frame->m_szModelID, cmdInfo.m_szModelID);
    SafeCopy(frame->m_szPrinterName, cmdInfo.m_szPrinterName);
    SafeCopy(frame->m_szPortName, cmdInfo.m_szPortName);
    SafeCopy(frame->m_szDriverName, cmdInfo.m_szDriverName);
    frame->m_fRemove = cmdInfo.m_fRemove;
    frame->m_fIconInstall = cmdInfo.m_fIconInstall;

    int result = frame->StartUp();
    TraceInt("MainFrame.StartUp() : Result", result);
    if (result == -1) {
        // This printer can never be served: it must not come back at the next log-on.
        DeleteStartupReg(cmdInfo.m_szPrinterName, cmdInfo.m_szParamFile);
        cmdInfo.DeleteParamFile(cmdInfo.m_szParamFile);
        frame->DisableTrayIcon();
        frame->CleanUp();
        return 0;
    }
    if (result == 0) {
        frame->CleanUp();
        return 0;
    }
    return 1;
}

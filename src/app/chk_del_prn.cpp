// The running monitor's check that its printer (or, for a monitor known only by its port,
// that port) still exists. A deleted printer loses its start-up entries (and their
// parameter files), so that its monitor does not come back.
#include <windows.h>

#include "mainframe.h"
#include "printer.h"
#include "reg_view.h"
#include "scoped.h"
#include "startup_reg.h"
#include "trace.h"

namespace {

// Removes the printer's value, and its /A parameter file, from one Run key.
void RemoveFromRunKey(HKEY root, const char* valueName)
{
    ScopedRegKey run;
    if (RegOpenKeyExA(root, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, run.Put()) == ERROR_SUCCESS)
        RemoveRunEntry(run.Get(), valueName);
}

// The same for the machine's Run key in both registry views: an installer of either kind
// may have written the entry, and Windows runs the entries of both at log-on.
void RemoveFromMachineRunKeys(const char* valueName)
{
    for (REGSAM view : REG_VIEWS) {
        ScopedRegKey run;
        if (OpenMachineKeyInView(RUN_KEY_PATH, KEY_ALL_ACCESS, view, run.Put()) == ERROR_SUCCESS)
            RemoveRunEntry(run.Get(), valueName);
    }
}

} // namespace

int CMainFrame::IsPrinterPresent()
{
    // A monitor known only by its port has no printer to open (an empty name opens none,
    // or the print server): it watches its port instead. Only a complete listing without
    // the port means gone; a spooler that cannot list its ports now is asked next time.
    if (!m_szPrinterName[0]) {
        TraceMsg("enter : PortExists");
        int state = PortExists(m_szPortName);
        TraceMsg("exit : PortExists");
        TraceInt("result", state);
        return state;
    }
    ScopedPrinter printer;
    DWORD error = 0;
    TraceMsg("enter : OV_OpenPrinter");
    int presence = OpenPrinterPresence(m_szPrinterName, &printer, &error);
    TraceMsg("exit : OV_OpenPrinter");
    TraceInt("result", presence == PRESENCE_HERE ? 1 : 0);
    // Only the spooler's "no such printer" is a deletion; anything else is asked again at
    // the next check.
    if (presence == PRESENCE_UNKNOWN)
        TraceInt("CMainFrame::ChkDelPrn : not reachable", static_cast<long>(error));
    return presence;
}

int CMainFrame::ChkDelPrn()
{
    TraceMsg("CMainFrame::ChkDelPrn : start");
    TraceStr("PrinterName", m_szPrinterName);
    if (m_fIconInstall == 1)
        return 1;

    int presence = IsPrinterPresent();
    NotePresence(presence);
    if (presence != PRESENCE_GONE)
        return 1;
    RemoveStartupEntries();
    return 0;
}

void CMainFrame::RemoveStartupEntries()
{
    // The printer is gone: stop checking, and remove its start-up entries.
    if (m_nPrinterCheckTimer) {
        KillTimer(m_hWnd, TIMER_PRINTER_CHECK);
        m_nPrinterCheckTimer = 0;
    }
    const char* valueName = m_szPrinterName[0] ? m_szPrinterName : m_szPortName;
    TraceMsg("Delete Reg HKCU\\run");
    RemoveFromRunKey(HKEY_CURRENT_USER, valueName);
    TraceMsg("Delete Reg HKLM\\run");
    RemoveFromMachineRunKeys(valueName);
}

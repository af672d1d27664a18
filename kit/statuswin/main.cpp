// The driver kit's status-window program (J_R10RN1.EXE). The tray monitor starts it with
// the printer's identity, either as /F and the bare name of a parameter file in the
// temporary directory (read and deleted here) or as length-prefixed values on the command
// line; /E selects the Monitoring Preferences window instead of Printer Status.
// One window of each kind runs per printer: a second start brings the first to the front.
// Exit codes: 0 done (or the first window brought back), 2 no printer named, 3 the
// instance table failed, 4 the window could not be created.
#include <windows.h>

#include "cmdinfo.h"
#include "prefs_window.h"
#include "status_window.h"
#include "window_slot.h"

namespace {

const int kExitDone = 0;
const int kExitNoPrinter = 2;
const int kExitTableFailed = 3;
const int kExitNoWindow = 4;

template <class Window> int RunWindow(const PrinterIdentity& identity, HINSTANCE instance, int show, CWindowSlot* slot)
{
    Window window(identity);
    HWND hwnd = window.Create(instance);
    if (!hwnd)
        return kExitNoWindow;
    slot->Attach(hwnd);
    ShowWindow(hwnd, show);
    SetForegroundWindow(hwnd);
    RunKitMessageLoop(hwnd);
    return kExitDone;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int show)
{
    CCmdInfo info(cmdLine);
    PrinterIdentity identity;
    IdentityFromCmdInfo(info, &identity);
    if (!IdentityKey(identity)[0]) {
        MessageBoxA(nullptr, "No printer was named on the command line.", KIT_CAPTION, MB_OK | MB_ICONERROR);
        return kExitNoPrinter;
    }

    bool prefs = info.m_fE != 0;
    CWindowSlot slot;
    HWND other = nullptr;
    int check = slot.Claim(identity.printer, identity.port, prefs ? SLOT_KIND_PREFS : SLOT_KIND_STATUS, &other);
    if (check == RECORD_LIVE) {
        BringWindowToFront(other);
        return kExitDone;
    }
    if (check != RECORD_CLAIMED) {
        MessageBoxA(nullptr, "Insufficient memory.", KIT_CAPTION, MB_OK | MB_ICONERROR);
        return kExitTableFailed;
    }
    if (prefs)
        return RunWindow<CPrefsWindow>(identity, instance, show, &slot);
    return RunWindow<CStatusWindow>(identity, instance, show, &slot);
}

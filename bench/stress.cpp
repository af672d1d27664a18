// Copies of the monitor started at the same moment, as a log-on or a driver installer
// starts them, repeated many times: what each trial leaves behind.
//
// A trial releases its copies together (each created suspended, then all resumed), waits
// until every copy has ended or runs idle, checks the outcome and closes what runs. Cases:
// 2, 4 and 8 copies of one printer, and one copy of each of 8 printers, each on an
// existing target store (every printer has its target) and on a new one (no store at all);
// and 2, 4 and 8 copies of a printer without a target in a store that holds the target of a
// slow printer, one that takes 10 s to open (a printer on a slow print server): these
// copies are the monitor with that slow spooler (slow_printer.cpp), and they trace, so that
// a wait for a lock that timed out ("going on without it") is counted.
// A trial counts as good when every printer has exactly one running monitor, exactly one
// record in the instance table holding that monitor's window, its per-user Run value, and
// exactly one target with TrayIconEnable = 1. Deletes the whole per-user target store:
// run it in a prefix of its own (`make stress` does).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driverkit.h"
#include "initinstance.h"
#include "monitor_util.h"
#include "slow_printer.h"
#include "startup_reg.h"
#include "targets.h"
#include "testsupport.h"
#include "trace.h"

namespace {

const char kStoreKey[] = "software\\ORVEL\\ZET3\\ZETData";
const DWORD kSettleMs = 60000;

// Existing: every printer has its target. New: no store at all. Slow: only the target of
// the slow printer, which the sweep before a new target opens.
enum class Store { Existing, New, Slow };

struct Case {
    const char* label;
    int copies;   // copies per printer
    int printers; // printers started together
    Store store;
};

// What went wrong in the trials of one case.
struct Tally {
    int good = 0;
    int extraMonitors = 0;  // trials with a printer served by more than one monitor
    int noMonitor = 0;      // trials with a printer left without a monitor
    int badRecords = 0;     // printers whose record is missing, doubled or holds no live monitor
    int runRemoved = 0;     // printers whose Run value was removed
    int disabled = 0;       // printers without exactly one enabled target
    int unsettled = 0;      // trials in which a copy neither ended nor went idle
    int lockTimedOut = -1;  // traced trials with a wait for a lock that timed out (-1: not traced)
    size_t mostMonitors = 0;
};

// Targets of the printer list named `printer`, and how many of them are enabled.
void CountTargets(const std::string& printer, int* targets, int* enabled)
{
    std::vector<std::string> keys = zt::TargetsNamed(printer);
    *targets = static_cast<int>(keys.size());
    *enabled = 0;
    for (const std::string& key : keys) {
        DWORD enable = 0;
        if (zt::GetDword(HKEY_CURRENT_USER, key, TARGET_TRAY_ENABLE, &enable) && enable == 1)
            ++*enabled;
    }
}

// Every printer gets its Run value back; the store is removed (new) or holds exactly one
// enabled target per printer (existing).
bool Prepare(const std::vector<std::unique_ptr<zt::TestDriverKit>>& kits, int printers, Store store,
             const std::string& slowPrinter)
{
    if (store != Store::Existing)
        zt::DeleteKeyTree(HKEY_CURRENT_USER, kStoreKey);
    if (store == Store::Slow) {
        const std::string target = std::string(TARGET_PRINTER_LIST) + "\\P0000000000000000";
        if (!zt::SetString(HKEY_CURRENT_USER, target, "Name", slowPrinter) ||
            !zt::SetDword(HKEY_CURRENT_USER, target, TARGET_TRAY_ENABLE, 1))
            return false;
        DeleteFileA(TRACE_LOG_PATH);
    }
    for (int i = 0; i < printers; ++i) {
        const zt::TestDriverKit& kit = *kits[i];
        std::string run = "\"" + zt::BinPath("zettray.exe") + "\" /P \"" + kit.Printer() + "\" /EF \"HKCU\"";
        if (!zt::SetString(HKEY_CURRENT_USER, RUN_KEY_PATH, kit.Printer().c_str(), run))
            return false;
        if (store != Store::Existing)
            continue;
        int targets = 0, enabled = 0;
        CountTargets(kit.Printer(), &targets, &enabled);
        if (targets == 1 && enabled == 1)
            continue;
        zt::RemoveTargetsNamed(kit.Printer());
        char path[MAX_PATH] = "";
        int portList = 0;
        if (GetTargetReg(kit.Printer().c_str(), kit.Port().c_str(), kit.Model().c_str(), &portList, path) != 0)
            return false;
    }
    return true;
}

std::vector<std::string> CommandLines(const std::vector<std::unique_ptr<zt::TestDriverKit>>& kits, const Case& c)
{
    std::vector<std::string> lines;
    for (int copy = 0; copy < c.copies; ++copy) {
        for (int i = 0; i < c.printers; ++i)
            lines.push_back(zt::MonitorArgs(*kits[i]));
    }
    return lines;
}

// Checks what one trial left; true when everything holds. Copy k runs printer k % printers.
bool Check(const std::vector<std::unique_ptr<zt::TestDriverKit>>& kits, const Case& c, const zt::MonitorGroup& group,
           Tally* tally)
{
    std::vector<HWND> windows = group.CopyWindows();
    size_t monitors = windows.size() - std::count(windows.begin(), windows.end(), nullptr);
    tally->mostMonitors = std::max(tally->mostMonitors, monitors);
    bool good = group.Running() == monitors, extra = false, missing = false;
    for (int i = 0; i < c.printers; ++i) {
        const std::string& printer = kits[i]->Printer();
        HWND monitor = nullptr;
        int serving = 0;
        for (size_t k = i; k < windows.size(); k += c.printers) {
            if (windows[k]) {
                monitor = windows[k];
                ++serving;
            }
        }
        extra = extra || serving > 1;
        missing = missing || serving == 0;
        HWND slot = nullptr;
        if (zt::StdTableRecords(printer, &slot) != 1 || slot != monitor || serving != 1) {
            ++tally->badRecords;
            good = false;
        }
        if (!zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, printer.c_str())) {
            ++tally->runRemoved;
            good = false;
        }
        int targets = 0, enabled = 0;
        CountTargets(printer, &targets, &enabled);
        if (targets != 1 || enabled != 1) {
            ++tally->disabled;
            good = false;
        }
    }
    tally->extraMonitors += extra ? 1 : 0;
    tally->noMonitor += missing ? 1 : 0;
    return good && !extra && !missing;
}

// True when the trace holds a wait for a lock that timed out.
bool LockWaitTimedOut()
{
    for (const std::string& line : zt::ReadLines(TRACE_LOG_PATH)) {
        if (line.find("going on without it") != std::string::npos)
            return true;
    }
    return false;
}

Tally RunCase(const std::vector<std::unique_ptr<zt::TestDriverKit>>& kits, const Case& c, int trials,
              const std::string& slowPrinter)
{
    Tally tally;
    const bool slow = c.store == Store::Slow;
    if (slow)
        tally.lockTimedOut = 0;
    for (int t = 0; t < trials; ++t) {
        if (!Prepare(kits, c.printers, c.store, slowPrinter)) {
            fprintf(stderr, "%s: trial %d could not be prepared\n", c.label, t + 1);
            continue;
        }
        zt::MonitorGroup group;
        if (!group.Start(CommandLines(kits, c), slow ? zt::TestBinDir() + SLOW_MONITOR_EXE : "")) {
            fprintf(stderr, "%s: trial %d: the copies did not start\n", c.label, t + 1);
            continue;
        }
        if (!group.Settle(kSettleMs))
            ++tally.unsettled;
        bool good = Check(kits, c, group, &tally);
        group.CloseAll();
        if (slow && LockWaitTimedOut()) {
            ++tally.lockTimedOut;
            good = false;
        }
        if (good)
            ++tally.good;
    }
    return tally;
}

} // namespace

int main(int argc, char** argv)
{
    int trials = argc > 1 ? atoi(argv[1]) : 20;
    if (trials < 1)
        trials = 1;
    if (FindWindowA(FRAME_WINDOW_CLASS, FRAME_WINDOW_TITLE)) {
        fprintf(stderr, "another monitor runs: stop it first\n");
        return 2;
    }
    zt::TestPrinter slowPrinter(zt::UniqueName(SLOW_PRINTER_PREFIX));
    if (!slowPrinter.Ok()) {
        fprintf(stderr, "could not install the slow printer\n");
        return 2;
    }
    // The slow cases trace into the log of this prefix.
    if (!zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME, 1))
        return 2;
    std::vector<std::unique_ptr<zt::TestDriverKit>> kits;
    for (int i = 0; i < 8; ++i) {
        kits.push_back(std::unique_ptr<zt::TestDriverKit>(new zt::TestDriverKit));
        if (!kits.back()->Ok()) {
            fprintf(stderr, "could not install sample printer %d\n", i + 1);
            return 2;
        }
    }
    const Case cases[] = {
        {"1 printer,  2 copies, existing store", 2, 1, Store::Existing},
        {"1 printer,  2 copies, new store", 2, 1, Store::New},
        {"1 printer,  4 copies, existing store", 4, 1, Store::Existing},
        {"1 printer,  4 copies, new store", 4, 1, Store::New},
        {"1 printer,  8 copies, existing store", 8, 1, Store::Existing},
        {"1 printer,  8 copies, new store", 8, 1, Store::New},
        {"8 printers, 1 copy each, existing store", 1, 8, Store::Existing},
        {"8 printers, 1 copy each, new store", 1, 8, Store::New},
        {"1 printer,  2 copies, slow printer", 2, 1, Store::Slow},
        {"1 printer,  4 copies, slow printer", 4, 1, Store::Slow},
        {"1 printer,  8 copies, slow printer", 8, 1, Store::Slow},
    };
    printf("trials per case: %d; good = one monitor and one record per printer, Run value kept, printer enabled\n"
           "(and, for the slow printer, no wait for a lock that timed out: waits)\n",
           trials);
    printf("%-40s %5s %7s %7s %8s %7s %8s %6s %6s\n", "case", "good", ">1 mon", "no mon", "records", "Run del",
           "disabled", "most", "waits");
    int failed = 0;
    for (const Case& c : cases) {
        Tally t = RunCase(kits, c, trials, slowPrinter.Name());
        std::string waits = t.lockTimedOut < 0 ? "-" : std::to_string(t.lockTimedOut);
        printf("%-40s %2d/%-2d %7d %7d %8d %7d %8d %6u %6s\n", c.label, t.good, trials, t.extraMonitors, t.noMonitor,
               t.badRecords, t.runRemoved, t.disabled, static_cast<unsigned>(t.mostMonitors), waits.c_str());
        if (t.unsettled)
            printf("%-40s %d trial(s) with a copy that neither ended nor went idle\n", "", t.unsettled);
        fflush(stdout);
        failed += t.good != trials ? 1 : 0;
    }
    zt::DeleteValue(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME);
    zt::DeleteKeyTree(HKEY_CURRENT_USER, kStoreKey);
    return failed ? 1 : 0;
}

// Start-up work and idle memory of the monitor, side by side with the floor program.
//
// Each round starts the floor, the floor that also opens the printer once (under Wine the
// spooler's client side loads into every process that opens a printer), that floor with
// one more idle thread (the monitor leaves its spooler calls to a worker thread), and the
// monitor (for an installed sample printer, with the short start-up delay of a log-on
// start). It takes the time from process creation until the program waits for input in
// its message loop (its icon is added by then), subtracts the monitor's start-up sleep,
// lets each idle, and reads its private and working-set memory. Prints the medians and the
// ratios of the monitor to each floor. The monitor starts with an empty instance table,
// and once more with a full one (498 records of other printers: its own record takes the
// last place), side by side. Last, 50 monitors of 50 printers idle on one desktop, with
// the printer's state read and shown, and with both state switches off by policy: the
// share of one core that they use together.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driverkit.h"
#include "initinstance.h"
#include "instance_check.h"
#include "scoped.h"
#include "slow_server.h"
#include "targets.h"
#include "testsupport.h"

namespace {

// Records of other printers in a full standard table: the monitor's own is the 499th.
const DWORD kFullTableRecords = TABLE_POSITIONS - 2;

// The standard instance table, held open by the bench and set up before each start.
class StdTable {
public:
    StdTable() : m_mapping(OpenStdTable("bench", MAP_NAME_STD))
    {
        if (m_mapping.IsValid())
            m_view.Map(m_mapping.Get(), FILE_MAP_ALL_ACCESS, TABLE_SIZE_STD);
    }
    bool Ok() const { return m_view.Get() != nullptr; }
    // `records` records of other printers in use, then the end marker.
    void Fill(DWORD records)
    {
        memset(m_view.Get(), 0, TABLE_SIZE_STD);
        for (DWORD p = 0; p < records; ++p) {
            char* key = reinterpret_cast<char*>(m_view.Get() + p * RECORD_SIZE_STD);
            snprintf(key, KEY_CHARS_STD, "ztbench-other-%03lu", static_cast<unsigned long>(p));
        }
        m_view.Get()[records * RECORD_SIZE_STD] = RECORD_END_MARKER;
    }

private:
    ScopedHandle m_mapping;
    ScopedView m_view;
};

struct Sample {
    double startMs = 0;
    double privateKb = 0;
    double workingSetKb = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool Measure(const std::string& exe, const std::string& args, double sleepMs, HWND (*findWindow)(const std::string&),
             const std::string& key, Sample* out)
{
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    zt::ChildProcess child;
    QueryPerformanceCounter(&t0);
    if (!child.Start(exe, args))
        return false;
    DWORD idle = WaitForInputIdle(child.Handle(), 30000);
    QueryPerformanceCounter(&t1);
    if (idle != 0) {
        child.Kill();
        return false;
    }
    out->startMs = 1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart - sleepMs;
    Sleep(1000); // idle
    PROCESS_MEMORY_COUNTERS counters;
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(child.Handle(), &counters, sizeof(counters))) {
        out->privateKb = counters.PagefileUsage / 1024.0;
        out->workingSetKb = counters.WorkingSetSize / 1024.0;
    }
    HWND window = findWindow(key);
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (!child.Wait(15000))
        child.Kill();
    return true;
}

HWND FloorWindow(const std::string&)
{
    return FindWindowA("ZtFloorClass", "zt floor");
}

HWND MonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

// Processor time so far, in milliseconds, of the monitors of these printers and, apart,
// of the prefix's wineserver (which does much of a Wine program's work). Wine reports no
// times of other processes, so they are read where Linux keeps them: /proc/<pid>/stat
// (utime and stime, in ticks of 10 ms).
struct CpuMs {
    double monitors = 0;
    double server = 0;
};

CpuMs MonitorsCpuMs(const std::vector<std::string>& printers)
{
    CpuMs total;
    const char* prefix = getenv("WINEPREFIX");
    const std::string ownPrefix = std::string("WINEPREFIX=") + (prefix ? prefix : "");
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return total;
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9')
            continue;
        const std::string dir = std::string("Z:\\proc\\") + entry.cFileName;
        std::string cmdline, env, stat;
        if (!zt::ReadFileBytes(dir + "\\cmdline", &cmdline))
            continue;
        bool monitor = false;
        if (cmdline.find("zettray.exe") != std::string::npos) {
            for (const std::string& printer : printers)
                monitor = monitor || cmdline.find(printer) != std::string::npos;
        }
        bool server = cmdline.find("wineserver") != std::string::npos && prefix &&
                      zt::ReadFileBytes(dir + "\\environ", &env) &&
                      env.find(ownPrefix + std::string(1, '\0')) != std::string::npos;
        if ((!monitor && !server) || !zt::ReadFileBytes(dir + "\\stat", &stat))
            continue;
        size_t close = stat.rfind(')');
        unsigned long utime = 0, stime = 0;
        if (close != std::string::npos &&
            sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) == 2)
            (monitor ? total.monitors : total.server) += (utime + stime) * 10.0;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return total;
}

// Posts WM_CLOSE to a monitor window of one of the processes in *pids.
BOOL CALLBACK CloseMonitorOf(HWND window, LPARAM pids)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const auto* list = reinterpret_cast<const std::vector<DWORD>*>(pids);
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (std::find(list->begin(), list->end(), pid) != list->end() && strcmp(cls, FRAME_WINDOW_CLASS) == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Starts one monitor per printer, lets them settle, and returns the share of one core (in
// per cent) that they, and apart the wineserver, used over `idleMs` of idling; -1 when one
// did not start.
CpuMs IdleShare(const std::vector<std::string>& printers, DWORD idleMs)
{
    const std::string exe = zt::BinPath("zettray.exe");
    std::vector<std::unique_ptr<zt::ChildProcess>> monitors;
    CpuMs share;
    share.monitors = -1;
    bool started = true;
    for (const std::string& printer : printers) {
        monitors.emplace_back(new zt::ChildProcess);
        started = started && monitors.back()->Start(exe, "/P \"" + printer + "\" /EF \"HKCU\"") &&
                  WaitForInputIdle(monitors.back()->Handle(), 30000) == 0;
    }
    // Input-idle is also a message box: each must hold its printer's record.
    for (const std::string& printer : printers)
        started = started && FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR) != nullptr;
    if (started) {
        Sleep(5000); // the first checks and reads
        CpuMs before = MonitorsCpuMs(printers);
        Sleep(idleMs);
        CpuMs after = MonitorsCpuMs(printers);
        share.monitors = 100.0 * (after.monitors - before.monitors) / idleMs;
        share.server = 100.0 * (after.server - before.server) / idleMs;
    }
    // Every monitor window of the started processes is asked to close.
    std::vector<DWORD> pids;
    for (auto& m : monitors)
        pids.push_back(m->Pid());
    EnumWindows(CloseMonitorOf, reinterpret_cast<LPARAM>(&pids));
    for (auto& m : monitors) {
        if (!m->Wait(15000))
            m->Kill();
    }
    return share;
}

// 50 monitors idle with the state on and off; prints the two shares of one core.
int IdleOfMany(const zt::TestDriverKit& kit, int count, DWORD idleMs)
{
    std::vector<std::string> printers;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        printers.push_back(zt::UniqueName("ztidle"));
        ok = zt::AddSpoolerPrinter(printers.back(), "LPT1:", kit.Driver());
    }
    CpuMs on, off;
    on.monitors = off.monitors = -1;
    if (ok)
        on = IdleShare(printers, idleMs);
    zt::SetDword(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY, TARGET_STATE_SHOW, 0);
    zt::SetDword(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY, TARGET_STATE_NOTIFY, 0);
    if (ok)
        off = IdleShare(printers, idleMs);
    zt::DeleteKeyTree(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY);
    for (const std::string& printer : printers) {
        zt::DeletePrinterByName(printer);
        zt::RemoveTargetsNamed(printer);
    }
    if (on.monitors < 0 || off.monitors < 0) {
        fprintf(stderr, "the idle monitors could not be started\n");
        return 1;
    }
    printf("\n%d monitors idle on one desktop, %lu s:   state on  state off\n", count,
           static_cast<unsigned long>(idleMs / 1000));
    printf("%-36s %9.2f %9.2f\n", "processor, % of one core: monitors", on.monitors, off.monitors);
    printf("%-36s %9.2f %9.2f\n", "  and the wineserver", on.server, off.server);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 7;
    if (rounds < 1)
        rounds = 1;
    if (FindWindowA(FRAME_WINDOW_CLASS, FRAME_WINDOW_TITLE)) {
        fprintf(stderr, "another monitor runs: its presence lengthens the start-up delay\n");
        return 2;
    }
    zt::TestDriverKit kit;
    if (!kit.Ok()) {
        fprintf(stderr, "could not install the sample printer\n");
        return 2;
    }
    const std::string floorExe = zt::TestBinDir() + "zt_floor.exe";
    const std::string spoolerFloorExe = zt::TestBinDir() + "zt_floor_spooler.exe";
    const std::string workerFloorExe = zt::TestBinDir() + "zt_floor_worker.exe";
    const std::string monitorExe = zt::BinPath("zettray.exe");
    const std::string monitorArgs = "/P \"" + kit.Printer() + "\" /EF \"HKCU\"";
    StdTable table;
    if (!table.Ok()) {
        fprintf(stderr, "could not open the instance table\n");
        return 2;
    }

    // A first start creates the printer's target; it is not counted.
    Sample warm;
    Measure(monitorExe, monitorArgs, STARTUP_DELAY_FROM_RUN_MS, MonitorWindow, kit.Printer(), &warm);
    Measure(floorExe, "", 0, FloorWindow, "", &warm);

    enum { FLOOR, FLOOR_SPOOLER, FLOOR_WORKER, MONITOR, MONITOR_FULL, KINDS };
    std::vector<double> start[KINDS], priv[KINDS], ws[KINDS];
    for (int i = 0; i < rounds; ++i) {
        Sample s[KINDS];
        bool measured = Measure(floorExe, "", 0, FloorWindow, "", &s[FLOOR]) &&
                        Measure(spoolerFloorExe, kit.Printer(), 0, FloorWindow, "", &s[FLOOR_SPOOLER]) &&
                        Measure(workerFloorExe, kit.Printer(), 0, FloorWindow, "", &s[FLOOR_WORKER]);
        // Empty and full by turns first: a start right after another one runs faster.
        for (int k = 0; k < 2; ++k) {
            bool full = (k + i) % 2 == 1;
            table.Fill(full ? kFullTableRecords : 0);
            measured = measured && Measure(monitorExe, monitorArgs, STARTUP_DELAY_FROM_RUN_MS, MonitorWindow,
                                           kit.Printer(), &s[full ? MONITOR_FULL : MONITOR]);
        }
        if (!measured) {
            fprintf(stderr, "round %d failed\n", i + 1);
            return 1;
        }
        for (int k = 0; k < KINDS; ++k) {
            start[k].push_back(s[k].startMs);
            priv[k].push_back(s[k].privateKb);
            ws[k].push_back(s[k].workingSetKb);
        }
    }
    // The later monitors each need a record of their own.
    table.Fill(0);
    printf("rounds: %d (medians)\n", rounds);
    printf("%-36s %9s %9s %9s %9s %8s %8s %8s\n", "", "floor", "floor+sp", "+worker", "zettray", "/floor", "/fl+sp",
           "/+worker");
    auto row = [](const char* label, const std::vector<double>* v, const char* format) {
        double f = Median(v[FLOOR]), fs = Median(v[FLOOR_SPOOLER]), fw = Median(v[FLOOR_WORKER]);
        double m = Median(v[MONITOR]);
        printf("%-36s ", label);
        printf(format, f);
        printf(format, fs);
        printf(format, fw);
        printf(format, m);
        printf(" %8.2f %8.2f %8.2f\n", f > 0 ? m / f : 0, fs > 0 ? m / fs : 0, fw > 0 ? m / fw : 0);
    };
    row("start-up work, ms (less the delay)", start, " %9.1f");
    row("private memory idle, KiB", priv, " %9.0f");
    row("working set idle, KiB", ws, " %9.0f");
    // The ratio of each round's two starts, made one right after the other, is steadier
    // than the ratio of the medians when the machine's load changes.
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i)
        ratios.push_back(start[MONITOR][i] > 0 ? start[MONITOR_FULL][i] / start[MONITOR][i] : 0);
    printf("\n%-36s %9s %9s %8s\n", "zettray, instance table:", "empty", "full", "full/emp");
    printf("%-36s %9.1f %9.1f %8.2f\n", "start-up work, ms (less the delay)", Median(start[MONITOR]),
           Median(start[MONITOR_FULL]), Median(ratios));
    fflush(stdout);
    const char* slowSeconds = getenv("BENCH_SLOW_SERVER_S");
    int slowS = slowSeconds ? atoi(slowSeconds) : 30;
    if (slowS > 0 && SlowServerFigure(kit, slowS) != 0)
        return 1;
    fflush(stdout);
    const char* many = getenv("BENCH_MONITORS");
    const char* idle = getenv("BENCH_IDLE_S");
    int count = many ? atoi(many) : 50;
    int idleS = idle ? atoi(idle) : 30;
    return count > 0 ? IdleOfMany(kit, count, static_cast<DWORD>(idleS > 0 ? idleS : 30) * 1000) : 0;
}

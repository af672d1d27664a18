// The package's actions that need more than a property or an installed program:
//  - RunSetup runs the kit's installer, zetsetup.exe, instead of as a plain program: what
//    zetsetup prints reaches the install log, a failure's message is also shown as an error
//    (in the user interface, when there is one), and zetsetup is ended when it does not end
//    within its bound. The action's data (CustomActionData) is zetsetup's full command line,
//    its quoted path first, with each property value between quote marks.
//  - CloseInstallFolder closes the programs of the install folder (the action's data) in
//    every session and waits for their processes, before the files are replaced.
//  - ForgetSetupRuns forgets the runs of the ';'-separated product codes (the action's
//    data) once the transaction has ended: nothing is left to roll back.
// The last two run from the package's Binary table, also when the installed files are gone.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "close_request.h"
#include "setup_action_line.h"
#include "setup_files.h"
#include "setup_journal.h"
#include "setup_monitor.h"

namespace {

// How long zetsetup may take: an uninstall waits up to 20 s for each monitor to close.
constexpr DWORD kSetupBoundMs = 5 * 60 * 1000;
// A test switch: this environment variable (milliseconds) shortens the bound.
const char kTestBoundVariable[] = "ZT_SETUP_TEST_BOUND_MS";
// How often the child's output is looked at while it runs.
constexpr DWORD kPollMs = 50;
// How long an ended child may take to go.
constexpr DWORD kEndWaitMs = 10000;

DWORD SetupBoundMs()
{
    const char* text = getenv(kTestBoundVariable);
    const unsigned long bound = text ? strtoul(text, nullptr, 10) : 0;
    return bound > 0 && bound < kSetupBoundMs ? static_cast<DWORD>(bound) : kSetupBoundMs;
}

// Sends one message of the given kind to Windows Installer (the log, and the user
// interface for errors). The text is the record's field, not its template: brackets in it
// are not taken for property references.
void Report(MSIHANDLE install, INSTALLMESSAGE kind, const std::string& text)
{
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, "[1]");
    MsiRecordSetStringA(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

void ReportError(MSIHANDLE install, const std::string& text)
{
    Report(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), text);
}

// The action's data in wide characters: a value that the ANSI code page cannot hold
// reaches zetsetup as it is, and zetsetup refuses it, instead of as a lookalike name.
std::wstring ActionData(MSIHANDLE install)
{
    DWORD size = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, L"CustomActionData", empty, &size) != ERROR_MORE_DATA)
        return L"";
    std::vector<wchar_t> data(size + 1);
    size = static_cast<DWORD>(data.size());
    if (MsiGetPropertyW(install, L"CustomActionData", data.data(), &size) != ERROR_SUCCESS)
        return L"";
    return std::wstring(data.data(), size);
}

std::string Ansi(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return "";
    std::vector<char> ansi(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), bytes, nullptr, nullptr);
    return ansi.data();
}

// Moves what the pipe holds now into *output, without waiting for more.
void ReadAvailable(HANDLE pipe, std::string* output)
{
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &got, nullptr) ||
            got == 0)
            return;
        output->append(buffer, got);
    }
}

enum class RunOutcome { Ended, NotStarted, TimedOut };

// Runs the command line with its standard output and error into one pipe, which is read
// while the child runs: *output receives all of it. A child that has not ended within
// `boundMs` is ended (its exit code is then not set).
RunOutcome RunCaptured(const std::wstring& commandLine, DWORD boundMs, std::string* output, DWORD* exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return RunOutcome::NotStarted;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    std::vector<wchar_t> text(commandLine.begin(), commandLine.end());
    text.push_back(L'\0');
    const BOOL started =
        CreateProcessW(nullptr, text.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd); // the child holds its own copy
    if (!started) {
        CloseHandle(readEnd);
        return RunOutcome::NotStarted;
    }
    CloseHandle(pi.hThread);
    const DWORD start = GetTickCount();
    RunOutcome outcome = RunOutcome::Ended;
    while (WaitForSingleObject(pi.hProcess, kPollMs) == WAIT_TIMEOUT) {
        ReadAvailable(readEnd, output);
        if (GetTickCount() - start >= boundMs) {
            TerminateProcess(pi.hProcess, ERROR_TIMEOUT);
            WaitForSingleObject(pi.hProcess, kEndWaitMs);
            outcome = RunOutcome::TimedOut;
            break;
        }
    }
    ReadAvailable(readEnd, output);
    CloseHandle(readEnd);
    if (outcome == RunOutcome::Ended && !GetExitCodeProcess(pi.hProcess, exitCode))
        *exitCode = ERROR_INSTALL_FAILURE;
    CloseHandle(pi.hProcess);
    return outcome;
}

// Hands each line of zetsetup's output to the log; returns its failure lines.
std::string ReportOutput(MSIHANDLE install, const std::string& output)
{
    std::string failures;
    for (size_t at = 0; at < output.size();) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        at = end + 1;
        if (line.empty())
            continue;
        Report(install, INSTALLMESSAGE_INFO, line);
        if (line.compare(0, 9, "zetsetup:") == 0)
            failures += (failures.empty() ? "" : "\n") + line;
    }
    return failures;
}

} // namespace

extern "C" UINT WINAPI RunSetup(MSIHANDLE install)
{
    const std::wstring pasted = ActionData(install);
    std::wstring commandLine;
    std::string error;
    if (!ExactActionLine(pasted, &commandLine, &error)) {
        ReportError(install, "The kit's installer was not run: " + error + ": " + Ansi(pasted));
        return ERROR_INSTALL_FAILURE;
    }
    std::string output;
    DWORD exitCode = ERROR_INSTALL_FAILURE;
    const DWORD bound = SetupBoundMs();
    const RunOutcome outcome = commandLine.empty() ? RunOutcome::NotStarted
                                                   : RunCaptured(commandLine, bound, &output, &exitCode);
    const std::string failures = ReportOutput(install, output);
    if (outcome == RunOutcome::NotStarted) {
        ReportError(install, "The kit's installer could not be run: " + Ansi(commandLine));
        return ERROR_INSTALL_FAILURE;
    }
    if (outcome == RunOutcome::TimedOut) {
        ReportError(install, "The kit's installer did not end within " + std::to_string(bound / 1000) +
                                 " s and was ended (a spooler or a print server that does not answer?): " +
                                 Ansi(commandLine));
        return ERROR_INSTALL_FAILURE;
    }
    if (exitCode == 0)
        return ERROR_SUCCESS;
    ReportError(install, failures.empty() ? "The kit's installer failed (exit code " + std::to_string(exitCode) + ")."
                                          : failures);
    return ERROR_INSTALL_FAILURE;
}

extern "C" UINT WINAPI CloseInstallFolder(MSIHANDLE install)
{
    const std::string folder = WithoutTrailingSlash(Ansi(ActionData(install)));
    if (folder.empty())
        return ERROR_SUCCESS;
    RaisedCloseRequest request;
    if (CloseFolderPrograms(folder, MONITOR_CLOSE_TIMEOUT_MS, &request))
        Report(install, INSTALLMESSAGE_INFO, "No program of " + folder + " runs: its files can be replaced.");
    else
        Report(install, INSTALLMESSAGE_INFO, "warning: a program of " + folder +
                                                 " did not close: its files are replaced at the next restart.");
    return ERROR_SUCCESS;
}

extern "C" UINT WINAPI ForgetSetupRuns(MSIHANDLE install)
{
    ForgetRuns(Ansi(ActionData(install)));
    return ERROR_SUCCESS;
}

// The package's deferred actions that run the kit's installer, zetsetup.exe, through this
// entry point instead of as a plain program: what zetsetup prints reaches the install log,
// and a failure's message is also shown as an error (in the user interface, when there is
// one). The action's data (CustomActionData) is zetsetup's full command line, its quoted
// path first.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace {

// How long zetsetup may take: an uninstall waits up to 20 s for each monitor to close.
constexpr DWORD kSetupTimeoutMs = 5 * 60 * 1000;

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

// Runs the command line with its standard output and error into one pipe; *output
// receives all of it. false when the program could not be started or did not end in time.
bool RunCaptured(const std::wstring& commandLine, std::string* output, DWORD* exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
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
    CloseHandle(writeEnd); // the child holds its own copy: the pipe ends with the child
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(pi.hThread);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        output->append(buffer, got);
    CloseHandle(readEnd);
    const bool ended = WaitForSingleObject(pi.hProcess, kSetupTimeoutMs) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(pi.hProcess, exitCode);
    CloseHandle(pi.hProcess);
    return ended;
}

} // namespace

extern "C" UINT WINAPI RunSetup(MSIHANDLE install)
{
    const std::wstring commandLine = ActionData(install);
    std::string output;
    DWORD exitCode = 1;
    if (commandLine.empty() || !RunCaptured(commandLine, &output, &exitCode)) {
        Report(install, INSTALLMESSAGE_ERROR, "The kit's installer could not be run: " + Ansi(commandLine));
        return ERROR_INSTALL_FAILURE;
    }
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
    if (exitCode == 0)
        return ERROR_SUCCESS;
    Report(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
           failures.empty() ? "The kit's installer failed (exit code " + std::to_string(exitCode) + ")." : failures);
    return ERROR_INSTALL_FAILURE;
}

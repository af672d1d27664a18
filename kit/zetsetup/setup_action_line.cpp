#include "setup_action_line.h"

#include <vector>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// One argument quoted so that it reads back as it is: backslashes are doubled where a
// quote mark follows them (the closing one included), quote marks are escaped.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

} // namespace

bool ExactActionLine(const std::wstring& pasted, std::wstring* exact, std::string* error)
{
    std::vector<std::wstring> arguments;
    std::wstring current;
    bool inQuotes = false, started = false;
    for (wchar_t c : pasted) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (!inQuotes && IsBlank(c)) {
            if (started)
                arguments.push_back(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (inQuotes) {
        *error = "the command line holds a quote mark that is not closed (a value with a quote mark?)";
        return false;
    }
    if (started)
        arguments.push_back(current);
    exact->clear();
    for (const std::wstring& argument : arguments)
        *exact += (exact->empty() ? L"" : L" ") + Quoted(argument);
    return true;
}

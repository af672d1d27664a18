#include "tool_args.h"

namespace {

const int kMaxDigits = 9; // fits an int

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int TakeToolNumber(char* cmdText)
{
    if (!cmdText)
        return -1;
    bool quoted = false;
    for (char* p = cmdText; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || p[0] != '/' || (p[1] != 'T' && p[1] != 't') || !IsDigit(p[2]))
            continue;
        int number = 0;
        int digits = 0;
        p[0] = p[1] = ' ';
        for (char* d = p + 2; IsDigit(*d); ++d) {
            if (digits++ < kMaxDigits)
                number = number * 10 + (*d - '0');
            *d = ' ';
        }
        return number;
    }
    return -1;
}

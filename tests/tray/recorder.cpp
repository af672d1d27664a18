// Stands in for the status-window program and the auxiliary tools in tests: appends its
// command line to the file named by ZT_RECORD and, when it was given "/F <name>", the
// bytes of that parameter file (found under its name or in the temporary directory),
// each block ended by a line "--end--".
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

static std::string ParamFileName(const char* cmd)
{
    const char* f = strstr(cmd, " /F \"");
    if (!f)
        return "";
    f += 5;
    const char* end = strchr(f, '"');
    return end ? std::string(f, end) : std::string(f);
}

static std::string ReadAll(const std::string& path)
{
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof(buf), file)) > 0)
        bytes.append(buf, got);
    fclose(file);
    return bytes;
}

int main()
{
    char out[MAX_PATH] = {0};
    if (!GetEnvironmentVariableA("ZT_RECORD", out, sizeof(out)))
        return 2;
    const char* cmd = GetCommandLineA();
    std::string record = std::string("cmd:") + cmd + "\n";
    std::string name = ParamFileName(cmd);
    if (!name.empty()) {
        char temp[MAX_PATH] = {0};
        GetTempPathA(sizeof(temp), temp);
        std::string bytes = ReadAll(name);
        if (bytes.empty())
            bytes = ReadAll(std::string(temp) + name);
        record += "file:" + bytes;
    }
    record += "--end--\n";
    FILE* file = fopen(out, "ab");
    if (!file)
        return 3;
    fwrite(record.data(), 1, record.size(), file);
    fclose(file);
    return 0;
}

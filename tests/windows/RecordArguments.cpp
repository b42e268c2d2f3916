// record_arguments.exe: stands in for a system tool in the package check. Appends its own
// command line, one line in UTF-8, to the file VELTRONA_RECORD_ARGUMENTS names, and ends with 0.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int main() {
    wchar_t file[MAX_PATH];
    if (GetEnvironmentVariableW(L"VELTRONA_RECORD_ARGUMENTS", file, MAX_PATH) == 0) {
        return 1;
    }
    FILE* out = _wfopen(file, L"ab");
    if (out == nullptr) {
        return 1;
    }
    const wchar_t* line = GetCommandLineW();
    char bytes[8192];
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, nullptr, nullptr);
    std::fprintf(out, "%s\n", length > 0 ? bytes : "");
    return std::fclose(out) == 0 ? 0 : 1;
}

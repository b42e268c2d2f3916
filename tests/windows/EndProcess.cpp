// end-process.exe PID STATUS: ends a process from outside with the exit status given, as a
// crash would end it (Wine's taskkill always ends with 0, a stop).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: end-process PID STATUS\n");
        return 2;
    }
    const DWORD id = std::strtoul(argv[1], nullptr, 10);
    const UINT status = static_cast<UINT>(std::strtoul(argv[2], nullptr, 10));
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    if (process == nullptr || !TerminateProcess(process, status)) {
        std::fprintf(stderr, "end-process: process %lu: error %lu\n", id, GetLastError());
        return 1;
    }
    CloseHandle(process);
    return 0;
}

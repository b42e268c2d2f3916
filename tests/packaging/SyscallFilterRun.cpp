// Runs a program under a system-call filter built the way systemd builds one for a unit with
// SystemCallFilter=, SystemCallArchitectures=native, RestrictAddressFamilies= and
// NoNewPrivileges=yes:
//   syscall_filter_run ALLOWED_CALLS_FILE FAMILY,... -- PROGRAM [ARGUMENT...]
// ALLOWED_CALLS_FILE names the allowed calls, one a line (the unit's sets expanded, as
// `systemd-analyze syscall-filter` lists them). Any other call kills the process with SIGSYS,
// as does a call of another architecture; names this architecture does not have are skipped,
// as systemd skips them. socket() is allowed for the FAMILY numbers given and fails with
// EAFNOSUPPORT for any other. The filter is inherited by every child and kept across exec.

#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The highest address family the kernel knows of today; anything above is refused too.
constexpr int kLastFamily = 64;

std::set<int> familiesOf(const std::string& list) {
    std::set<int> families;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        families.insert(std::stoi(item));
    }
    return families;
}

void add(scmp_filter_ctx filter, uint32_t action, int call, unsigned count = 0,
         const scmp_arg_cmp* condition = nullptr) {
    const int error = count == 0 ? seccomp_rule_add(filter, action, call, 0)
                                 : seccomp_rule_add_array(filter, action, call, count, condition);
    if (error != 0) {
        throw std::runtime_error(std::string("seccomp_rule_add: ") + std::strerror(-error));
    }
}

void loadFilter(const char* callsFile, const std::set<int>& families) {
    std::ifstream in(callsFile);
    if (!in) {
        throw std::runtime_error(std::string("cannot read ") + callsFile);
    }
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (filter == nullptr) {
        throw std::runtime_error("seccomp_init failed");
    }
    const int socketCall = seccomp_syscall_resolve_name("socket");
    bool socketAllowed = false;
    unsigned allowed = 0;
    for (std::string name; std::getline(in, name);) {
        if (name.empty() || name[0] == '#') {
            continue;
        }
        const int call = seccomp_syscall_resolve_name(name.c_str());
        if (call < 0) {  // unknown, or only another architecture has it
            continue;
        }
        if (call == socketCall) {
            socketAllowed = true;
            continue;
        }
        add(filter, SCMP_ACT_ALLOW, call);
        ++allowed;
    }
    if (socketAllowed) {
        for (int family = 0; family <= kLastFamily; ++family) {
            const scmp_arg_cmp isFamily = SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(family));
            add(filter, families.count(family) != 0 ? SCMP_ACT_ALLOW : SCMP_ACT_ERRNO(EAFNOSUPPORT),
                socketCall, 1, &isFamily);
        }
        const scmp_arg_cmp above = SCMP_A0(SCMP_CMP_GT, static_cast<scmp_datum_t>(kLastFamily));
        add(filter, SCMP_ACT_ERRNO(EAFNOSUPPORT), socketCall, 1, &above);
    }
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        throw std::runtime_error(std::string("PR_SET_NO_NEW_PRIVS: ") + std::strerror(errno));
    }
    const int error = seccomp_load(filter);
    seccomp_release(filter);
    if (error != 0) {
        throw std::runtime_error(std::string("seccomp_load: ") + std::strerror(-error));
    }
    std::cerr << "syscall_filter_run: " << allowed + (socketAllowed ? 1 : 0)
              << " calls of this architecture allowed\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
        std::cerr << "usage: syscall_filter_run ALLOWED_CALLS_FILE FAMILY,... -- PROGRAM "
                     "[ARGUMENT...]\n";
        return 2;
    }
    try {
        loadFilter(argv[1], familiesOf(argv[2]));
    } catch (const std::exception& error) {
        std::cerr << "syscall_filter_run: " << error.what() << "\n";
        return 1;
    }
    execv(argv[4], argv + 4);
    std::cerr << "syscall_filter_run: cannot run " << argv[4] << ": " << std::strerror(errno)
              << "\n";
    return 127;
}

// Runs a program confined the way systemd confines a unit's processes with
// SystemCallFilter=, SystemCallArchitectures=native, RestrictAddressFamilies=,
// MemoryDenyWriteExecute=yes, CapabilityBoundingSet= and NoNewPrivileges=yes, for a machine
// where systemd does not run as PID 1:
//   syscall_filter_run --calls FILE --families N,... --bounding N,... -- PROGRAM [ARGUMENT...]
// FILE names the allowed calls, one a line (the unit's sets expanded, as `systemd-analyze
// syscall-filter` lists them). Any other call kills the process with SIGSYS, as does a call of
// another architecture; names this architecture does not have are skipped, as systemd skips
// them. socket() is allowed for the address family numbers given and fails with EAFNOSUPPORT
// for any other. Memory that is writable and executable at once is refused with EPERM. The
// capabilities not given (numbers) leave the bounding set. All of it is inherited by every
// child and kept across exec.

#include <linux/capability.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// The highest address family the kernel knows of today; anything above is refused too.
constexpr int kLastFamily = 64;

struct Confinement {
    std::string callsFile;
    std::set<int> families;
    std::set<int> bounding;
};

[[noreturn]] void fail(const std::string& what, int error) {
    throw std::runtime_error(what + ": " + std::strerror(error));
}

std::set<int> numbersOf(const std::string& list) {
    std::set<int> numbers;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        numbers.insert(std::stoi(item));
    }
    return numbers;
}

// A filter context that frees itself; several filters stack, as systemd loads them.
class Filter {
  public:
    explicit Filter(uint32_t defaultAction) : context_(seccomp_init(defaultAction)) {
        if (context_ == nullptr) {
            throw std::runtime_error("seccomp_init failed");
        }
    }
    ~Filter() { seccomp_release(context_); }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    void add(uint32_t action, int call, const scmp_arg_cmp* condition = nullptr) {
        const int error = condition == nullptr
                              ? seccomp_rule_add(context_, action, call, 0)
                              : seccomp_rule_add_array(context_, action, call, 1, condition);
        if (error != 0) {
            fail("seccomp_rule_add", -error);
        }
    }
    void load() {
        if (const int error = seccomp_load(context_); error != 0) {
            fail("seccomp_load", -error);
        }
    }

  private:
    scmp_filter_ctx context_;
};

void loadCallFilter(const Confinement& confinement) {
    std::ifstream in(confinement.callsFile);
    if (!in) {
        throw std::runtime_error("cannot read " + confinement.callsFile);
    }
    Filter filter(SCMP_ACT_KILL_PROCESS);
    const int socketCall = seccomp_syscall_resolve_name("socket");
    bool socketAllowed = false;
    unsigned allowed = 0;
    for (std::string name; std::getline(in, name);) {
        const int call = name.empty() ? -1 : seccomp_syscall_resolve_name(name.c_str());
        if (call < 0) {  // unknown, or only another architecture has it
            continue;
        }
        ++allowed;
        if (call == socketCall) {
            socketAllowed = true;
        } else {
            filter.add(SCMP_ACT_ALLOW, call);
        }
    }
    if (socketAllowed) {
        for (int family = 0; family <= kLastFamily; ++family) {
            const scmp_arg_cmp isFamily = SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(family));
            filter.add(confinement.families.count(family) != 0 ? SCMP_ACT_ALLOW
                                                               : SCMP_ACT_ERRNO(EAFNOSUPPORT),
                       socketCall, &isFamily);
        }
        const scmp_arg_cmp above = SCMP_A0(SCMP_CMP_GT, static_cast<scmp_datum_t>(kLastFamily));
        filter.add(SCMP_ACT_ERRNO(EAFNOSUPPORT), socketCall, &above);
    }
    filter.load();
    std::cerr << "syscall_filter_run: " << allowed << " calls of this architecture allowed\n";
}

void loadWriteExecuteFilter() {
    Filter filter(SCMP_ACT_ALLOW);
    constexpr scmp_datum_t writeExecute = PROT_WRITE | PROT_EXEC;
    const scmp_arg_cmp both = SCMP_A2(SCMP_CMP_MASKED_EQ, writeExecute, writeExecute);
    filter.add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(mmap), &both);
    filter.add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(mprotect), &both);
    filter.add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(pkey_mprotect), &both);
    const scmp_arg_cmp executable = SCMP_A2(SCMP_CMP_MASKED_EQ, SHM_EXEC, SHM_EXEC);
    filter.add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(shmat), &executable);
    filter.load();
}

void confine(const Confinement& confinement) {
    for (int capability = 0; capability <= CAP_LAST_CAP; ++capability) {
        if (confinement.bounding.count(capability) == 0 &&
            prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0 && errno != EINVAL) {
            fail("PR_CAPBSET_DROP " + std::to_string(capability), errno);
        }
    }
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        fail("PR_SET_NO_NEW_PRIVS", errno);
    }
    loadWriteExecuteFilter();
    loadCallFilter(confinement);
}

}  // namespace

int main(int argc, char** argv) {
    Confinement confinement;
    int next = 1;
    try {
        for (; next + 1 < argc && std::strcmp(argv[next], "--") != 0; next += 2) {
            const std::string option = argv[next];
            if (option == "--calls") {
                confinement.callsFile = argv[next + 1];
            } else if (option == "--families") {
                confinement.families = numbersOf(argv[next + 1]);
            } else if (option == "--bounding") {
                confinement.bounding = numbersOf(argv[next + 1]);
            } else {
                throw std::invalid_argument(option);
            }
        }
    } catch (const std::exception&) {
        next = argc;
    }
    if (next + 1 >= argc || std::strcmp(argv[next], "--") != 0 || confinement.callsFile.empty()) {
        std::cerr << "usage: syscall_filter_run --calls FILE --families N,... --bounding N,... -- "
                     "PROGRAM [ARGUMENT...]\n";
        return 2;
    }
    try {
        confine(confinement);
    } catch (const std::exception& error) {
        std::cerr << "syscall_filter_run: " << error.what() << "\n";
        return 1;
    }
    execv(argv[next + 1], argv + next + 1);
    std::cerr << "syscall_filter_run: cannot run " << argv[next + 1] << ": " << std::strerror(errno)
              << "\n";
    return 127;
}

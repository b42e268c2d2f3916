#include "ctl/windows/ServerChild.h"

#include <string>

#include "config/text/windows/WideText.h"
#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

namespace {

[[noreturn]] void refuse(const std::filesystem::path& program, const char* step) {
    throw process::LaunchError(server::systemPathText(program) + ": " + step + ": " +
                               config::systemMessage(GetLastError()));
}

}  // namespace

ServerChild::ServerChild(const server::ServerLaunch& launch, Console console, HANDLE output)
    : job_(CreateJobObjectW(nullptr, nullptr)) {
    if (!job_.valid()) {
        refuse(launch.program, "CreateJobObject");
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        refuse(launch.program, "SetInformationJobObject");
    }

    // The command line the shell gives a program it opens: its quoted path, then the
    // parameters, which begin with a blank. The program is named by its wide path, so any
    // folder will do; the parameters convert from the ANSI code page as an ANSI call would.
    std::wstring commandLine =
        L"\"" + launch.program.native() + L"\"" + config::widen(launch.parameters, CP_ACP);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    // The only handles this process lets a child inherit are the output's and this input's.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const config::OwnedHandle input(
        output == nullptr ? nullptr
                          : CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherited, OPEN_EXISTING, 0, nullptr));
    if (output != nullptr) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = input.valid() ? input.get() : nullptr;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so that nothing it starts escapes it.
    const DWORD flags = CREATE_SUSPENDED | (console == Console::None ? CREATE_NO_WINDOW : 0);
    if (!CreateProcessW(launch.program.c_str(), commandLine.data(), nullptr, nullptr,
                        output != nullptr, flags, nullptr, nullptr, &startup, &started)) {
        refuse(launch.program, "CreateProcess");
    }
    process_.emplace(started.hProcess);
    const config::OwnedHandle thread(started.hThread);
    id_ = started.dwProcessId;
    if (!AssignProcessToJobObject(job_.get(), started.hProcess)) {
        const DWORD error = GetLastError();
        TerminateProcess(started.hProcess, 1);
        SetLastError(error);
        refuse(launch.program, "AssignProcessToJobObject");
    }
    ResumeThread(started.hThread);
}

DWORD ServerChild::exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_->get(), &code);
    return code;
}

bool ServerChild::end(DWORD wait) {
    TerminateJobObject(job_.get(), 0);
    return WaitForSingleObject(process_->get(), wait) == WAIT_OBJECT_0;
}

}  // namespace veltrona::ctl

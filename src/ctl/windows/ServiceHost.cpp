// The process of the service ZarvoServer: answers the service control manager, runs the
// server in a job object, starts it again after a crash and writes each start, crash and
// stop to the event log, and keeps what the server prints in a log file.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "ctl/CtlOutput.h"
#include "ctl/ProcessSnapshot.h"
#include "ctl/RestartBackoff.h"
#include "ctl/ServiceCommand.h"
#include "ctl/ShownSettings.h"
#include "ctl/StartCommand.h"
#include "ctl/StartLock.h"
#include "ctl/windows/ServerChild.h"
#include "ctl/windows/ServiceLog.h"
#include "process/windows/GracefulEnd.h"
#include "server/ServerLaunch.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kStopHint = 2000;  // ms to the next sign of progress, told to the service manager
constexpr DWORD kServerEndWait = 1000;
// How long the server is given to end on request before it is ended hard: at a stop, as
// long as the stand-in lets its associations finish; at shutdown less than the 5 s that
// Windows grants a service by default before it ends it.
constexpr DWORD kStopGrace = 10000;
constexpr DWORD kShutdownGrace = 4000;
constexpr DWORD kProgressStep = 1000;
// Event identifiers: one per kind of event, so a monitoring rule can pick them.
constexpr DWORD kEventStarted = 1;
constexpr DWORD kEventCrashed = 2;
constexpr DWORD kEventStopped = 3;
constexpr DWORD kEventFailed = 4;
constexpr DWORD kEventOutputLost = 5;

// The service's state, shared by its main function and the control handler, which the
// dispatcher calls on another thread.
struct Host {
    const CtlContext* context = nullptr;
    std::filesystem::path logFile;
    SERVICE_STATUS_HANDLE status = nullptr;
    HANDLE stopRequested = nullptr;
    HANDLE events = nullptr;
    std::atomic<DWORD> grace = kStopGrace;  // the server's time to end, by the stop's kind
};
Host host;

void report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0, DWORD checkPoint = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = checkPoint;
    SetServiceStatus(host.status, &status);
}

// One event, its text in the system code page.
void logEvent(WORD type, DWORD id, const std::string& text) {
    if (host.events == nullptr) {
        return;
    }
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(host.events, type, 0, id, nullptr, 1, 0, strings, nullptr);
}

// "exit status 3", "exit status 3221225477 (0xC0000005)".
std::string exitStatus(DWORD code) {
    std::string text = "exit status " + std::to_string(code);
    if (code > 0xFFFF) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
        text += std::string(" (") + hex + ")";
    }
    return text;
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    switch (code) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            host.grace = code == SERVICE_CONTROL_STOP ? kStopGrace : kShutdownGrace;
            report(SERVICE_STOP_PENDING, NO_ERROR, kStopHint, 1);
            SetEvent(host.stopRequested);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Asks the server to end, as VeltronaCtl's graceful stop does, and waits for it up to
// `grace`, telling the service manager every second that the stop goes on; then ends the
// job. Returns whether the server ended on request.
bool endOnRequest(ServerChild& server, DWORD grace) {
    process::askToEnd(server.id());
    DWORD checkPoint = 1;
    for (DWORD waited = 0; waited < grace; waited += kProgressStep) {
        if (WaitForSingleObject(server.process(), std::min(kProgressStep, grace - waited)) ==
            WAIT_OBJECT_0) {
            server.end(kServerEndWait);  // whatever it started goes with it
            return true;
        }
        report(SERVICE_STOP_PENDING, NO_ERROR, kStopHint, ++checkPoint);
    }
    server.end(kServerEndWait);
    return false;
}

// Starts the server, again after each crash, until it is stopped; returns the service's
// exit code: 0, or 1 when the server could not be started.
DWORD supervise() {
    const CtlContext& context = *host.context;
    RestartBackoff backoff;
    bool running = false;
    // One log for all the server's starts: the pipe and its reader outlive each server.
    std::optional<ServiceLog> output;
    try {
        output.emplace(host.logFile, ServiceLog::maxBytesFromEnvironment(),
                       [](const std::string& text) {
                           logEvent(EVENTLOG_WARNING_TYPE, kEventOutputLost, text);
                       });
    } catch (const std::exception& error) {
        logEvent(EVENTLOG_WARNING_TYPE, kEventOutputLost,
                 std::string(error.what()) + "; the server's output is not kept");
    }
    for (;;) {
        // Server.INI is read afresh at every start, as a restart from the window would.
        std::optional<ServerChild> server;
        std::string commandLine;
        std::string leftAlone;
        try {
            // One start wins: the starts of VeltronaCtl and of the service take turns.
            const StartLock lock(context.programFolder);
            // Only this folder's server keeps the service from starting one; a program of
            // that name elsewhere is named in the event and left alone.
            const ProcessSnapshot snapshot(context.processes, context.programFolder);
            if (snapshot.serverRunning()) {
                logEvent(EVENTLOG_ERROR_TYPE, kEventFailed,
                         std::string(server::kServerExecutableName) + " is already running: " +
                             describe(snapshot.servers()) + "; the service stops");
                return 1;
            }
            for (const process::ProcessEntry& other : snapshot.elsewhere()) {
                leftAlone += "; left alone, " + std::string(server::kServerExecutableName) +
                             " elsewhere: " + elsewhereText(other);
            }
            const ShownSettings settings = readShownSettings(context);
            if (const std::optional<std::string> refused = portlessStart(context, settings)) {
                logEvent(EVENTLOG_ERROR_TYPE, kEventFailed, *refused + "; the service stops");
                return 1;
            }
            const server::ServerLaunch launch =
                server::makeServerLaunch(settings.shown, /*verbose=*/false, context.programFolder);
            commandLine = "\"" + server::systemPathText(launch.program) + "\"" + launch.parameters;
            server.emplace(launch, ServerChild::Console::None, output ? output->output() : nullptr);
        } catch (const config::FileError& error) {
            logEvent(EVENTLOG_ERROR_TYPE, kEventFailed,
                     std::string(server::kServerExecutableName) +
                         " could not be started: " + fileErrorText(error) + " The service stops");
            return 1;
        } catch (const std::exception& error) {
            logEvent(EVENTLOG_ERROR_TYPE, kEventFailed,
                     std::string(server::kServerExecutableName) +
                         " could not be started: " + error.what() + "; the service stops");
            return 1;
        }
        const DWORD id = server->id();
        logEvent(EVENTLOG_INFORMATION_TYPE, kEventStarted,
                 std::string(server::kServerExecutableName) + " started (process " +
                     std::to_string(id) + "): " + commandLine + leftAlone);
        if (!running) {
            report(SERVICE_RUNNING);
            running = true;
        }
        const auto started = Clock::now();

        const HANDLE waits[] = {host.stopRequested, server->process()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
            const DWORD grace = host.grace;
            const bool onRequest = endOnRequest(*server, grace);
            logEvent(EVENTLOG_INFORMATION_TYPE, kEventStopped,
                     std::string(server::kServerExecutableName) + " (process " +
                         std::to_string(id) + ") ended by the service's stop " +
                         (onRequest ? "on request"
                                    : "hard, as it had not ended " +
                                          secondsText(std::chrono::milliseconds(grace)) +
                                          " after it was asked to") +
                         ", with " + exitStatus(server->exitCode()));
            return 0;
        }
        const DWORD status = server->exitCode();
        server.reset();  // the job goes, and with it anything the server left behind
        if (RestartBackoff::isStop(status)) {
            logEvent(EVENTLOG_INFORMATION_TYPE, kEventStopped,
                     std::string(server::kServerExecutableName) + " (process " +
                         std::to_string(id) + ") ended with " + exitStatus(status) +
                         ", a stop from outside: the service stops");
            return 0;
        }
        const auto uptime = Clock::now() - started;
        const std::chrono::milliseconds delay = backoff.afterCrash(uptime);
        logEvent(EVENTLOG_WARNING_TYPE, kEventCrashed,
                 std::string(server::kServerExecutableName) + " (process " + std::to_string(id) +
                     ") crashed with " + exitStatus(status) + " after " +
                     secondsText(std::chrono::duration_cast<std::chrono::milliseconds>(uptime)) +
                     "; it is started again in " + secondsText(delay));
        if (WaitForSingleObject(host.stopRequested, static_cast<DWORD>(delay.count())) ==
            WAIT_OBJECT_0) {
            logEvent(EVENTLOG_INFORMATION_TYPE, kEventStopped,
                     "The service was stopped while " + std::string(server::kServerExecutableName) +
                         " waited for its restart");
            return 0;
        }
    }
}

void WINAPI serviceMain(DWORD, wchar_t**) {
    host.status = RegisterServiceCtrlHandlerExW(kServiceName, control, nullptr);
    if (host.status == nullptr) {
        return;
    }
    report(SERVICE_START_PENDING, NO_ERROR, 3000);
    report(SERVICE_STOPPED, supervise());
}

}  // namespace

int hostService(const CtlContext& context, const std::filesystem::path& logFile) {
    host.context = &context;
    host.logFile = logFile;
    // The service manager starts services in the system folder; the server works in the
    // program folder instead, where the window started from the Start menu has it work, so
    // a relative image folder means the same to both.
    SetCurrentDirectoryW(context.programFolder.c_str());
    host.stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    host.events = RegisterEventSourceW(nullptr, kServiceName);
    wchar_t name[] = L"ZarvoServer";
    const SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    const BOOL dispatched = StartServiceCtrlDispatcherW(table);
    const DWORD error = GetLastError();
    if (host.events != nullptr) {
        DeregisterEventSource(host.events);
    }
    if (!dispatched) {
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            context.err << "\"service host\" is what the service ZarvoServer runs; start the "
                           "service instead (sc start ZarvoServer)\n";
        } else {
            context.err << "service host: " << config::systemMessage(error) << "\n";
        }
        return kFailure;
    }
    return kSuccess;
}

}  // namespace veltrona::ctl

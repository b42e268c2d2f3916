#include "ctl/ForegroundRun.h"
#include "ctl/windows/ServerChild.h"

namespace veltrona::ctl {

int runInForeground(const server::ServerLaunch& launch,
                    const std::optional<process::LaunchAccount>&,
                    const std::function<void()>& started) {
    const ServerChild server(launch, ServerChild::Console::Shared);
    started();
    WaitForSingleObject(server.process(), INFINITE);
    return static_cast<int>(server.exitCode());
}

}  // namespace veltrona::ctl

#include "RunCommand.h"

#include <ostream>

#include "ForegroundRun.h"
#include "ServerAccount.h"
#include "ShownSettings.h"
#include "StartCommand.h"
#include "process/ProcessPlatform.h"
#include "server/ServerLaunch.h"

namespace veltrona::ctl {

int runRun(const CtlContext& context) {
    const ShownSettings settings = readShownSettings(context);
    std::optional<StartLock> lock;
    if (const std::optional<int> refused = lockForStart(context, settings, lock)) {
        return *refused;
    }
    const server::ServerLaunch launch =
        server::makeServerLaunch(settings.shown, /*verbose=*/false, context.programFolder);
    // What was said so far must be out before the server takes over the streams.
    context.out.flush();
    context.err.flush();
    try {
        return runInForeground(launch,
                               serverLaunchAccount(context.programFolder, settings.shown.port),
                               [&] { lock->release(); });
    } catch (const process::LaunchError& error) {
        return refuseStart(context, startFailure(error));
    }
}

}  // namespace veltrona::ctl

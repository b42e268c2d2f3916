#pragma once

#include <chrono>
#include <exception>
#include <optional>
#include <string>

#include "CtlOutput.h"
#include "ShownSettings.h"
#include "StartLock.h"

namespace veltrona::ctl {

// Starts the server as the window's start button does, with the settings of Server.INI
// as the window holds them after its start-up. Refuses (kFailure) when the server runs
// already or another program holds the configured port. With `wait`, returns kSuccess
// only once a server process listens on the configured port within `wait`; kFailure when
// it ended, never came up, or runs without listening. Where the Port setting is no port
// number that is said, and kSuccess then means detection sees the server and it has not
// ended within half a second.
int runStart(const CtlContext& context, bool verbose,
             std::optional<std::chrono::milliseconds> wait);

// What every launch of VeltronaCtl checks first: refuses (kFailure, the reason said) when
// the server runs already or another program holds the configured port; nothing when the
// server may be started.
std::optional<int> refuseWhileServing(const CtlContext& context, const ShownSettings& settings);

// Why the server is not started with these settings: their Port is no port number (or
// there is none), and a server without one listens nowhere, forever. Nothing when it is.
std::optional<std::string> portlessStart(const CtlContext& context, const ShownSettings& settings);

// Refuses (kFailure) as portlessStart says. Then takes the start lock into `lock` and refuses as
// refuseWhileServing does; also refuses (kFailure, the lock named) when the lock cannot be
// taken. Nothing when the server may be
// started, the lock then held until the caller lets it go.
std::optional<int> lockForStart(const CtlContext& context, const ShownSettings& settings,
                                std::optional<StartLock>& lock);

// Says why nothing was started: the message on the error stream, and with --json an object
// ({"exitCode":1,"error":...,"started":false} and `details`) on the output stream. Returns
// kFailure.
int refuseStart(const CtlContext& context, const std::string& message,
                const JsonObject& details = {});

// "ZarvoServer.exe could not be started: <reason>" for a refused launch.
std::string startFailure(const std::exception& error);

}  // namespace veltrona::ctl

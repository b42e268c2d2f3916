#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "CheckDefaults.h"
#include "CtlOutput.h"
#include "dicom/DicomEcho.h"

namespace veltrona::ctl {

// Where a C-ECHO goes; what is not given comes from Server.INI (port, AE title) or is
// the local machine.
struct EchoTarget {
    std::optional<std::string> host;  // system code page
    std::optional<int> port;
    std::optional<std::string> aeTitle;  // system code page
    std::chrono::milliseconds timeout = kDefaultEchoTimeout;
};

// The AE title VeltronaCtl calls from.
inline constexpr const char* kCallingAeTitle = "VELTRONACTL";

// The result's name in JSON: "answered", "rejected", "unreachable", "timedOut", "notDicom",
// "unavailable".
const char* echoStatusName(dicom::EchoResult::Status status);
// What became of the echo, after "C-ECHO to TITLE at HOST:PORT ": "answered in 0.4 ms",
// "was rejected", ...
std::string echoOutcome(const dicom::EchoResult& result);

// A DICOM C-ECHO to the server; kSuccess when it answered, kFailure otherwise, with the
// round-trip time or the reason.
int runEcho(const CtlContext& context, const EchoTarget& target);

}  // namespace veltrona::ctl

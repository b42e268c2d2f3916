#include "EchoCommand.h"

#include <cstdio>

#include "ShownSettings.h"
#include "config/text/CodePage.h"
#include "dicom/DicomEcho.h"

namespace veltrona::ctl {

using Status = dicom::EchoResult::Status;

const char* echoStatusName(Status status) {
    switch (status) {
        case Status::Answered:
            return "answered";
        case Status::Rejected:
            return "rejected";
        case Status::Unreachable:
            return "unreachable";
        case Status::TimedOut:
            return "timedOut";
        case Status::NotDicom:
            return "notDicom";
        case Status::Unavailable:
            return "unavailable";
    }
    return "unavailable";
}

std::string echoOutcome(const dicom::EchoResult& result) {
    switch (result.status) {
        case Status::Answered: {
            char milliseconds[32];
            std::snprintf(milliseconds, sizeof milliseconds, "%.1f", result.milliseconds);
            return std::string("answered in ") + milliseconds + " ms";
        }
        case Status::Rejected:
            return "was rejected";
        case Status::Unreachable:
            return "reached no server";
        case Status::TimedOut:
            return "was not answered in time";
        case Status::NotDicom:
            return "was answered, but not in DICOM";
        case Status::Unavailable:
            return "cannot be sent";  // the result's detail says why
    }
    return "failed";
}

int runEcho(const CtlContext& context, const EchoTarget& target) {
    const ShownSettings settings = readShownSettings(context);
    const config::CodePage system = config::CodePage::system();
    const std::string host = target.host.value_or("127.0.0.1");
    const std::string calledAeTitle =
        target.aeTitle ? system.toUtf8(*target.aeTitle) : settings.shown.aeTitle;
    int port = 0;
    if (target.port) {
        port = *target.port;
    } else if (const auto configured = portNumber(settings.shown.port)) {
        port = *configured;
    } else {
        throw CtlError(kFailure, "Port \"" + system.fromUtf8(settings.shown.port) +
                                     "\" in Server.INI is no port number; give one with --port");
    }

    const dicom::EchoResult result =
        dicom::echo(host, port, calledAeTitle, kCallingAeTitle, target.timeout);
    const bool answered = result.status == Status::Answered;
    std::string message = "C-ECHO to " + system.fromUtf8(calledAeTitle) + " at " + host + ":" +
                          std::to_string(port) + " " + echoOutcome(result);
    if (!answered && !result.detail.empty()) {
        message += ": " + system.fromUtf8(result.detail);
    }
    if (context.json) {
        JsonObject json = JsonObject()
                              .text("host", jsonText(host))
                              .integer("port", port)
                              .text("calledAeTitle", calledAeTitle)
                              .text("callingAeTitle", kCallingAeTitle)
                              .text("status", echoStatusName(result.status));
        if (answered) {
            json.number("milliseconds", result.milliseconds);
        } else {
            json.null("milliseconds");
        }
        json.text("detail", result.detail);
        if (!answered) {
            json.append(errorJson(kFailure, message));
        }
        context.out << json.str() << "\n";
    }
    if (!answered) {
        context.err << message << "\n";
    } else if (!context.json) {
        context.out << message << "\n";
    }
    return answered ? kSuccess : kFailure;
}

}  // namespace veltrona::ctl

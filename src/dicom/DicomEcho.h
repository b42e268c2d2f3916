#pragma once
#include <chrono>
#include <string>
namespace veltrona::dicom {
struct EchoResult {
    enum class Status {
        Answered,     // the association was accepted and the C-ECHO answered with success
        Rejected,     // the peer speaks DICOM but refused the association (e.g. unknown called AE
                      // title)
        Unreachable,  // nothing listens there: connection refused, host unknown
        TimedOut,     // no DICOM answer within the timeout
        NotDicom,     // something answered, but not DICOM (e.g. an HTTP server)
        Unavailable,  // this build has no DICOM network support
    };
    Status status = Status::Unavailable;
    double milliseconds = 0;  // round-trip time of the whole echo (association, C-ECHO, release)
    std::string detail;       // one line, English, why it failed (empty when answered)
};
// One C-ECHO from `callingAeTitle` to `calledAeTitle` at host:port. Never hangs past `timeout`
// (connection, association and the DIMSE exchange are all bounded), never throws.
EchoResult echo(const std::string& host, int port, const std::string& calledAeTitle,
                const std::string& callingAeTitle, std::chrono::milliseconds timeout);
// For a process whose only DICOM is the echo: gives the data dictionary just the elements of
// the DIMSE command set instead of loading the whole dictionary (~10 ms, more than the rest
// of a health check). Call it before any other DICOM use in the process; nothing else
// (storing or reading objects) can work afterwards. The environment is left as it was.
void useCommandDictionaryOnly();
}  // namespace veltrona::dicom

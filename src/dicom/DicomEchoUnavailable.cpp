// The DICOM client where the build has no DICOM network toolkit: the echo answers so.

#include "dicom/DicomEcho.h"

namespace veltrona::dicom {

namespace {

EchoResult unavailable() {
    return {EchoResult::Status::Unavailable, 0, "this build has no DICOM network support"};
}

}  // namespace

EchoResult echo(const std::string& /*host*/, int /*port*/, const std::string& /*calledAeTitle*/,
                const std::string& /*callingAeTitle*/, std::chrono::milliseconds /*timeout*/) {
    return unavailable();
}

void useCommandDictionaryOnly() {}

}  // namespace veltrona::dicom

#pragma once

#include <chrono>
#include <string>

#include "dicom/DicomEcho.h"

namespace veltrona::dicom {

// Sends one stored DICOM file (C-STORE) from `callingAeTitle` to `calledAeTitle` at
// host:port, bounded like the echo. For the test suites and benchmarks only: no product
// program links it.
EchoResult store(const std::string& host, int port, const std::string& calledAeTitle,
                 const std::string& callingAeTitle, const std::string& dicomFile,
                 std::chrono::milliseconds timeout);

}  // namespace veltrona::dicom

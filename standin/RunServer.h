#pragma once

#include "ServerArguments.h"

namespace veltrona::standin {

// Serves as the options say until the process is terminated from outside. Returns an exit
// status only when serving cannot go on. The build picks the implementation: a DICOM
// storage server where DCMTK is available, otherwise one that only announces itself and
// waits.
int runServer(const ServerOptions& options);

}  // namespace veltrona::standin

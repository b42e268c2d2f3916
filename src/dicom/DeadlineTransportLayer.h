#pragma once

#include <chrono>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmnet/dcmlayer.h"

namespace veltrona::dicom {

// What the peer did on the connection: enough to tell a silent or foreign server from one
// that speaks DICOM, which DCMTK's error conditions do not say reliably.
struct ConnectionReport {
    bool connected = false;  // DCMTK made the TCP connection and handed it over
    bool timedOut = false;   // a wait on the connection ran into the deadline
    int firstByte = -1;      // the first byte the peer sent (a PDU type in DICOM); -1: none
};

// DCMTK measures its timeouts in whole seconds; the connections this layer creates end
// every wait at one deadline instead, so a whole exchange fits into a timeout given in
// milliseconds. DCMTK's own connect() happens before a connection is handed over and is
// bounded by its connection timeout alone. The layer must outlive the network that uses it.
class DeadlineTransportLayer : public DcmTransportLayer {
  public:
    DeadlineTransportLayer(std::chrono::steady_clock::time_point deadline,
                           ConnectionReport& report);

    DcmTransportConnection* createConnection(DcmNativeSocketType openSocket,
                                             OFBool useSecureLayer) override;

  private:
    std::chrono::steady_clock::time_point deadline_;
    ConnectionReport& report_;
};

}  // namespace veltrona::dicom

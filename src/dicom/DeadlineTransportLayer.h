#pragma once

#include <chrono>
#include <string>

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
// milliseconds. DCMTK also makes the TCP connection itself, bounded in whole seconds, and
// offers no way to hand it one: connect() makes the connection within the deadline, and
// DCMTK is then sent to a listening socket of the layer's own on the loopback
// (relayAddress()), which the system completes at once. The connection DCMTK hands over is
// exchanged for the one made here and closed with it; nothing is ever accepted on the relay,
// which stays open as long as the layer, so DCMTK's end of it is never reset under it.
// The layer must outlive the network that uses it.
class DeadlineTransportLayer : public DcmTransportLayer {
  public:
    DeadlineTransportLayer(std::chrono::steady_clock::time_point deadline,
                           ConnectionReport& report);
    ~DeadlineTransportLayer() override;
    DeadlineTransportLayer(const DeadlineTransportLayer&) = delete;
    DeadlineTransportLayer& operator=(const DeadlineTransportLayer&) = delete;

    // Connects to host:port by TCP before the deadline and opens the relay. False with the
    // reason in `failure` when it cannot; the report says whether the deadline passed.
    bool connect(const std::string& host, int port, std::string& failure);

    // "127.0.0.1:PORT" of the relay, after connect() succeeded.
    std::string relayAddress() const;

    DcmTransportConnection* createConnection(DcmNativeSocketType openSocket,
                                             OFBool useSecureLayer) override;

  private:
    std::chrono::steady_clock::time_point deadline_;
    ConnectionReport& report_;
    DcmNativeSocketType connected_;
    DcmNativeSocketType relay_;
    int relayPort_ = 0;
};

}  // namespace veltrona::dicom

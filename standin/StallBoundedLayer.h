#pragma once

#include <chrono>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmnet/dcmlayer.h"

namespace veltrona::standin {

// How long the server waits for a quiet peer: for the rest of a PDU, for the next one, or
// for room to send. A transfer that keeps moving may take as long as it needs.
inline constexpr int stallSeconds = 5;
inline constexpr auto stallLimit = std::chrono::seconds(stallSeconds);

// The transport of the server's associations: TCP connections that give up on a peer that
// stalls for `stallLimit` (see StallBoundedLayer.cpp). No secure connections.
class StallBoundedLayer : public DcmTransportLayer {
  public:
    DcmTransportConnection* createConnection(DcmNativeSocketType socket,
                                             OFBool useSecureLayer) override;
};

}  // namespace veltrona::standin

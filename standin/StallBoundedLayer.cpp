#include "StallBoundedLayer.h"

#include <algorithm>

#include "ServerPlatform.h"
#include "dcmtk/dcmnet/dcmtrans.h"

namespace veltrona::standin {

namespace {

using Clock = std::chrono::steady_clock;

// A TCP connection that gives up on a peer gone quiet: a read waits at most `stallLimit`
// for data, a write at most that long for room. Until the server has answered the
// association request, the whole request must arrive within the limit, so sending it a byte
// at a time buys no more.
class StallBoundedConnection : public DcmTCPConnection {
  public:
    explicit StallBoundedConnection(DcmNativeSocketType socket)
        : DcmTCPConnection(socket), requestDeadline_(Clock::now() + stallLimit) {
        platform::limitSendTime(socket, stallSeconds);
    }

    ssize_t read(void* buffer, size_t length) override {
        if (!readableBefore(readLimit())) {
            platform::markTimedOut();
            return -1;
        }
        return DcmTCPConnection::read(buffer, length);
    }

    // DCMTK's own waits, in whole seconds: after a failed read it waits minutes for the
    // peer to close, which a stalled peer never does.
    OFBool networkDataAvailable(int timeoutSeconds) override {
        auto until = readLimit();
        if (timeoutSeconds >= 0) {
            until = std::min(until, Clock::now() + std::chrono::seconds(timeoutSeconds));
        }
        return readableBefore(until);
    }

    ssize_t write(void* buffer, size_t length) override {
        answered_ = true;
        return DcmTCPConnection::write(buffer, length);
    }

  private:
    Clock::time_point readLimit() const {
        if (stalled_) {
            return Clock::now();
        }
        const auto limit = Clock::now() + stallLimit;
        return answered_ ? limit : std::min(limit, requestDeadline_);
    }

    // False when `until` passed without data; from then on the connection is taken for dead.
    bool readableBefore(Clock::time_point until) {
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0) {
                stalled_ = true;
                return false;
            }
            if (platform::readableWithin(getSocket(), left)) {
                return true;
            }
        }
    }

    Clock::time_point requestDeadline_;
    bool answered_ = false;
    bool stalled_ = false;
};

}  // namespace

DcmTransportConnection* StallBoundedLayer::createConnection(DcmNativeSocketType socket,
                                                            OFBool useSecureLayer) {
    return useSecureLayer ? nullptr : new StallBoundedConnection(socket);
}

}  // namespace veltrona::standin

#include "dicom/DeadlineTransportLayer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "dcmtk/dcmnet/dcmtrans.h"

namespace veltrona::dicom {

namespace {

using Clock = std::chrono::steady_clock;

// A plain TCP connection whose reads, writes and waits end at the deadline at the latest.
// Writes are never partial: DCMTK treats a short write as a failed connection.
class DeadlineConnection : public DcmTCPConnection {
  public:
    DeadlineConnection(DcmNativeSocketType socket, Clock::time_point deadline,
                       ConnectionReport& report)
        : DcmTCPConnection(socket), deadline_(deadline), report_(report) {}

    ssize_t read(void* buffer, size_t length) override {
        if (!waitUntilReady(POLLIN, deadline_)) {
            errno = ETIMEDOUT;
            return -1;
        }
        ssize_t received = 0;
        do {
            received = ::recv(getSocket(), buffer, length, 0);
        } while (received < 0 && errno == EINTR);
        if (received > 0 && report_.firstByte < 0) {
            report_.firstByte = *static_cast<const unsigned char*>(buffer);
        }
        return received;
    }

    ssize_t write(void* buffer, size_t length) override {
        const auto* bytes = static_cast<const char*>(buffer);
        size_t sent = 0;
        while (sent < length) {
            if (!waitUntilReady(POLLOUT, deadline_)) {
                errno = ETIMEDOUT;
                return -1;
            }
            const ssize_t now =
                ::send(getSocket(), bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (now < 0) {
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                    continue;
                }
                return -1;
            }
            sent += static_cast<size_t>(now);
        }
        return static_cast<ssize_t>(sent);
    }

    // DCMTK's own wait, in whole seconds; ends early at the deadline.
    OFBool networkDataAvailable(int timeoutSeconds) override {
        auto until = deadline_;
        if (timeoutSeconds >= 0) {
            until = std::min(until, Clock::now() + std::chrono::seconds(timeoutSeconds));
        }
        return waitUntilReady(POLLIN, until);
    }

  private:
    // False when `until` passed first; marks the report when that was the deadline.
    bool waitUntilReady(short events, Clock::time_point until) {
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
            pollfd entry{getSocket(), events, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(left, 0)));
            if (ready > 0) {
                return true;
            }
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (Clock::now() < until) {
                continue;  // woken a little early; wait out the rest
            }
            if (until >= deadline_) {
                report_.timedOut = true;
            }
            return false;
        }
    }

    Clock::time_point deadline_;
    ConnectionReport& report_;
};

}  // namespace

DeadlineTransportLayer::DeadlineTransportLayer(Clock::time_point deadline, ConnectionReport& report)
    : deadline_(deadline), report_(report) {}

DcmTransportConnection* DeadlineTransportLayer::createConnection(DcmNativeSocketType openSocket,
                                                                 OFBool /*useSecureLayer*/) {
    report_.connected = true;
    return new DeadlineConnection(openSocket, deadline_, report_);
}

}  // namespace veltrona::dicom

#include "dicom/DeadlineTransportLayer.h"

#include <winsock2.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "dcmtk/dcmnet/dcmtrans.h"

namespace veltrona::dicom {

namespace {

using Clock = std::chrono::steady_clock;

// A plain TCP connection whose reads, writes and waits end at the deadline at the latest.
// The socket is switched to non-blocking mode, so that neither a receive nor a send can
// wait past the deadline once the socket has been reported ready. Writes are never
// partial: DCMTK treats a short write as a failed connection. DCMTK reads the reason of a
// failure from WSAGetLastError.
class DeadlineConnection : public DcmTCPConnection {
  public:
    DeadlineConnection(DcmNativeSocketType socket, Clock::time_point deadline,
                       ConnectionReport& report)
        : DcmTCPConnection(socket), deadline_(deadline), report_(report) {
        u_long nonBlocking = 1;
        ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    }

    ssize_t read(void* buffer, size_t length) override {
        const int most = static_cast<int>(std::min<size_t>(length, INT_MAX));
        for (;;) {
            if (!waitUntilReady(POLLRDNORM, deadline_)) {
                return timedOut();
            }
            const int received = ::recv(getSocket(), static_cast<char*>(buffer), most, 0);
            if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
                continue;
            }
            if (received > 0 && report_.firstByte < 0) {
                report_.firstByte = *static_cast<const unsigned char*>(buffer);
            }
            return received;
        }
    }

    ssize_t write(void* buffer, size_t length) override {
        const auto* bytes = static_cast<const char*>(buffer);
        size_t sent = 0;
        while (sent < length) {
            if (!waitUntilReady(POLLWRNORM, deadline_)) {
                return timedOut();
            }
            const int most = static_cast<int>(std::min<size_t>(length - sent, INT_MAX));
            const int now = ::send(getSocket(), bytes + sent, most, 0);
            if (now == SOCKET_ERROR) {
                if (::WSAGetLastError() == WSAEWOULDBLOCK) {
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
        return waitUntilReady(POLLRDNORM, until);
    }

  private:
    static ssize_t timedOut() {
        ::WSASetLastError(WSAETIMEDOUT);
        errno = ETIMEDOUT;
        return -1;
    }

    // False when `until` passed first; marks the report when that was the deadline. A closed
    // or failed connection counts as ready: the receive or send that follows reports it.
    bool waitUntilReady(short events, Clock::time_point until) {
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
            WSAPOLLFD entry{getSocket(), events, 0};
            const int ready = ::WSAPoll(&entry, 1, static_cast<INT>(std::max<long long>(left, 0)));
            if (ready > 0) {
                return true;
            }
            if (ready == SOCKET_ERROR) {
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

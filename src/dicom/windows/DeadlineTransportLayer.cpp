#include "dicom/DeadlineTransportLayer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "config/file/windows/SystemError.h"
#include "dcmtk/dcmnet/dcmtrans.h"

namespace veltrona::dicom {

namespace {

using Clock = std::chrono::steady_clock;

void closeSocket(SOCKET socket) {
    if (socket != INVALID_SOCKET) {
        ::closesocket(socket);
    }
}

// One non-blocking connect to `address`, waited for until the deadline. A refused or failed
// connect shows in the exception set (WSAPoll does not report it on every Windows). The
// socket, or INVALID_SOCKET with `failure` set, or with `timedOut` set when the deadline
// passed. The socket stays non-blocking.
SOCKET connectBefore(const addrinfo& address, Clock::time_point deadline, std::string& failure,
                     bool& timedOut) {
    const SOCKET socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket == INVALID_SOCKET) {
        failure = config::systemMessage(::WSAGetLastError());
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    int error = ::connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0
                    ? 0
                    : ::WSAGetLastError();
    while (error == WSAEWOULDBLOCK) {
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now());
        const long long micros = std::max<long long>(left.count(), 0);
        timeval wait{static_cast<long>(micros / 1000000), static_cast<long>(micros % 1000000)};
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        const int ready = ::select(0, nullptr, &writable, &failed, &wait);
        if (ready > 0) {
            int code = 0;
            int length = sizeof code;
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
            error = FD_ISSET(socket, &failed) && code == 0 ? WSAECONNREFUSED : code;
        } else if (ready == SOCKET_ERROR) {
            error = ::WSAGetLastError();
        } else if (Clock::now() >= deadline) {
            timedOut = true;
            closeSocket(socket);
            return INVALID_SOCKET;
        }
    }
    if (error != 0) {
        failure = config::systemMessage(error);
        closeSocket(socket);
        return INVALID_SOCKET;
    }
    // What DCMTK does with its own connections: Nagle's algorithm off when TCP_NODELAY asks.
    if (const char* noDelay = std::getenv("TCP_NODELAY"); noDelay && std::atoi(noDelay) != 0) {
        const BOOL on = TRUE;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
    }
    return socket;
}

// A listening socket on 127.0.0.1 at a port the system picks; INVALID_SOCKET when there is
// none. Exclusive, so that no other program can bind the same port beside it.
SOCKET listenOnLoopback(int& port) {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const BOOL on = TRUE;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (socket == INVALID_SOCKET ||
        ::setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                     sizeof on) != 0 ||
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket, SOMAXCONN) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(socket);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return socket;
}

// A plain TCP connection whose reads, writes and waits end at the deadline at the latest.
// The socket is switched to non-blocking mode, so that neither a receive nor a send can
// wait past the deadline once the socket has been reported ready. Writes are never
// partial: DCMTK treats a short write as a failed connection. DCMTK reads the reason of a
// failure from WSAGetLastError. `decoy` is DCMTK's own connection to the relay, closed
// with this one.
class DeadlineConnection : public DcmTCPConnection {
  public:
    DeadlineConnection(DcmNativeSocketType socket, Clock::time_point deadline,
                       ConnectionReport& report, DcmNativeSocketType decoy)
        : DcmTCPConnection(socket), deadline_(deadline), report_(report), decoy_(decoy) {
        u_long nonBlocking = 1;
        ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    }

    ~DeadlineConnection() override { closeSocket(decoy_); }

    void close() override {
        closeSocket(decoy_);
        decoy_ = INVALID_SOCKET;
        DcmTCPConnection::close();
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
    DcmNativeSocketType decoy_;
};

}  // namespace

DeadlineTransportLayer::DeadlineTransportLayer(Clock::time_point deadline, ConnectionReport& report)
    : deadline_(deadline), report_(report), connected_(INVALID_SOCKET), relay_(INVALID_SOCKET) {}

DeadlineTransportLayer::~DeadlineTransportLayer() {
    closeSocket(connected_);
    closeSocket(relay_);
}

bool DeadlineTransportLayer::connect(const std::string& host, int port, std::string& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    if (const int error =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses)) {
        failure = "unknown host: " + config::systemMessage(static_cast<DWORD>(error));
        return false;
    }
    for (const addrinfo* address = addresses; address != nullptr && connected_ == INVALID_SOCKET;
         address = address->ai_next) {
        connected_ = connectBefore(*address, deadline_, failure, report_.timedOut);
        if (report_.timedOut) {
            break;
        }
    }
    ::freeaddrinfo(addresses);
    if (connected_ != INVALID_SOCKET) {
        relay_ = listenOnLoopback(relayPort_);
        if (relay_ == INVALID_SOCKET) {
            failure = "no loopback port to hand the connection over";
            return false;
        }
    }
    return connected_ != INVALID_SOCKET;
}

std::string DeadlineTransportLayer::relayAddress() const {
    return "127.0.0.1:" + std::to_string(relayPort_);
}

DcmTransportConnection* DeadlineTransportLayer::createConnection(DcmNativeSocketType openSocket,
                                                                 OFBool /*useSecureLayer*/) {
    report_.connected = true;
    if (connected_ == INVALID_SOCKET) {
        return new DeadlineConnection(openSocket, deadline_, report_, INVALID_SOCKET);
    }
    const SOCKET socket = connected_;
    connected_ = INVALID_SOCKET;
    return new DeadlineConnection(socket, deadline_, report_, openSocket);
}

}  // namespace veltrona::dicom

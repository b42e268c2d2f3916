#include "dicom/DeadlineTransportLayer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "dcmtk/dcmnet/dcmtrans.h"

namespace veltrona::dicom {

namespace {

using Clock = std::chrono::steady_clock;

void closeSocket(int socket) {
    if (socket >= 0) {
        ::close(socket);
    }
}

// Milliseconds until `until`, rounded up; 0 once it passed.
int millisecondsUntil(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// One non-blocking connect to `address`, waited for until the deadline. The socket, or -1
// with `failure` set, or with `timedOut` set when the deadline passed.
int connectBefore(const addrinfo& address, Clock::time_point deadline, std::string& failure,
                  bool& timedOut) {
    const int socket = ::socket(
        address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (socket < 0) {
        failure = std::strerror(errno);
        return -1;
    }
    int error = ::connect(socket, address.ai_addr, address.ai_addrlen) == 0 ? 0 : errno;
    while (error == EINPROGRESS || error == EINTR) {
        pollfd entry{socket, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
        if (ready > 0) {
            socklen_t length = sizeof error;
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
        } else if (ready < 0) {
            error = errno == EINTR ? EINPROGRESS : errno;
        } else if (Clock::now() >= deadline) {
            timedOut = true;
            closeSocket(socket);
            return -1;
        }
    }
    if (error != 0) {
        failure = std::strerror(error);
        closeSocket(socket);
        return -1;
    }
    // Blocking again, as DCMTK's own connections are; every wait of the connection is bounded.
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) & ~O_NONBLOCK);
    // What DCMTK does with its own connections: Nagle's algorithm off when TCP_NODELAY asks.
    if (const char* noDelay = std::getenv("TCP_NODELAY"); noDelay && std::atoi(noDelay) != 0) {
        const int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return socket;
}

// A listening socket on 127.0.0.1 at a port the system picks; -1 when there is none.
int listenOnLoopback(int& port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket, SOMAXCONN) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(socket);
        return -1;
    }
    port = ntohs(address.sin_port);
    return socket;
}

// A plain TCP connection whose reads, writes and waits end at the deadline at the latest.
// Writes are never partial: DCMTK treats a short write as a failed connection. `decoy` is
// DCMTK's own connection to the relay, closed with this one.
class DeadlineConnection : public DcmTCPConnection {
  public:
    DeadlineConnection(DcmNativeSocketType socket, Clock::time_point deadline,
                       ConnectionReport& report, DcmNativeSocketType decoy)
        : DcmTCPConnection(socket), deadline_(deadline), report_(report), decoy_(decoy) {}

    ~DeadlineConnection() override { closeSocket(decoy_); }

    void close() override {
        closeSocket(decoy_);
        decoy_ = -1;
        DcmTCPConnection::close();
    }

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
    DcmNativeSocketType decoy_;
};

}  // namespace

DeadlineTransportLayer::DeadlineTransportLayer(Clock::time_point deadline, ConnectionReport& report)
    : deadline_(deadline), report_(report), connected_(-1), relay_(-1) {}

DeadlineTransportLayer::~DeadlineTransportLayer() {
    closeSocket(connected_);
    closeSocket(relay_);
}

bool DeadlineTransportLayer::connect(const std::string& host, int port, std::string& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    if (const int error =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses)) {
        failure = std::string("unknown host: ") + ::gai_strerror(error);
        return false;
    }
    for (const addrinfo* address = addresses; address != nullptr && connected_ < 0;
         address = address->ai_next) {
        connected_ = connectBefore(*address, deadline_, failure, report_.timedOut);
        if (report_.timedOut) {
            break;
        }
    }
    ::freeaddrinfo(addresses);
    if (connected_ >= 0) {
        relay_ = listenOnLoopback(relayPort_);
        if (relay_ < 0) {
            failure = "no loopback port to hand the connection over";
            return false;
        }
    }
    return connected_ >= 0;
}

std::string DeadlineTransportLayer::relayAddress() const {
    return "127.0.0.1:" + std::to_string(relayPort_);
}

DcmTransportConnection* DeadlineTransportLayer::createConnection(DcmNativeSocketType openSocket,
                                                                 OFBool /*useSecureLayer*/) {
    report_.connected = true;
    if (connected_ < 0) {
        return new DeadlineConnection(openSocket, deadline_, report_, -1);
    }
    const int socket = connected_;
    connected_ = -1;
    return new DeadlineConnection(socket, deadline_, report_, openSocket);
}

}  // namespace veltrona::dicom

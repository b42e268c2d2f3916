// The DICOM client against loopback listeners that are not DICOM servers: each is told apart
// within the client's timeout, in one line.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DicomTestObjects.h"
#include "dicom/DicomEcho.h"

namespace veltrona::dicom {
namespace {

using namespace std::chrono_literals;
using testing::freePort;
using Status = EchoResult::Status;

// A loopback listener that is not DICOM: it answers like a web server, closes at once, or
// accepts and says nothing.
class ForeignServer {
  public:
    enum class Kind { Http, Closing, Silent };

    explicit ForeignServer(Kind kind) : kind_(kind) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ForeignServer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        for (const int fd : held_) {
            ::close(fd);
        }
    }
    int port() const { return port_; }

  private:
    void serve() {
        for (;;) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            if (kind_ == Kind::Silent) {
                held_.push_back(client);
                continue;
            }
            if (kind_ == Kind::Http) {
                char request[512];
                (void)::recv(client, request, sizeof request, 0);
                const char answer[] = "HTTP/1.1 400 Bad Request\r\n\r\n";
                (void)::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
            }
            ::close(client);
        }
    }

    Kind kind_;
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> held_;
    std::thread thread_;
};

TEST(DicomClient, TellsClosedForeignAndSilentPortsApartWithinItsTimeout) {
    using Kind = ForeignServer::Kind;
    struct Row {
        const char* name;
        std::optional<Kind> kind;  // nothing listens without one
        Status expected;
    };
    const std::vector<Row> rows = {
        {"closed port", std::nullopt, Status::Unreachable},
        {"web server", Kind::Http, Status::NotDicom},
        {"closes at once", Kind::Closing, Status::NotDicom},
        {"says nothing", Kind::Silent, Status::TimedOut},
    };
    const auto timeout = 400ms;
    for (const auto& row : rows) {
        std::optional<ForeignServer> server;
        if (row.kind) {
            server.emplace(*row.kind);
        }
        const int port = server ? server->port() : freePort();
        const auto started = std::chrono::steady_clock::now();
        const auto result = echo("127.0.0.1", port, "ARCHIVE", "TESTER", timeout);
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(result.status, row.expected) << row.name << ": " << result.detail;
        EXPECT_NE(result.detail, "") << row.name;
        EXPECT_EQ(result.detail.find('\n'), std::string::npos) << row.name;
        // Bounded by the timeout; the margin is for a busy machine, not for the client.
        EXPECT_LT(took, timeout + 600ms) << row.name;
    }
    EXPECT_EQ(echo("no-such-host.invalid", 104, "ARCHIVE", "TESTER", 2s).status,
              Status::Unreachable);
}

}  // namespace
}  // namespace veltrona::dicom

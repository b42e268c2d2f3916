// The stand-in server as a real process on the loopback, started with the command line the
// tool builds, and the DICOM client against it and against servers that are not DICOM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DicomTestObjects.h"
#include "TempFolder.h"
#include "config/LaunchCommand.h"
#include "config/WindowsCommandLine.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcmetinf.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dicom/DicomEcho.h"

extern char** environ;

namespace veltrona::dicom {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::freePort;
using testing::readStored;
using testing::StoredObject;
using testing::writeImage;
using Status = EchoResult::Status;
using config::TransferSyntax;

const fs::path standinPath = fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe";

using veltrona::testing::TempFolder;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The stand-in started like the tool starts it: the parameter string split by the Windows
// rules, in its own working folder, with its output in files there.
class Standin {
  public:
    Standin(const fs::path& folder, const std::string& parameters) : folder_(folder) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn_file_actions_addopen(&actions, 1, "out.txt", O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "err.txt", O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::vector<std::string> arguments = config::splitWindowsArguments(parameters);
        std::string path = standinPath.string();
        std::vector<char*> argv{path.data()};
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int error =
            ::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            throw std::runtime_error("posix_spawn failed");
        }
    }
    ~Standin() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            end();
        }
    }

    // Waits until the server answers an echo, or has ended.
    bool answers(int port, const std::string& title) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (echo("127.0.0.1", port, title, "TESTER", 500ms).status == Status::Answered) {
                return true;
            }
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = 0;
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // The wait status once the process has ended.
    int end() {
        while (pid_ > 0 && ::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
        return status_;
    }

    pid_t pid() const { return pid_; }
    std::string out() const { return readFile(folder_ / "out.txt"); }
    std::string err() const { return readFile(folder_ / "err.txt"); }

  private:
    fs::path folder_;
    pid_t pid_ = 0;
    int status_ = 0;
};

std::string parameters(int port, TransferSyntax syntax, const std::string& additional = {},
                       bool verbose = false) {
    config::LaunchInput input;
    input.verbose = verbose;
    input.transferSyntax = syntax;
    input.parameters = additional;
    input.imageFolder = "images/";
    input.aeTitle = "ARCHIVE MAIN";
    input.port = std::to_string(port);
    return config::buildParameterString(input);
}

TEST(StandinServer, AnswersItsOwnTitleStoresAndEndsWithoutPartialFiles) {
    TempFolder folder;
    const int port = freePort();
    // What a server killed while writing left behind; a live process's file stays.
    fs::create_directories(folder.path() / "images");
    const auto abandoned = folder.path() / "images" / ".incoming-999999999-1.dcm";
    const auto busy =
        folder.path() / "images" / (".incoming-" + std::to_string(::getpid()) + "-1.dcm");
    std::ofstream(abandoned) << "half";
    std::ofstream(busy) << "half";

    Standin server(folder.path(), parameters(port, TransferSyntax::JpegLossless, "-v", true));
    ASSERT_TRUE(server.answers(port, "ARCHIVE MAIN")) << server.err();
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(busy));
    fs::remove(busy);

    struct EchoRow {
        const char* calledTitle;
        Status status;
        const char* detail;
    };
    const std::vector<EchoRow> echoes = {
        {"ARCHIVE MAIN", Status::Answered, ""},
        {" ARCHIVE MAIN ", Status::Answered, ""},
        {"ARCHIVE", Status::Rejected, "association rejected: called AE title not recognised"},
        {" ", Status::Rejected, "not sent: the called AE title \"\" is empty"},
        {"ARCHIVE MAIN 2024", Status::Rejected,
         "not sent: the called AE title \"ARCHIVE MAIN 2024\" is longer than 16 characters or "
         "holds a backslash or control character"},
    };
    for (const auto& row : echoes) {
        const auto result = echo("127.0.0.1", port, row.calledTitle, "TESTER", 2s);
        EXPECT_EQ(result.status, row.status) << row.calledTitle;
        EXPECT_EQ(result.detail, row.detail) << row.calledTitle;
    }

    const auto image = folder.path() / "sent.dcm";
    const std::string instance = writeImage(image);
    const auto stored = store("localhost", port, "ARCHIVE MAIN", "TESTER", image.string(), 5s);
    ASSERT_EQ(stored.status, Status::Answered) << stored.detail;
    EXPECT_EQ(namesIn(folder.path() / "images"), std::vector<std::string>{instance + ".dcm"});
    EXPECT_EQ(readStored(folder.path() / "images" / (instance + ".dcm")).instance, instance);
    EXPECT_EQ(
        store("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", (folder.path() / "none").string(), 2s)
            .status,
        Status::Unavailable);

    // Told to end while it writes a large object, the server finishes that file first: the
    // folder never holds a temporary or partial file once it has ended.
    const auto large = folder.path() / "large.dcm";
    const std::string largeInstance = writeImage(large, 4096);
    std::atomic<bool> sent = false;
    std::thread sender([&] {
        store("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", large.string(), 20s);
        sent = true;
    });
    const auto writing = [&] {
        for (const auto& name : namesIn(folder.path() / "images")) {
            if (name.front() == '.') {
                return true;
            }
        }
        return false;
    };
    while (!writing() && !sent) {
    }
    ::kill(server.pid(), SIGTERM);
    const int status = server.end();
    sender.join();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(namesIn(folder.path() / "images").size(), 2u);
    EXPECT_EQ(readStored(folder.path() / "images" / (largeInstance + ".dcm")).instance,
              largeInstance);

    const std::string log = server.out();
    for (const char* line :
         {"Association request from \"TESTER\" at 127.0.0.1 to \"ARCHIVE MAIN\"",
          "Association accepted", "C-ECHO answered",
          "Association refused: called AE title not recognised", "Association released"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
    }
    EXPECT_EQ(server.err(), "");
}

// The stored file keeps the transfer syntax the association agreed on. The client offers
// implicit VR first (the file's own), explicit VR second: the server's preference decides.
TEST(StandinServer, PrefersTheLastTransferSyntaxNamedAndStaysQuiet) {
    struct Row {
        TransferSyntax syntax;
        const char* additional;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {TransferSyntax::None, "", UID_LittleEndianExplicitTransferSyntax},
        {TransferSyntax::ImplicitVR, "", UID_LittleEndianImplicitTransferSyntax},
        {TransferSyntax::JpegLossless, "-v +xi", UID_LittleEndianImplicitTransferSyntax},
        {TransferSyntax::ImplicitVR, "+x=", UID_LittleEndianExplicitTransferSyntax},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        const int port = freePort();
        const std::string command = parameters(port, row.syntax, row.additional);
        SCOPED_TRACE(command);
        Standin server(folder.path(), command);
        ASSERT_TRUE(server.answers(port, "ARCHIVE MAIN")) << server.err();
        const std::string instance =
            writeImage(folder.path() / "sent.dcm", 8, EXS_LittleEndianImplicit);
        const auto stored = store("127.0.0.1", port, "ARCHIVE MAIN", "TESTER",
                                  (folder.path() / "sent.dcm").string(), 5s);
        ASSERT_EQ(stored.status, Status::Answered) << stored.detail;
        EXPECT_EQ(readStored(folder.path() / "images" / (instance + ".dcm")).transferSyntax,
                  row.expected);
        echo("127.0.0.1", port, "SOMEONE ELSE", "TESTER", 2s);

        // Quiet without "-d": the announcement alone, nothing from DCMTK on stderr.
        ::kill(server.pid(), SIGTERM);
        server.end();
        const std::string out = server.out();
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_EQ(server.err(), "");
    }
}

TEST(StandinServer, RefusesAPortThatIsNotANumber) {
    TempFolder folder;
    Standin server(folder.path(), R"( -dw +xs -od "images"  -aet ARCHIVE MAIN 104x)");
    const int status = server.end();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(server.err().find("\"104x\""), std::string::npos) << server.err();
}

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

// The stand-in server as a real process on the loopback, started with the command line the
// tool builds, and the DICOM client against it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
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
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DicomStore.h"
#include "DicomTestObjects.h"
#include "TempFolder.h"
#include "config/settings/LaunchCommand.h"
#include "config/settings/WindowsCommandLine.h"
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
    input.settings.transferSyntax = syntax;
    input.settings.parameters = additional;
    input.settings.imageFolder = "images/";
    input.settings.aeTitle = "ARCHIVE MAIN";
    input.settings.port = std::to_string(port);
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

// A TCP connection to the stand-in that sends whatever bytes it is given and nothing more.
class RawClient {
  public:
    explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool send(const std::string& bytes) {
        return connected_ && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                                 static_cast<ssize_t>(bytes.size());
    }
    // The type of the next PDU the server sends; -1 when none arrives within `limit`.
    int nextPduType(std::chrono::seconds limit) {
        char header[6];
        size_t have = 0;
        while (have < sizeof header && readable(limit)) {
            const ssize_t now = ::recv(fd_, header + have, sizeof header - have, 0);
            if (now <= 0) {
                return -1;
            }
            have += static_cast<size_t>(now);
        }
        return have == sizeof header ? static_cast<unsigned char>(header[0]) : -1;
    }
    // Whether the server closes the connection within `limit`; what it sends first is skipped.
    bool closedByServerWithin(std::chrono::seconds limit) {
        char buffer[512];
        while (readable(limit)) {
            if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) {
                return true;
            }
        }
        return false;
    }

  private:
    bool readable(std::chrono::seconds limit) {
        pollfd entry{fd_, POLLIN, 0};
        return ::poll(&entry, 1, static_cast<int>(limit.count() * 1000)) > 0;
    }

    int fd_;
    bool connected_ = false;
};

std::string item(unsigned char type, const std::string& payload) {
    return std::string{static_cast<char>(type), '\0', static_cast<char>(payload.size() >> 8),
                       static_cast<char>(payload.size() & 0xff)} +
           payload;
}

std::string aeTitleField(const std::string& title) {
    return title + std::string(16 - title.size(), ' ');
}

// An A-ASSOCIATE-RQ proposing verification in implicit VR little endian.
std::string associateRequest(const std::string& called) {
    const std::string body =
        std::string("\0\1\0\0", 4) + aeTitleField(called) + aeTitleField("HOSTILE") +
        std::string(32, '\0') + item(0x10, "1.2.840.10008.3.1.1.1") +
        item(0x20, std::string("\1\0\0\0", 4) + item(0x30, "1.2.840.10008.1.1") +
                       item(0x40, "1.2.840.10008.1.2")) +
        item(0x50, item(0x51, std::string("\0\0\x40\0", 4)) +
                       item(0x52, "1.2.826.0.1.3680043.2.1143.77"));
    const uint32_t length = static_cast<uint32_t>(body.size());
    return std::string{'\1',
                       '\0',
                       static_cast<char>(length >> 24),
                       static_cast<char>((length >> 16) & 0xff),
                       static_cast<char>((length >> 8) & 0xff),
                       static_cast<char>(length & 0xff)} +
           body;
}

// Ways to stop in the middle of a PDU: `accepted` is sent and answered with an
// A-ASSOCIATE-AC first, then `stalled`, and the client goes quiet.
struct HalfPdu {
    const char* name;
    std::string accepted;
    std::string stalled;
};

std::vector<HalfPdu> halfPdus() {
    const std::string request = associateRequest("ARCHIVE MAIN");
    return {
        {"a PDU header only", "", request.substr(0, 6)},
        {"half an A-ASSOCIATE-RQ", "", request.substr(0, request.size() / 2)},
        {"a P-DATA-TF header claiming 2 GB", request, std::string("\4\0\x7f\xff\xff\xff", 6)},
    };
}

bool stallIn(RawClient& client, const HalfPdu& kind) {
    if (!kind.accepted.empty() && (!client.send(kind.accepted) || client.nextPduType(5s) != 0x02)) {
        return false;
    }
    return client.send(kind.stalled);
}

TEST(StandinServer, AClientStalledMidPduNeitherBlocksEchoesNorKeepsItsConnection) {
    TempFolder folder;
    const int port = freePort();
    Standin server(folder.path(), parameters(port, TransferSyntax::None));
    ASSERT_TRUE(server.answers(port, "ARCHIVE MAIN")) << server.err();

    for (const auto& kind : halfPdus()) {
        SCOPED_TRACE(kind.name);
        RawClient stalled(port);
        ASSERT_TRUE(stallIn(stalled, kind));
        const auto answer = echo("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", 3s);
        EXPECT_EQ(answer.status, Status::Answered) << answer.detail;
        EXPECT_TRUE(stalled.closedByServerWithin(15s));
    }

    // More stalled clients than the server serves at once: the echo waits for a free slot,
    // which the stall timeout makes within seconds.
    const auto kinds = halfPdus();
    std::vector<std::unique_ptr<RawClient>> crowd;
    for (int i = 0; i < 20; ++i) {
        crowd.push_back(std::make_unique<RawClient>(port));
        stallIn(*crowd.back(), kinds[i % 2]);
    }
    const auto answer = echo("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", 15s);
    EXPECT_EQ(answer.status, Status::Answered) << answer.detail;
}

// Links planted at every name a temporary file could be given by a counter, and at the
// final name, lead to a file outside the image folder that must stay as it is.
TEST(StandinServer, StoresThroughNoLinkPlantedInTheImageFolder) {
    TempFolder folder;
    const int port = freePort();
    const auto images = folder.path() / "images";
    const auto victim = folder.path() / "victim.txt";
    fs::create_directories(images);
    std::ofstream(victim) << "keep";
    Standin server(folder.path(), parameters(port, TransferSyntax::None));
    ASSERT_TRUE(server.answers(port, "ARCHIVE MAIN")) << server.err();

    const auto image = folder.path() / "sent.dcm";
    const std::string instance = writeImage(image);
    const std::string pid = std::to_string(server.pid());
    for (int n = 0; n < 64; ++n) {
        fs::create_symlink(victim,
                           images / (".incoming-" + pid + "-" + std::to_string(n) + ".dcm"));
    }
    fs::create_symlink(victim, images / (instance + ".dcm"));

    const auto stored = store("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", image.string(), 5s);
    ASSERT_EQ(stored.status, Status::Answered) << stored.detail;
    EXPECT_EQ(readFile(victim), "keep");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(images / (instance + ".dcm"))));
    EXPECT_EQ(readStored(images / (instance + ".dcm")).instance, instance);
}

}  // namespace
}  // namespace veltrona::dicom

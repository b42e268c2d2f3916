// One DICOM echo round trip (association, C-ECHO, release) from veltrona_dicom to the
// stand-in server on the loopback. The server is started once, from the program folder,
// in a temporary working folder.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "DicomTestObjects.h"
#include "dicom/DicomEcho.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using veltrona::dicom::EchoResult;

int port = 0;
const std::string title = "BENCH ARCHIVE";

pid_t startServer(const fs::path& folder) {
    std::string program = (fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe").string();
    std::vector<std::string> arguments = {program, "-dw",   "-od",     "images",
                                          "-aet",  "BENCH", "ARCHIVE", std::to_string(port)};
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : 0;
}

void BM_Echo(benchmark::State& state) {
    for (auto _ : state) {
        const EchoResult result = veltrona::dicom::echo("127.0.0.1", port, title, "BENCH", 2s);
        if (result.status != EchoResult::Status::Answered) {
            state.SkipWithError(result.detail.c_str());
            break;
        }
    }
}
BENCHMARK(BM_Echo)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (fs::temp_directory_path() / "veltrona-bench-echo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "cannot create a temporary folder\n";
        return 1;
    }
    const fs::path folder = pattern;
    port = veltrona::dicom::testing::freePort();
    const pid_t server = startServer(folder);
    bool ready = false;
    for (int attempt = 0; server != 0 && attempt < 200 && !ready; ++attempt) {
        ready = veltrona::dicom::echo("127.0.0.1", port, title, "BENCH", 500ms).status ==
                EchoResult::Status::Answered;
        if (!ready) {
            std::this_thread::sleep_for(20ms);
        }
    }
    int status = 0;
    if (ready) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    } else {
        std::cerr << "the stand-in server did not answer on port " << port << "\n";
        status = 1;
    }
    if (server != 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    fs::remove_all(folder);
    return status;
}

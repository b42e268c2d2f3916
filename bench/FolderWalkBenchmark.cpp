// The health check walks the image folder to learn its size: on a tree of 1,000,000 files
// that walk must be at least 1.25 times as fast as `du -sb` for the same tree.
//
// VELTRONA_WALK_FILES: the files of the tree, in thousands of files per series folder
// (default 100,000). VELTRONA_WALK_TREE: a folder to make the tree in and keep, or to find
// it in from an earlier run (a big tree takes minutes to make); without it, the tree is
// made in the temporary folder and removed at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "ctl/FolderWalk.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// An image folder as a server fills it: FOLDERS series folders of FILES files each, in
// patient and study folders, each file a few hundred bytes. Removed with the benchmark.
class ImageTree {
  public:
    ImageTree(int folders, int files, const char* keep) : kept_(keep != nullptr) {
        if (kept_) {
            root_ = keep;
            if (fs::exists(root_ / "complete")) {
                return;  // made by an earlier run
            }
            fs::create_directories(root_);
        } else {
            std::string pattern = (fs::temp_directory_path() / "veltrona-walk-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) {
                throw std::runtime_error("mkdtemp failed");
            }
            root_ = pattern;
        }
        const std::string content(300, 'x');
        for (int folder = 0; folder < folders; ++folder) {
            const fs::path series = root_ / ("patient" + std::to_string(folder / 10)) /
                                    ("study" + std::to_string(folder % 10)) / "series";
            fs::create_directories(series);
            for (int file = 0; file < files; ++file) {
                const std::string name = (series / (std::to_string(file) + ".dcm")).string();
                const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                if (fd < 0 || ::write(fd, content.data(), content.size() - file % 100) < 0) {
                    throw std::runtime_error("cannot write " + name);
                }
                ::close(fd);
            }
        }
        std::ofstream(root_ / "complete") << "";
    }
    ~ImageTree() {
        if (!kept_) {
            std::error_code ignored;
            fs::remove_all(root_, ignored);
        }
    }
    const fs::path& root() const { return root_; }

  private:
    fs::path root_;
    bool kept_;
};

constexpr int kFilesPerFolder = 1000;

int treeFiles() {
    const char* files = ::getenv("VELTRONA_WALK_FILES");
    return files != nullptr ? std::stoi(files) : 100000;
}

const ImageTree& tree() {
    static const ImageTree images(treeFiles() / kFilesPerFolder, kFilesPerFolder,
                                  ::getenv("VELTRONA_WALK_TREE"));
    return images;
}

std::uint64_t walk() {
    const auto result =
        veltrona::ctl::walkFolder(tree().root(), Clock::now() + std::chrono::hours(1));
    // The marker file of a kept tree counts as well.
    const auto expected =
        static_cast<std::uint64_t>(treeFiles() / kFilesPerFolder) * kFilesPerFolder +
        (::getenv("VELTRONA_WALK_TREE") != nullptr ? 1 : 0);
    if (!result.complete || result.files != expected) {
        throw std::runtime_error("the walk did not count the whole tree");
    }
    return result.bytes;
}

// One `du -sb` run over the tree, output to nowhere, to its end.
void du() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = "/usr/bin/du";
    std::string option = "-sb";
    std::string folder = tree().root().string();
    char* argv[] = {program.data(), option.data(), folder.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
        throw std::runtime_error("cannot start du");
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

void BM_FolderWalk(benchmark::State& state) {
    walk();  // the tree into the caches, as for du
    for (auto _ : state) {
        benchmark::DoNotOptimize(walk());
    }
}

void BM_DuSb(benchmark::State& state) {
    du();
    for (auto _ : state) {
        du();
    }
}

// Processor seconds this process (every thread of it) and its ended children used so far.
double processorSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Both interleaved, so load from other users of the machine falls on both alike. Besides
// the wall clock, the processor time each took: the walk gains by its second thread only
// while the machine has a processor to spare.
void BM_WalkPerDu(benchmark::State& state) {
    walk();
    du();
    double walking = 0;
    double duing = 0;
    double walkProcessor = 0;
    double duProcessor = 0;
    for (auto _ : state) {
        double processor = processorSeconds(RUSAGE_SELF);
        auto start = Clock::now();
        benchmark::DoNotOptimize(walk());
        walking += std::chrono::duration<double>(Clock::now() - start).count();
        walkProcessor += processorSeconds(RUSAGE_SELF) - processor;
        processor = processorSeconds(RUSAGE_CHILDREN);
        start = Clock::now();
        du();
        duing += std::chrono::duration<double>(Clock::now() - start).count();
        duProcessor += processorSeconds(RUSAGE_CHILDREN) - processor;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["walk_ms"] = 1e3 * walking / runs;
    state.counters["du_ms"] = 1e3 * duing / runs;
    state.counters["walk_cpu_ms"] = 1e3 * walkProcessor / runs;
    state.counters["du_cpu_ms"] = 1e3 * duProcessor / runs;
    state.counters["du_per_walk"] = duing / walking;  // target >= 1.25
}

// Wall-clock time decides how many runs make a measurement: the walk's processor time is
// spread over two threads.
BENCHMARK(BM_FolderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DuSb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WalkPerDu)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

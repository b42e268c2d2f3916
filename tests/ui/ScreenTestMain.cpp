// Test main for suites that need a real X server with a window manager: each run gets an
// Xvfb of its own, on a display number the server picks, with openbox on it; both end with
// the run, also when it is killed. Where they are not installed the application runs
// offscreen, and the tests skip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Starts `argv` with no input or output; the descriptors it inherits stay open.
pid_t spawn(std::vector<std::string> argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            dup2(null, fd);
        }
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Returns what went wrong, or nothing once DISPLAY names the new server.
std::string startServerAndWindowManager(std::vector<pid_t>& started) {
    int fds[2];
    if (pipe(fds) != 0) {
        return "no pipe for Xvfb";
    }
    started.push_back(spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                             "1280x1024x24", "-nolisten", "tcp"}));
    close(fds[1]);
    FILE* displayFd = fdopen(fds[0], "r");
    int display = -1;
    const bool ok = std::fscanf(displayFd, "%d", &display) == 1;  // EOF if Xvfb died
    std::fclose(displayFd);
    if (!ok) {
        return "Xvfb did not start";
    }
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    started.push_back(spawn({"openbox", "--sm-disable"}));
    return {};
}

// A window mapped while openbox is still starting up can stay unframed, or unmapped. A
// probe window that it has framed shows it ready; the probe is mapped again until it is.
bool windowManagerFrames() {
    QWidget probe;
    probe.resize(16, 16);
    for (int attempt = 0; attempt < 6; ++attempt) {
        probe.show();
        const bool framed = QTest::qWaitFor(
            [&probe] { return !probe.windowHandle()->frameMargins().isNull(); }, 5000);
        probe.hide();
        if (framed) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const bool listing = argc > 1 && std::string(argv[1]) == "--gtest_list_tests";
    const bool installed = std::system(
                               "command -v Xvfb >/dev/null && "
                               "command -v openbox >/dev/null && "
                               "command -v xwininfo >/dev/null") == 0;
    std::vector<pid_t> started;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!listing && installed) {
        if (const std::string failure = startServerAndWindowManager(started); !failure.empty()) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            return 1;
        }
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    int status = 1;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName("Veltrona Administration");
        if (QGuiApplication::platformName() == "xcb" && !windowManagerFrames()) {
            std::fprintf(stderr, "openbox framed no window within 30 seconds\n");
        } else {
            ::testing::InitGoogleTest(&argc, argv);
            status = RUN_ALL_TESTS();
        }
    }  // The application leaves the X server before the server goes.
    for (const pid_t pid : started) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return status;
}

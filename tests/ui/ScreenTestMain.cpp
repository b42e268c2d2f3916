// Test main for suites that need a real X server with a window manager. Each run starts an
// Xvfb of its own, on a display number the server picks, with openbox on it, and runs the
// application there through xcb; both end with the run, also when the run is killed. Where
// either program is missing the application runs offscreen, and the tests skip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Starts `argv` with its output discarded; the child is killed when this process ends.
// Descriptors without close-on-exec, like the -displayfd pipe, stay open in the child.
pid_t spawn(std::vector<std::string> argv) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = ::open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    std::vector<char*> args;
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// Reads the display number that Xvfb writes to -displayfd once it accepts connections.
std::string readDisplay(int fd) {
    std::string number;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) {
            continue;
        }
        char c = 0;
        if (read(fd, &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    return number;
}

bool toolsInstalled() {
    return std::system(
               "command -v Xvfb >/dev/null && command -v openbox >/dev/null && "
               "command -v wmctrl >/dev/null && command -v xwininfo >/dev/null") == 0;
}

struct PrivateScreen {
    pid_t server = -1;
    pid_t windowManager = -1;

    // Returns what went wrong, or nothing.
    std::string start() {
        int fds[2];
        if (pipe(fds) != 0) {
            return "no pipe for Xvfb";
        }
        server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                        "1280x1024x24", "-nolisten", "tcp"});
        close(fds[1]);
        const std::string number = readDisplay(fds[0]);
        close(fds[0]);
        if (number.empty()) {
            return "Xvfb did not start";
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        windowManager = spawn({"openbox", "--sm-disable"});
        QElapsedTimer clock;
        clock.start();
        while (std::system("wmctrl -m >/dev/null 2>&1") != 0) {
            if (clock.elapsed() > 30000) {
                return "openbox did not start on display :" + number;
            }
            QThread::msleep(50);
        }
        return {};
    }

    ~PrivateScreen() {
        for (const pid_t pid : {windowManager, server}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
    }
};

// The window manager announces itself before it handles its first request, and a window
// mapped while it is still starting up can stay unmapped and unframed. A probe window that
// it has framed shows that it is ready; the probe is mapped again until it is.
bool windowManagerFrames() {
    QWidget probe;
    probe.resize(16, 16);
    for (int attempt = 0; attempt < 6; ++attempt) {
        probe.show();
        if (QTest::qWaitFor([&probe] { return !probe.windowHandle()->frameMargins().isNull(); },
                            5000)) {
            probe.hide();
            return true;
        }
        probe.hide();
        QTest::qWait(100);
    }
    return false;
}

bool listingOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--gtest_list_tests") {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    PrivateScreen screen;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!listingOnly(argc, argv) && toolsInstalled()) {
        if (const std::string failure = screen.start(); !failure.empty()) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            return 1;
        }
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Veltrona Administration");
    if (QGuiApplication::platformName() == "xcb" && !windowManagerFrames()) {
        std::fprintf(stderr, "openbox did not frame a window within 30 seconds\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

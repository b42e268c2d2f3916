#pragma once

// What the administration window reaches the outside world through, replaced for tests:
// the process table, the dialogs and the clock, and a temporary install around them.
// Plain C++: the same doubles serve every window toolkit and the toolkit-free form.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/ServerAdminForm.h"
#include "process/ProcessPlatform.h"
#include "ui/UserDialogs.h"

namespace veltrona::process {
// A failed comparison of process lists shows the processes, not their bytes.
inline void PrintTo(const ProcessEntry& entry, std::ostream* out) {
    *out << entry.id << " " << entry.executable << (entry.user.empty() ? "" : " as ") << entry.user;
}
}  // namespace veltrona::process

namespace veltrona::app::testing {

// A process table the test sets; every listing answers from it, or from the queued
// answers first when a test scripts a sequence of looks.
class ScriptedProcesses : public process::ProcessPlatform {
  public:
    std::vector<process::ProcessEntry> running;
    std::deque<std::vector<process::ProcessEntry>> queuedListings;
    std::vector<process::ProcessEntry> terminated;
    std::vector<process::ProcessId> refuse;  // terminations the platform denies
    struct Launch {
        std::filesystem::path program;
        std::string parameters;
        bool shown;
        bool operator==(const Launch&) const = default;
        // A failed comparison shows the launch, not its bytes.
        friend void PrintTo(const Launch& launch, std::ostream* out) {
            *out << launch.program << " [" << launch.parameters << "]"
                 << (launch.shown ? " shown" : " hidden");
        }
    };
    std::vector<Launch> launches;
    bool refuseLaunch = false;
    bool failListing = false;
    int listings = 0;

    process::PathSyntax pathSyntax() const override { return process::PathSyntax::Posix; }

    std::vector<process::ProcessEntry> listProcesses() override {
        ++listings;
        if (failListing) {
            throw std::runtime_error("listing broke");
        }
        if (!queuedListings.empty()) {
            auto next = queuedListings.front();
            queuedListings.pop_front();
            return next;
        }
        return running;
    }

    process::TerminateResult terminate(const process::ProcessEntry& entry) override {
        for (process::ProcessId id : refuse) {
            if (id == entry.id) {
                return process::TerminateResult::Refused;
            }
        }
        terminated.push_back(entry);
        return process::TerminateResult::Terminated;
    }

    void launch(const std::filesystem::path& program, const std::string& parameters,
                bool shown) override {
        if (refuseLaunch) {
            throw process::LaunchError("No such file or directory");
        }
        launches.push_back({program, parameters, shown});
    }
};

// Records what the window would show, and answers the password prompt as told.
class RecordingDialogs : public ui::UserDialogs {
  public:
    using Texts = std::vector<std::string>;
    Texts infos;
    Texts errors;
    int stopFailures = 0;
    struct Prompt {
        std::string caption;
        std::string prompt;
    };
    std::vector<Prompt> prompts;
    std::optional<std::string> passwordAnswer;  // nullopt: the prompt is cancelled
    std::function<void()> whileOpen;            // runs inside every dialog, like a nested loop

    void showInfo(const std::string& text) override {
        infos.push_back(text);
        runWhileOpen();
    }
    bool passwordQuery(const std::string& caption, const std::string& prompt,
                       std::string& value) override {
        prompts.push_back({caption, prompt});
        runWhileOpen();
        if (!passwordAnswer) {
            return false;
        }
        value = *passwordAnswer;
        return true;
    }
    void showError(const std::string& message) override {
        errors.push_back(message);
        runWhileOpen();
    }
    void showStopFailure(const std::string&) override {
        ++stopFailures;
        runWhileOpen();
    }

  private:
    void runWhileOpen() {
        if (whileOpen) {
            whileOpen();
        }
    }
};

class FixedClock : public Clock {
  public:
    TimeOfDay time{9, 5, 7};
    TimeOfDay now() const override { return time; }
};

inline TimeFormat germanTimeFormat() {
    return TimeFormat{};
}

// A temporary install: <root>/bin/ is the program folder, <root>/Custom.ini the
// translation file above it. A window under test is built over `services()`.
class InstallTest : public ::testing::Test {
  protected:
    std::filesystem::path root;
    std::filesystem::path programFolder;
    ScriptedProcesses processes;
    RecordingDialogs dialogs;
    FixedClock clock;

    void SetUp() override {
        std::random_device random;
        do {
            root = std::filesystem::temp_directory_path() /
                   ("veltrona-form-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(root));
        programFolder = root / "bin" / "";
        std::filesystem::create_directory(programFolder);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    FormServices services(std::function<TimeFormat()> timeFormat = germanTimeFormat) {
        return FormServices{processes, dialogs, clock, std::move(timeFormat), programFolder};
    }

    static void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string readBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void writeSettings(const std::string& bytes) const {
        writeBytes(programFolder / "Server.INI", bytes);
    }
    void writeTranslation(const std::string& bytes) const {
        writeBytes(root / "Custom.ini", bytes);
    }

    void serverRuns(bool running, const std::string& path = "/opt/zarvo/ZarvoServer.exe") {
        processes.running.clear();
        processes.running.push_back({1, "/usr/bin/bash"});
        if (running) {
            processes.running.push_back({4242, path});
        }
    }
};

}  // namespace veltrona::app::testing

#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "QtAdminWindow.h"
#include "process/ProcessPlatform.h"
#include "ui/UserDialogs.h"

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
        std::string program;
        std::string parameters;
        bool shown;
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

    void launch(const std::string& program, const std::string& parameters, bool shown) override {
        if (refuseLaunch) {
            throw process::LaunchError("No such file or directory");
        }
        launches.push_back({program, parameters, shown});
    }
};

// Records what the window would show, and answers the password prompt as told.
class RecordingDialogs : public ui::UserDialogs {
  public:
    QStringList infos;
    QStringList errors;
    int stopFailures = 0;
    struct Prompt {
        QString caption;
        QString prompt;
    };
    std::vector<Prompt> prompts;
    std::optional<QString> passwordAnswer;  // nullopt: the prompt is cancelled
    std::function<void()> whileOpen;        // runs inside every dialog, like a nested loop

    void showInfo(const std::string& text) override {
        infos << QString::fromStdString(text);
        runWhileOpen();
    }
    bool passwordQuery(const std::string& caption, const std::string& prompt,
                       std::string& value) override {
        prompts.push_back({QString::fromStdString(caption), QString::fromStdString(prompt)});
        runWhileOpen();
        if (!passwordAnswer) {
            return false;
        }
        value = passwordAnswer->toStdString();
        return true;
    }
    void showError(const std::string& message) override {
        errors << QString::fromStdString(message);
        runWhileOpen();
    }
    void showStopFailure() override {
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
// translation file above it.
class FormTest : public ::testing::Test {
  protected:
    QTemporaryDir root;
    std::filesystem::path programFolder;
    ScriptedProcesses processes;
    RecordingDialogs dialogs;
    FixedClock clock;
    std::unique_ptr<QtAdminWindow> form;

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        programFolder = std::filesystem::path(root.path().toStdString()) / "bin" / "";
        std::filesystem::create_directories(programFolder);
    }

    void TearDown() override { form.reset(); }

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
    void writeSettings(const std::string& bytes) {
        writeBytes(programFolder / "Server.INI", bytes);
    }
    void writeTranslation(const std::string& bytes) {
        writeBytes(programFolder.parent_path().parent_path() / "Custom.ini", bytes);
    }

    // Builds the window (which arms its timer); the test starts the sequence itself.
    QtAdminWindow& build() {
        form = std::make_unique<QtAdminWindow>(
            FormServices{processes, dialogs, clock, germanTimeFormat, programFolder});
        form->pollingTimer()->stop();  // ticks are driven by the tests
        return *form;
    }
    QtAdminWindow& create() {
        build().form().FormCreate();
        return *form;
    }

    template <typename T>
    T* control(const char* name) const {
        T* widget = qobject_cast<T*>(form->control(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* edit) const { return control<QLineEdit>(edit)->text(); }
    QStringList statusLines() const {
        const QString log = control<QPlainTextEdit>("SStatus")->toPlainText();
        return log.isEmpty() ? QStringList() : log.split('\n');
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

#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// One listing of the running processes, asked the questions the window asks of a fresh
// one: each question is answered by the window's own detection, so a command that asks
// several reads every /proc/PID/exe link only once.
class ProcessSnapshot {
  public:
    explicit ProcessSnapshot(process::ProcessPlatform& platform);

    const std::vector<process::ProcessEntry>& entries() const { return entries_; }
    // Processes the system would not let this user look into and whose name, as far as the
    // system tells it without that look, may be the server's: none, or one detection
    // would count. Others that could not be inspected (init, services) cannot hide it.
    std::size_t uninspected() const { return uninspected_; }
    // Detection found no server, yet some processes could not be looked into: whether the
    // server runs is not known.
    bool serverMayRunUnseen() const { return uninspected_ > 0 && !serverRunning(); }

    // Whether the window's detection sees the server in this listing.
    bool serverRunning() const;
    // The processes that detection counts as the server, in listing order.
    std::vector<process::ProcessEntry> servers() const;
    // Windows of the tool ("VeltronaAdmin", "VeltronaAdmin.exe") run from `programFolder`.
    std::vector<process::ProcessEntry> windowsOn(const std::filesystem::path& programFolder) const;
    std::optional<process::ProcessEntry> find(process::ProcessId id) const;

  private:
    process::ProcessPlatform& platform_;
    std::vector<process::ProcessEntry> entries_;
    std::size_t uninspected_ = 0;
};

// "ZarvoServer.exe was not found, but 1 process that may be it could not be inspected
// (insufficient privilege)", for a snapshot whose server may run unseen.
std::string unseenServerText(std::size_t uninspected);

// Passes every call on to `inner`, and keeps what terminate() answered for each process,
// so a caller of terminateProcessesNamed learns which processes ended and which refused.
class TerminationRecorder : public process::ProcessPlatform {
  public:
    struct Outcome {
        process::ProcessEntry entry;
        process::TerminateResult result;
    };

    explicit TerminationRecorder(process::ProcessPlatform& inner) : inner_(inner) {}

    process::PathSyntax pathSyntax() const override { return inner_.pathSyntax(); }
    std::vector<process::ProcessEntry> listProcesses() override { return inner_.listProcesses(); }
    process::ProcessListing inspectProcesses() override { return inner_.inspectProcesses(); }
    process::TerminateResult terminate(const process::ProcessEntry& entry) override;
    void launch(const std::filesystem::path& program, const std::string& parameters,
                bool shown) override {
        inner_.launch(program, parameters, shown);
    }

    const std::vector<Outcome>& outcomes() const { return outcomes_; }

  private:
    process::ProcessPlatform& inner_;
    std::vector<Outcome> outcomes_;
};

}  // namespace veltrona::ctl

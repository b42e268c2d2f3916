#include "ProcessSnapshot.h"

#include <stdexcept>

#include "app/ServerControl.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;
using process::ProcessEntry;

// A platform whose listing is a list already taken: detection asked of it answers for
// that list. It neither ends nor starts anything.
class FixedListing : public process::ProcessPlatform {
  public:
    FixedListing(process::PathSyntax syntax, std::vector<ProcessEntry> entries)
        : syntax_(syntax), entries_(std::move(entries)) {}

    process::PathSyntax pathSyntax() const override { return syntax_; }
    std::vector<ProcessEntry> listProcesses() override { return entries_; }
    process::TerminateResult terminate(const ProcessEntry&) override {
        throw std::logic_error("a fixed listing ends no process");
    }
    void launch(const std::filesystem::path&, const std::string&, bool) override {
        throw std::logic_error("a fixed listing starts no process");
    }

  private:
    process::PathSyntax syntax_;
    std::vector<ProcessEntry> entries_;
};

// The one name detection looks for, asked of one process alone.
bool isNamed(process::PathSyntax syntax, const ProcessEntry& entry, std::string_view name) {
    FixedListing alone(syntax, {entry});
    return process::isProcessRunning(alone, name);
}

}  // namespace

ProcessSnapshot::ProcessSnapshot(process::ProcessPlatform& platform) : platform_(platform) {
    process::ProcessListing listing = platform.inspectProcesses();
    entries_ = std::move(listing.entries);
    for (const ProcessEntry& refused : listing.uninspected) {
        if (refused.executable.empty() ||
            isNamed(platform.pathSyntax(), refused, app::kServerExecutableName)) {
            ++uninspected_;
        }
    }
}

bool ProcessSnapshot::serverRunning() const {
    FixedListing listing(platform_.pathSyntax(), entries_);
    return process::isProcessRunning(listing, app::kServerExecutableName);
}

std::vector<ProcessEntry> ProcessSnapshot::servers() const {
    std::vector<ProcessEntry> found;
    for (const ProcessEntry& entry : entries_) {
        if (isNamed(platform_.pathSyntax(), entry, app::kServerExecutableName)) {
            found.push_back(entry);
        }
    }
    return found;
}

std::vector<ProcessEntry> ProcessSnapshot::windowsOn(const fs::path& programFolder) const {
    const auto syntax = platform_.pathSyntax();
    std::vector<ProcessEntry> found;
    for (const ProcessEntry& entry : entries_) {
        const std::string_view name = process::fileNamePart(entry.executable, syntax);
        if (name != "VeltronaAdmin" && name != "VeltronaAdmin.exe") {
            continue;
        }
        const std::string folder =
            entry.executable.substr(0, entry.executable.size() - name.size());
        std::error_code error;
        if (!folder.empty() && fs::equivalent(fs::path(folder), programFolder, error)) {
            found.push_back(entry);
        }
    }
    return found;
}

std::optional<ProcessEntry> ProcessSnapshot::find(process::ProcessId id) const {
    for (const ProcessEntry& entry : entries_) {
        if (entry.id == id) {
            return entry;
        }
    }
    return std::nullopt;
}

std::string unseenServerText(std::size_t uninspected) {
    return "ZarvoServer.exe was not found, but " + std::to_string(uninspected) +
           (uninspected == 1 ? " process that may be it" : " processes that may be it") +
           " could not be inspected (insufficient privilege)";
}

process::TerminateResult TerminationRecorder::terminate(const ProcessEntry& entry) {
    const process::TerminateResult result = inner_.terminate(entry);
    outcomes_.push_back({entry, result});
    return result;
}

}  // namespace veltrona::ctl

#include "ProcessSnapshot.h"

#include "CtlOutput.h"
#include "CtlPlatform.h"
#include "ServerAccount.h"
#include "process/ServerDetection.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;
using process::ProcessEntry;

// The folder part of an executable path, the text before its file-name part.
std::string folderOf(const ProcessEntry& entry, std::string_view name) {
    return entry.executable.substr(0, entry.executable.size() - name.size());
}

// Whether the listed executable `entry`, whose file-name part is `name`, lies in `folder`
// as the file system sees it: the same folder, however spelt. Where the library cannot
// tell folders by their identity (on Windows it opens no folder), the executable itself
// is compared with the file of that name in `folder`.
bool inFolder(const ProcessEntry& entry, std::string_view name, const fs::path& folder) {
    std::error_code error;
    if (const std::optional<WidePath> wide = wideExecutable(entry)) {
        // The system's own name of the program, where the listed one may have lost letters.
        const fs::path program(std::u8string(wide->utf8.begin(), wide->utf8.end()));
        return fs::equivalent(program, folder / program.filename(), error);
    }
    const std::string text = folderOf(entry, name);
    if (text.empty()) {
        return false;
    }
    if (fs::equivalent(systemPath(text), folder, error)) {
        return true;
    }
    return error && fs::equivalent(systemPath(entry.executable),
                                   folder / systemPath(std::string(name)), error);
}

}  // namespace

ProcessSnapshot::ProcessSnapshot(process::ProcessPlatform& platform, const fs::path& programFolder)
    : syntax_(platform.pathSyntax()) {
    process::ProcessListing listing = platform.inspectProcesses();
    entries_ = std::move(listing.entries);
    const auto leadBytes = process::systemLeadBytes(syntax_);
    const auto named = [&](const ProcessEntry& entry) {
        return process::equalsIgnoringAsciiCase(
            process::fileNamePart(entry.executable, syntax_, leadBytes),
            server::kServerExecutableName);
    };
    // Where the server runs as an account of its own, the folder's program run by any other
    // user (anyone may start it) is that user's, not the server.
    const std::optional<std::string> account = serverAccount(programFolder);
    const auto ours = [&](const ProcessEntry& entry) {
        return !account || entry.user == *account || entry.user == "root";
    };
    for (const ProcessEntry& entry : entries_) {
        if (!named(entry)) {
            continue;
        }
        const std::string_view name = process::fileNamePart(entry.executable, syntax_, leadBytes);
        const bool server = inFolder(entry, name, programFolder) && ours(entry);
        (server ? servers_ : elsewhere_).push_back(entry);
    }
    for (const ProcessEntry& refused : listing.uninspected) {
        if (refused.executable.empty() || named(refused)) {
            ++uninspected_;
        }
    }
}

std::vector<ProcessEntry> ProcessSnapshot::windowsOn(const fs::path& programFolder) const {
    std::vector<ProcessEntry> found;
    for (const ProcessEntry& entry : entries_) {
        const std::string_view name = process::fileNamePart(entry.executable, syntax_);
        if ((name == "VeltronaAdmin" || name == "VeltronaAdmin.exe") &&
            inFolder(entry, name, programFolder)) {
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
    return std::string(server::kServerExecutableName) + " was not found, but " +
           std::to_string(uninspected) +
           (uninspected == 1 ? " process that may be it" : " processes that may be it") +
           " could not be inspected (insufficient privilege)";
}

std::string elsewhereText(const ProcessEntry& entry) {
    return "process " + std::to_string(entry.id) + " (" + shownExecutable(entry) + ", user " +
           (entry.user.empty() ? "unknown" : entry.user) + "): not this folder's server";
}

std::vector<JsonObject> elsewhereJson(const std::vector<ProcessEntry>& entries) {
    std::vector<JsonObject> json;
    for (const ProcessEntry& entry : entries) {
        json.push_back(processJson(entry).text("user", jsonText(entry.user)));
    }
    return json;
}

}  // namespace veltrona::ctl

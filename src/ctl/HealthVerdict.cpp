#include "HealthVerdict.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "EchoCommand.h"
#include "ProcessSnapshot.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using FolderState = HealthFigures::FolderState;
using Status = dicom::EchoResult::Status;

int rank(Health health) {
    switch (health) {
        case Health::Ok:
            return 0;
        case Health::Unknown:
            return 1;
        case Health::Warning:
            return 2;
        case Health::Critical:
            return 3;
    }
    return 1;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "512 Byte", "1.5 KByte", "120.4 MByte", "2.0 GByte", "3.1 TByte" (powers of 1024, as
// the window's MByte).
std::string amount(std::uint64_t bytes) {
    static const char* const units[] = {"KByte", "MByte", "GByte", "TByte", "PByte"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " Byte";
    }
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    return format("%.1f ", value) + units[unit];
}

// ": its file system did not answer within 5 s (status, space)" for those of `looks`
// that had no answer, or nothing.
std::string silence(const HealthFigures& figures, const HealthLimits& limits,
                    std::initializer_list<const char*> looks) {
    std::string named;
    for (const char* look : looks) {
        if (std::find(figures.unanswered.begin(), figures.unanswered.end(), look) !=
            figures.unanswered.end()) {
            named += (named.empty() ? "" : ", ") + std::string(look);
        }
    }
    return named.empty() ? named
                         : ": its file system did not answer within " +
                               secondsText(limits.timeout) + " (" + named + ")";
}

}  // namespace

double percentFree(const FolderSpace& space) {
    return space.capacityBytes == 0 ? 0
                                    : 100.0 * static_cast<double>(space.availableBytes) /
                                          static_cast<double>(space.capacityBytes);
}

double percentInodesFree(const FolderSpace& space) {
    return space.inodes == 0 ? 0
                             : 100.0 * static_cast<double>(space.availableInodes) /
                                   static_cast<double>(space.inodes);
}

std::uint64_t fifoLimitBytes(const HealthFigures& figures) {
    return static_cast<std::uint64_t>(std::max(figures.fifoMaxMByte, 0)) * kMByte;
}

bool sizeJudged(const HealthFigures& figures) {
    return figures.fifoMaxMByte > 0;
}

namespace {

std::string serverProcessesText(const std::vector<process::ProcessEntry>& servers) {
    std::string ids;
    for (const process::ProcessEntry& server : servers) {
        ids += (ids.empty() ? "" : ", ") + std::to_string(server.id);
    }
    return (servers.size() == 1 ? "process " : "processes ") + ids;
}

// "; ZarvoServer.exe elsewhere: process 77 (...): not this folder's server", or nothing.
std::string elsewhereNote(const HealthFigures& figures) {
    std::string note;
    for (const process::ProcessEntry& other : figures.elsewhere) {
        note += (note.empty() ? "; " + std::string(server::kServerExecutableName) + " elsewhere: "
                              : std::string(", ")) +
                elsewhereText(other);
    }
    return jsonText(note);
}

HealthItem processItem(const HealthFigures& figures) {
    if (!figures.servers.empty()) {
        return {"process", Health::Ok,
                std::string(server::kServerExecutableName) + " runs (" +
                    serverProcessesText(figures.servers) + ")" + elsewhereNote(figures)};
    }
    if (figures.uninspected > 0) {
        return {"process", Health::Unknown,
                unseenServerText(figures.uninspected) + elsewhereNote(figures)};
    }
    return {
        "process", Health::Critical,
        std::string(server::kServerExecutableName) + " is not running" + elsewhereNote(figures)};
}

HealthItem portItem(const HealthFigures& figures) {
    const PortCheck& port = figures.port;
    if (!port.number) {
        return {"port", Health::Unknown,
                "Port \"" + port.configured + "\" in Server.INI is no port number"};
    }
    const std::string number = std::to_string(*port.number);
    if (port.serverListens) {
        return {"port", Health::Ok, "listens on port " + number};
    }
    if (!port.listening) {
        return {"port", Health::Critical, "nothing listens on port " + number};
    }
    if (port.holders.empty()) {
        // Another user's process, or a system that does not name the holder (Wine names
        // none): where the server runs and the port answers its C-ECHO, it is the server.
        const bool answered =
            figures.echo && figures.echo->status == dicom::EchoResult::Status::Answered;
        if (!figures.servers.empty() && answered) {
            return {
                "port", Health::Ok,
                "listens on port " + number + " (C-ECHO answered; its holder could not be named)"};
        }
        return {"port", figures.servers.empty() ? Health::Unknown : Health::Critical,
                "port " + number + " is held by a process that cannot be looked into"};
    }
    return {"port", Health::Critical,
            "port " + number + " is held by " + jsonText(describe(port.holders)) +
                ", not by the server"};
}

HealthItem echoItem(const HealthFigures& figures, const HealthLimits& limits) {
    const std::string to = "C-ECHO to " + figures.calledAeTitle;
    if (!figures.echo) {
        if (!figures.port.number) {
            return {"echo", Health::Unknown, to + " not sent: no port number"};
        }
        return {"echo", Health::Critical,
                to + " not sent: the server does not listen on port " +
                    std::to_string(*figures.port.number)};
    }
    const dicom::EchoResult& echo = *figures.echo;
    std::string text = to + " " + echoOutcome(echo);
    switch (echo.status) {
        case Status::Answered:
            if (limits.echoWarn.alerts(echo.milliseconds / 1000)) {
                return {"echo", Health::Warning,
                        text + ", " +
                            (limits.echoWarn.isCeiling()
                                 ? "slower than " + decimal(limits.echoWarn.end, 3) + " s"
                                 : limits.echoWarn.breach(" s"))};
            }
            return {"echo", Health::Ok, text};
        case Status::Unavailable:
            return {"echo", Health::Unknown,
                    echo.detail.empty() ? text : text + ": " + echo.detail};
        case Status::TimedOut:
            return {"echo", Health::Critical, text + " (" + secondsText(limits.timeout) + ")"};
        case Status::Rejected:
        case Status::Unreachable:
        case Status::NotDicom:
            break;
    }
    return {"echo", Health::Critical, echo.detail.empty() ? text : text + ": " + echo.detail};
}

HealthItem folderItem(const HealthFigures& figures, const HealthLimits& limits) {
    const std::string folder = "image folder " + figures.imageFolder;
    const FolderWriteAccess* closed =
        figures.access && !figures.access->writable ? &*figures.access : nullptr;
    switch (figures.folderState) {
        case FolderState::Unnamed:
            return {"imageFolder", Health::Critical, "Server.INI names no image folder (-od)"};
        case FolderState::Missing:
            if (figures.access && figures.access->writable) {
                // As after a start: the server makes it with the first image.
                return {"imageFolder", Health::Warning,
                        folder + " not created yet; " + figures.access->who + " may make it in " +
                            figures.access->judged};
            }
            return {"imageFolder", Health::Critical,
                    folder + " is missing" +
                        (closed ? ", and " + closed->who + " may not make it in " + closed->judged +
                                      ": " + closed->reason
                                : "")};
        case FolderState::NotAFolder:
            return {"imageFolder", Health::Critical, folder + " is no folder"};
        case FolderState::Present:
        case FolderState::Unanswered:
            break;
    }
    if (closed) {
        return {"imageFolder", Health::Critical,
                folder + " may not be written by " + closed->who + ": " + closed->reason};
    }
    if (const std::string silent = silence(figures, limits, {"status", "space", "access"});
        !silent.empty()) {
        return {"imageFolder", Health::Unknown, folder + silent};
    }
    if (!figures.space) {
        return {"imageFolder", Health::Unknown,
                "free space of " + folder + " not known: " + figures.spaceError};
    }
    const FolderSpace& space = *figures.space;
    const double free = percentFree(space);
    std::string text = folder + ": " + format("%.1f", free) + "% free (" +
                       amount(space.availableBytes) + " of " + amount(space.capacityBytes) + ")";
    if (limits.diskCrit.alerts(free)) {
        return {"imageFolder", Health::Critical, text + ", " + limits.diskCrit.breach("%")};
    }
    if (limits.diskWarn.alerts(free)) {
        return {"imageFolder", Health::Warning, text + ", " + limits.diskWarn.breach("%")};
    }
    return {"imageFolder", Health::Ok, text};
}

HealthItem inodeItem(const HealthFigures& figures, const HealthLimits& limits) {
    const std::string folder = "image folder " + figures.imageFolder;
    if (!figures.space) {
        const bool present = figures.folderState == FolderState::Present;
        const std::string why = present ? figures.spaceError : "it is not there";
        return {"inodes", Health::Unknown,
                "free inodes of " + (figures.imageFolder.empty() ? "the image folder" : folder) +
                    " not known" + (why.empty() ? "" : ": " + why)};
    }
    const FolderSpace& space = *figures.space;
    if (space.inodes == 0) {
        return {"inodes", Health::Ok, "the file system of " + folder + " counts no inodes"};
    }
    const double free = percentInodesFree(space);
    const std::string text = "inodes of " + folder + ": " + format("%.1f", free) + "% free (" +
                             std::to_string(space.availableInodes) + " of " +
                             std::to_string(space.inodes) + ")";
    if (limits.inodeCrit.alerts(free)) {
        return {"inodes", Health::Critical, text + ", " + limits.inodeCrit.breach("%")};
    }
    if (limits.inodeWarn.alerts(free)) {
        return {"inodes", Health::Warning, text + ", " + limits.inodeWarn.breach("%")};
    }
    return {"inodes", Health::Ok, text};
}

HealthItem sizeItem(const HealthFigures& figures, const HealthLimits& limits) {
    const std::string limit = "FIFOMax " + std::to_string(figures.fifoMaxMByte) + " MByte";
    if (!figures.walk) {
        const std::string silent = silence(figures, limits, {"status", "walk"});
        return {"folderSize", Health::Unknown,
                "size of the image folder not " + (silent.empty() ? "measured" : "known" + silent)};
    }
    const FolderWalk& walk = *figures.walk;
    const std::string holds = "image folder holds " + amount(walk.bytes);
    if (walk.bytes > fifoLimitBytes(figures)) {
        // Whatever the rest of the tree holds, it is already too much.
        return {"folderSize", Health::Warning,
                (walk.complete ? holds : "image folder holds at least " + amount(walk.bytes)) +
                    ", more than " + limit};
    }
    if (walk.complete) {
        return {"folderSize", Health::Ok, holds + " of " + limit};
    }
    const std::string sofar =
        " (" + std::to_string(walk.files) + " files, " + amount(walk.bytes) + " so far)";
    if (walk.timedOut) {
        return {"folderSize", Health::Unknown,
                "size of the image folder not known: the walk took longer than " +
                    secondsText(limits.timeout) + sofar};
    }
    return {"folderSize", Health::Unknown,
            "size of the image folder not known: " + walk.error + sofar};
}

}  // namespace

std::string decimal(double value, int places) {
    std::string text = format(("%." + std::to_string(places) + "f").c_str(), value);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

const char* healthName(Health health) {
    switch (health) {
        case Health::Ok:
            return "OK";
        case Health::Warning:
            return "WARNING";
        case Health::Critical:
            return "CRITICAL";
        case Health::Unknown:
            break;
    }
    return "UNKNOWN";
}

Health worse(Health a, Health b) {
    return rank(b) > rank(a) ? b : a;
}

HealthVerdict judgeHealth(const HealthFigures& figures, const HealthLimits& limits) {
    HealthVerdict verdict;
    verdict.items = {processItem(figures), portItem(figures), echoItem(figures, limits),
                     folderItem(figures, limits), inodeItem(figures, limits)};
    if (sizeJudged(figures)) {
        verdict.items.push_back(sizeItem(figures, limits));
    }
    verdict.health = Health::Ok;
    for (const HealthItem& item : verdict.items) {
        verdict.health = worse(verdict.health, item.health);
    }
    return verdict;
}

}  // namespace veltrona::ctl

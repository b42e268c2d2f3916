#include "HealthVerdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

double percentFree(const FolderSpace& space) {
    return space.capacityBytes == 0 ? 0
                                    : 100.0 * static_cast<double>(space.availableBytes) /
                                          static_cast<double>(space.capacityBytes);
}

std::uint64_t percentOf(std::uint64_t total, double percent) {
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(total) * percent / 100));
}

std::uint64_t fifoLimitBytes(const HealthFigures& figures) {
    return static_cast<std::uint64_t>(std::max(figures.fifoMaxMByte, 0)) * kMByte;
}

bool sizeJudged(const HealthFigures& figures) {
    return figures.fifoMaxMByte > 0;
}

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
            if (echo.milliseconds > static_cast<double>(limits.echoWarn.count())) {
                return {"echo", Health::Warning,
                        text + ", slower than " + secondsText(limits.echoWarn)};
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
            return {"imageFolder", Health::Critical,
                    folder + " is missing" +
                        (closed ? ", and " + closed->who + " may not make it in " + closed->judged +
                                      ": " + closed->reason
                                : "")};
        case FolderState::NotAFolder:
            return {"imageFolder", Health::Critical, folder + " is no folder"};
        case FolderState::Present:
            break;
    }
    if (closed) {
        return {"imageFolder", Health::Critical,
                folder + " may not be written by " + closed->who + ": " + closed->reason};
    }
    if (!figures.space) {
        return {"imageFolder", Health::Unknown,
                "free space of " + folder + " not known: " + figures.spaceError};
    }
    const FolderSpace& space = *figures.space;
    const double free = percentFree(space);
    std::string text = folder + ": " + format("%.1f", free) + "% free (" +
                       amount(space.availableBytes) + " of " + amount(space.capacityBytes) + ")";
    if (free < limits.diskCritPercent) {
        return {"imageFolder", Health::Critical,
                text + ", below " + format("%g", limits.diskCritPercent) + "%"};
    }
    if (free < limits.diskWarnPercent) {
        return {"imageFolder", Health::Warning,
                text + ", below " + format("%g", limits.diskWarnPercent) + "%"};
    }
    return {"imageFolder", Health::Ok, text};
}

HealthItem sizeItem(const HealthFigures& figures, const HealthLimits& limits) {
    const std::string limit = "FIFOMax " + std::to_string(figures.fifoMaxMByte) + " MByte";
    if (!figures.walk) {
        return {"folderSize", Health::Unknown, "size of the image folder not measured"};
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

// 'label'=value[UOM];warn;crit;min;max
std::string perf(const std::string& label, const std::string& value, const std::string& rest) {
    return "'" + label + "'=" + value + rest;
}

std::string performanceData(const HealthFigures& figures, const HealthLimits& limits) {
    std::vector<std::string> items;
    const bool unseen = figures.servers.empty() && figures.uninspected > 0;
    items.push_back(
        perf("server_processes", unseen ? "U" : std::to_string(figures.servers.size()), ";;1:;0;"));
    const std::string echoLimits = ";" + decimal(inSeconds(limits.echoWarn), 3) + ";" +
                                   decimal(inSeconds(limits.timeout), 3) + ";0;" +
                                   decimal(inSeconds(limits.timeout), 3);
    if (figures.echo && figures.echo->status == Status::Answered) {
        items.push_back(
            perf("echo_time", decimal(figures.echo->milliseconds / 1000, 6) + "s", echoLimits));
    } else {
        items.push_back(perf("echo_time", "U", echoLimits));
    }
    if (figures.space) {
        const FolderSpace& space = *figures.space;
        items.push_back(
            perf("image_folder_free", std::to_string(space.availableBytes) + "B",
                 ";" + std::to_string(percentOf(space.capacityBytes, limits.diskWarnPercent)) +
                     ":;" + std::to_string(percentOf(space.capacityBytes, limits.diskCritPercent)) +
                     ":;0;" + std::to_string(space.capacityBytes)));
        items.push_back(perf("image_folder_free_percent", decimal(percentFree(space), 2) + "%",
                             ";" + decimal(limits.diskWarnPercent, 2) + ":;" +
                                 decimal(limits.diskCritPercent, 2) + ":;0;100"));
    }
    if (sizeJudged(figures)) {
        const bool known = figures.walk && figures.walk->complete;
        items.push_back(perf("image_folder_size",
                             known ? std::to_string(figures.walk->bytes) + "B" : "U",
                             ";" + std::to_string(fifoLimitBytes(figures)) + ";;0;"));
    }
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : " ") + item;
    }
    return text;
}

JsonObject itemJson(const HealthItem& item) {
    return JsonObject().text("status", healthName(item.health)).text("text", item.text);
}

const HealthItem& itemNamed(const HealthVerdict& verdict, const std::string& name) {
    return *std::find_if(verdict.items.begin(), verdict.items.end(),
                         [&](const HealthItem& item) { return item.name == name; });
}

const char* folderStateName(FolderState state) {
    switch (state) {
        case FolderState::Unnamed:
            return "unnamed";
        case FolderState::Missing:
            return "missing";
        case FolderState::NotAFolder:
            return "notAFolder";
        case FolderState::Present:
            break;
    }
    return "present";
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
                     folderItem(figures, limits)};
    if (sizeJudged(figures)) {
        verdict.items.push_back(sizeItem(figures, limits));
    }
    verdict.health = Health::Ok;
    for (const HealthItem& item : verdict.items) {
        verdict.health = worse(verdict.health, item.health);
    }
    return verdict;
}

std::string pluginLine(const HealthFigures& figures, const HealthLimits& limits,
                       const HealthVerdict& verdict) {
    std::vector<const HealthItem*> ordered;
    for (const HealthItem& item : verdict.items) {
        ordered.push_back(&item);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const HealthItem* a, const HealthItem* b) {
        return rank(a->health) > rank(b->health);
    });
    std::string text;
    for (const HealthItem* item : ordered) {
        text += (text.empty() ? "" : "; ") + item->text;
    }
    // "|" separates the performance data; in the texts it would cut them short.
    std::replace(text.begin(), text.end(), '|', '/');
    return "ZARVO " + std::string(healthName(verdict.health)) + " - " + text + " | " +
           performanceData(figures, limits) + "\n";
}

std::string unknownLine(const std::string& reason) {
    std::string text = reason;
    std::replace(text.begin(), text.end(), '|', '/');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return "ZARVO UNKNOWN - " + text + "\n";
}

JsonObject healthJson(const HealthFigures& figures, const HealthLimits& limits,
                      const HealthVerdict& verdict) {
    JsonObject process = itemJson(itemNamed(verdict, "process"));
    process.boolean("running", !figures.servers.empty())
        .array("processes", processesJson(figures.servers))
        .array("elsewhere", elsewhereJson(figures.elsewhere))
        .integer("uninspected", static_cast<std::int64_t>(figures.uninspected));

    JsonObject port = itemJson(itemNamed(verdict, "port"));
    port.append(portJson(figures.port));

    JsonObject echo = itemJson(itemNamed(verdict, "echo"));
    echo.text("calledAeTitle", figures.calledAeTitle)
        .text("callingAeTitle", kCallingAeTitle)
        .boolean("sent", figures.echo.has_value());
    if (figures.echo) {
        echo.text("result", echoStatusName(figures.echo->status));
    } else {
        echo.null("result");
    }
    if (figures.echo && figures.echo->status == Status::Answered) {
        echo.number("milliseconds", figures.echo->milliseconds);
    } else {
        echo.null("milliseconds");
    }
    echo.number("warnMilliseconds", static_cast<double>(limits.echoWarn.count()))
        .number("timeoutMilliseconds", static_cast<double>(limits.timeout.count()))
        .text("detail", figures.echo ? figures.echo->detail : "");

    JsonObject folder = itemJson(itemNamed(verdict, "imageFolder"));
    folder.text("path", figures.imageFolder).text("state", folderStateName(figures.folderState));
    if (figures.access) {
        folder.boolean("writable", figures.access->writable);
    } else {
        folder.null("writable");
    }
    if (figures.space) {
        folder.integer("capacityBytes", static_cast<std::int64_t>(figures.space->capacityBytes))
            .integer("freeBytes", static_cast<std::int64_t>(figures.space->availableBytes))
            .number("freePercent", percentFree(*figures.space));
    } else {
        folder.null("capacityBytes").null("freeBytes").null("freePercent");
    }
    folder.number("warnPercent", limits.diskWarnPercent)
        .number("critPercent", limits.diskCritPercent);

    JsonObject json;
    json.text("status", healthName(verdict.health))
        .integer("exitCode", static_cast<int>(verdict.health))
        .object("process", process)
        .object("port", port)
        .object("echo", echo)
        .object("imageFolder", folder);
    if (!sizeJudged(figures)) {
        return json.null("folderSize");
    }
    JsonObject size = itemJson(itemNamed(verdict, "folderSize"));
    size.integer("fifoMaxMByte", figures.fifoMaxMByte)
        .integer("limitBytes", static_cast<std::int64_t>(fifoLimitBytes(figures)));
    if (figures.walk) {
        size.integer("bytes", static_cast<std::int64_t>(figures.walk->bytes))
            .integer("files", static_cast<std::int64_t>(figures.walk->files))
            .boolean("complete", figures.walk->complete)
            .boolean("timedOut", figures.walk->timedOut)
            .text("error", figures.walk->error);
    } else {
        size.null("bytes").null("files").boolean("complete", false);
    }
    return json.object("folderSize", size);
}

}  // namespace veltrona::ctl

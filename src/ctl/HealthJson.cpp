// The health check's verdict as one JSON object with the figures of each item.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "EchoCommand.h"
#include "HealthVerdict.h"
#include "ProcessSnapshot.h"

namespace veltrona::ctl {

namespace {

using FolderState = HealthFigures::FolderState;
using Status = dicom::EchoResult::Status;

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
        case FolderState::Unanswered:
            return "unanswered";
        case FolderState::Present:
            break;
    }
    return "present";
}

// The lines of a "percent free" item: as numbers while they are plain floors ("20"), and
// always as ranges.
void lines(JsonObject& item, const Threshold& warn, const Threshold& crit) {
    for (const auto& [name, line] : {std::pair("warn", &warn), std::pair("crit", &crit)}) {
        if (line->isFloor()) {
            item.number(std::string(name) + "Percent", line->start);
        } else {
            item.null(std::string(name) + "Percent");
        }
    }
    item.text("warnRange", warn.text()).text("critRange", crit.text());
}

}  // namespace

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
    if (limits.echoWarn.isCeiling()) {
        echo.number("warnMilliseconds", limits.echoWarn.end * 1000);
    } else {
        echo.null("warnMilliseconds");
    }
    echo.text("warnRange", limits.echoWarn.text())
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
    lines(folder, limits.diskWarn, limits.diskCrit);

    JsonObject inodes = itemJson(itemNamed(verdict, "inodes"));
    if (figures.space && figures.space->inodes > 0) {
        inodes.integer("inodes", static_cast<std::int64_t>(figures.space->inodes))
            .integer("freeInodes", static_cast<std::int64_t>(figures.space->availableInodes))
            .number("freePercent", percentInodesFree(*figures.space));
    } else {
        inodes.null("inodes").null("freeInodes").null("freePercent");
    }
    lines(inodes, limits.inodeWarn, limits.inodeCrit);

    JsonObject json;
    json.text("status", healthName(verdict.health))
        .integer("exitCode", static_cast<int>(verdict.health))
        .object("process", process)
        .object("port", port)
        .object("echo", echo)
        .object("imageFolder", folder)
        .object("inodes", inodes);
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

// The health check's verdict as the monitoring plugin line with its performance data.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "HealthVerdict.h"

namespace veltrona::ctl {

namespace {

using Status = dicom::EchoResult::Status;

std::uint64_t percentOf(std::uint64_t total, double percent) {
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(total) * percent / 100));
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

}  // namespace

std::string pluginLine(const HealthFigures& figures, const HealthLimits& limits,
                       const HealthVerdict& verdict) {
    std::vector<const HealthItem*> ordered;
    for (const HealthItem& item : verdict.items) {
        ordered.push_back(&item);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const HealthItem* a, const HealthItem* b) {
        return a->health != b->health && worse(a->health, b->health) == a->health;
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

}  // namespace veltrona::ctl

// The health check's verdict as the monitoring plugin line with its performance data.
#include <algorithm>
#include <string>
#include <vector>

#include "HealthVerdict.h"

namespace veltrona::ctl {

namespace {

using Status = dicom::EchoResult::Status;

// 'label'=value[UOM];warn;crit;min;max
std::string perf(const std::string& label, const std::string& value, const std::string& rest) {
    return "'" + label + "'=" + value + rest;
}

std::string performanceData(const HealthFigures& figures, const HealthLimits& limits) {
    std::vector<std::string> items;
    const bool unseen = figures.servers.empty() && figures.uninspected > 0;
    items.push_back(
        perf("server_processes", unseen ? "U" : std::to_string(figures.servers.size()), ";;1:;0;"));
    const std::string echoLimits = ";" + limits.echoWarn.text() + ";" +
                                   decimal(inSeconds(limits.timeout), 3) + ";0;" +
                                   decimal(inSeconds(limits.timeout), 3);
    if (figures.echo && figures.echo->status == Status::Answered) {
        items.push_back(
            perf("echo_time", decimal(figures.echo->milliseconds / 1000, 6) + "s", echoLimits));
    } else {
        items.push_back(perf("echo_time", "U", echoLimits));
    }
    // The free amount's lines are the percentages' of the whole.
    const auto freeData = [&](const std::string& label, std::uint64_t free, std::uint64_t total,
                              double percent, const Threshold& warn, const Threshold& crit,
                              const std::string& unit) {
        const double scale = static_cast<double>(total) / 100;
        items.push_back(perf(
            label, std::to_string(free) + unit,
            ";" + warn.text(scale, 0) + ";" + crit.text(scale, 0) + ";0;" + std::to_string(total)));
        items.push_back(perf(label + "_percent", decimal(percent, 2) + "%",
                             ";" + warn.text(1, 2) + ";" + crit.text(1, 2) + ";0;100"));
    };
    if (figures.space) {
        const FolderSpace& space = *figures.space;
        freeData("image_folder_free", space.availableBytes, space.capacityBytes, percentFree(space),
                 limits.diskWarn, limits.diskCrit, "B");
        if (space.inodes > 0) {
            freeData("image_folder_free_inodes", space.availableInodes, space.inodes,
                     percentInodesFree(space), limits.inodeWarn, limits.inodeCrit, "");
        }
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

std::string itemLines(const HealthVerdict& verdict) {
    std::string lines;
    for (const HealthItem& item : verdict.items) {
        lines += item.name + ": " + healthName(item.health) + " - " + item.text + "\n";
    }
    // After the first line, "|" would start performance data as well.
    std::replace(lines.begin(), lines.end(), '|', '/');
    return lines;
}

std::string unknownLine(const std::string& reason) {
    std::string text = reason;
    std::replace(text.begin(), text.end(), '|', '/');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return "ZARVO UNKNOWN - " + text + "\n";
}

}  // namespace veltrona::ctl

// The health check's figures for the node exporter's textfile collector.
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "HealthVerdict.h"
#include "config/text/TextEncoding.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using FolderState = HealthFigures::FolderState;
using Status = dicom::EchoResult::Status;

// A label value in the exposition format: well-formed UTF-8 (each byte that is no part of it
// becomes U+FFFD), backslash, double quote and line feed escaped.
std::string labelValue(const std::string& text) {
    std::string value;
    for (const char c : config::toUtf8(text, config::TextEncoding::Utf8)) {
        if (c == '\\' || c == '"') {
            value += '\\';
            value += c;
        } else if (c == '\n') {
            value += "\\n";
        } else {
            value += c;
        }
    }
    return value;
}

// The metric families of the exposition format: HELP, TYPE and their samples, each sample
// with the labels of its server.
class Metrics {
  public:
    explicit Metrics(const MetricLabels& labels)
        : labels_("folder=\"" + labelValue(labels.folder) + "\",ae_title=\"" +
                  labelValue(labels.aeTitle) + "\",port=\"" + labelValue(labels.port) + "\"") {}

    // Samples as their own labels ("item=\"echo\"", or none) and value.
    void gauge(const std::string& name, const std::string& help,
               const std::vector<std::pair<std::string, std::string>>& samples) {
        text_ += "# HELP " + name + " " + help + "\n# TYPE " + name + " gauge\n";
        for (const auto& [own, value] : samples) {
            text_ += name + "{" + labels_ + (own.empty() ? "" : "," + own) + "} " + value + "\n";
        }
    }
    void gauge(const std::string& name, const std::string& help,
               const std::optional<std::string>& value) {
        gauge(name, help,
              value ? std::vector<std::pair<std::string, std::string>>{{"", *value}}
                    : std::vector<std::pair<std::string, std::string>>{});
    }
    void verdict(Health health, const CheckTiming& timing) {
        gauge("zarvo_check_status",
              "Verdict of the health check: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN.",
              std::to_string(static_cast<int>(health)));
        gauge("zarvo_check_timestamp_seconds", "When the health check ended, as Unix time.",
              decimal(timing.endSeconds, 3));
        gauge("zarvo_check_duration_seconds", "How long the health check took.",
              decimal(timing.durationSeconds, 6));
    }
    const std::string& str() const { return text_; }

  private:
    std::string labels_;
    std::string text_;
};

std::optional<std::string> flag(std::optional<bool> value) {
    if (!value) {
        return std::nullopt;
    }
    return std::string(*value ? "1" : "0");
}

}  // namespace

std::string unknownPrometheusText(const MetricLabels& labels, const CheckTiming& timing) {
    Metrics metrics(labels);
    metrics.verdict(Health::Unknown, timing);
    return metrics.str();
}

std::string prometheusText(const HealthFigures& figures, const HealthVerdict& verdict,
                           const MetricLabels& labels, const CheckTiming& timing) {
    Metrics metrics(labels);
    metrics.verdict(verdict.health, timing);
    std::vector<std::pair<std::string, std::string>> items;
    for (const HealthItem& item : verdict.items) {
        items.emplace_back("item=\"" + item.name + "\"",
                           std::to_string(static_cast<int>(item.health)));
    }
    metrics.gauge("zarvo_check_item_status",
                  "Verdict of one item of the health check: 0 OK, 1 WARNING, 2 CRITICAL, "
                  "3 UNKNOWN.",
                  items);

    const bool unseen = figures.servers.empty() && figures.uninspected > 0;
    metrics.gauge("zarvo_server_up",
                  "Whether " + std::string(server::kServerExecutableName) + " runs.",
                  flag(unseen ? std::nullopt : std::optional<bool>(!figures.servers.empty())));
    metrics.gauge(
        "zarvo_server_listening", "Whether the server listens on the port of Server.INI.",
        flag(figures.port.number ? std::optional<bool>(figures.port.serverListens) : std::nullopt));

    std::optional<bool> answered;
    if (figures.echo && figures.echo->status != Status::Unavailable) {
        answered = figures.echo->status == Status::Answered;
    } else if (!figures.echo && figures.port.number) {
        answered = false;  // not sent: nothing of the server listens
    }
    metrics.gauge("zarvo_dicom_echo_success", "Whether the server answered a DICOM C-ECHO.",
                  flag(answered));
    metrics.gauge("zarvo_dicom_echo_seconds", "Round-trip time of the DICOM C-ECHO.",
                  answered.value_or(false)
                      ? std::optional<std::string>(decimal(figures.echo->milliseconds / 1000, 6))
                      : std::nullopt);

    metrics.gauge("zarvo_image_folder_present", "Whether the image folder exists.",
                  flag(figures.folderState == FolderState::Unanswered
                           ? std::nullopt
                           : std::optional<bool>(figures.folderState == FolderState::Present)));
    metrics.gauge(
        "zarvo_image_folder_writable",
        "Whether the server may write the image folder (or make it, while it is "
        "missing).",
        flag(figures.access ? std::optional<bool>(figures.access->writable) : std::nullopt));
    const auto bytes = [](const std::optional<std::uint64_t>& value) {
        return value ? std::optional<std::string>(std::to_string(*value)) : std::nullopt;
    };
    metrics.gauge(
        "zarvo_image_folder_capacity_bytes", "Size of the file system that holds the image folder.",
        bytes(figures.space ? std::optional(figures.space->capacityBytes) : std::nullopt));
    metrics.gauge(
        "zarvo_image_folder_free_bytes",
        "Space the server may still use on the file system of the image folder.",
        bytes(figures.space ? std::optional(figures.space->availableBytes) : std::nullopt));
    const bool counted = figures.space && figures.space->inodes > 0;
    metrics.gauge("zarvo_image_folder_inodes",
                  "Inodes of the file system that holds the image folder (where it counts them).",
                  bytes(counted ? std::optional(figures.space->inodes) : std::nullopt));
    metrics.gauge("zarvo_image_folder_free_inodes",
                  "Inodes the server may still use on the file system of the image folder.",
                  bytes(counted ? std::optional(figures.space->availableInodes) : std::nullopt));
    const bool walked = figures.walk && figures.walk->complete;
    metrics.gauge("zarvo_image_folder_size_bytes",
                  "Bytes the files in the image folder hold (measured while FIFOMax is above 0).",
                  bytes(walked ? std::optional(figures.walk->bytes) : std::nullopt));
    metrics.gauge("zarvo_image_folder_files",
                  "Files in the image folder (counted while FIFOMax is above 0).",
                  bytes(walked ? std::optional(figures.walk->files) : std::nullopt));
    metrics.gauge("zarvo_fifo_max_bytes",
                  "FIFOMax of Server.INI in bytes, the most the image folder should hold; 0: "
                  "no limit.",
                  std::to_string(fifoLimitBytes(figures)));
    return metrics.str();
}

}  // namespace veltrona::ctl

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CheckDefaults.h"
#include "CtlOutput.h"
#include "PortCheck.h"
#include "Threshold.h"
#include "dicom/DicomEcho.h"
#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// The health check's verdict, in the monitoring plugin convention: its value is the exit
// status.
enum class Health { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// "OK", "WARNING", "CRITICAL", "UNKNOWN".
const char* healthName(Health health);

// The worse of two: CRITICAL over WARNING over UNKNOWN over OK. A problem that is known
// outweighs an item that could not be judged.
Health worse(Health a, Health b);

// Where the check draws its lines. The echo's in seconds, the others in percent free.
struct HealthLimits {
    std::chrono::milliseconds timeout = kDefaultEchoTimeout;  // echo answer and folder walk
    Threshold echoWarn = kDefaultEchoWarnLine;                // WARNING
    Threshold diskWarn = kDefaultDiskWarnLine;                // WARNING
    Threshold diskCrit = kDefaultDiskCritLine;                // CRITICAL
    Threshold inodeWarn = kDefaultInodeWarnLine;              // WARNING
    Threshold inodeCrit = kDefaultInodeCritLine;              // CRITICAL
};

// Free space and free inodes of the file system that holds the image folder.
struct FolderSpace {
    std::uint64_t capacityBytes = 0;
    std::uint64_t availableBytes = 0;  // what the server may still write
    std::uint64_t inodes = 0;          // 0: the file system counts none
    std::uint64_t availableInodes = 0;
};

// Whether the server may write its image folder, and whose rights and which folder that
// was judged on (see serverWriteAccess).
struct FolderWriteAccess {
    bool writable = true;
    std::string judged;  // the image folder, or while it is missing the nearest one that exists
    std::string who;     // "the server (process 42, uid 108)", "this user (uid 0)"
    std::string reason;  // the system's reason, when it may not
};

// The bytes the files of a folder tree hold, as far as a bounded walk got.
struct FolderWalk {
    std::uint64_t bytes = 0;  // what the regular files hold
    std::uint64_t files = 0;
    bool complete = false;  // the whole tree was walked
    bool timedOut = false;  // the deadline ended the walk
    std::string error;      // why a subfolder could not be read (UTF-8), first one
};

// Everything the probes found, as plain data. Texts are UTF-8 unless said otherwise.
struct HealthFigures {
    // The server processes detection sees, and how many that may be it could not be
    // looked into.
    std::vector<process::ProcessEntry> servers;  // executables in the system code page
    std::size_t uninspected = 0;
    // Processes of the server's name in other folders: named, never taken for the server.
    std::vector<process::ProcessEntry> elsewhere;

    PortCheck port;

    std::string calledAeTitle;
    // The echo's result; none when it was not sent because the server does not listen on
    // its port.
    std::optional<dicom::EchoResult> echo;

    std::string imageFolder;  // as it was looked for; empty when Server.INI names none
    // Unanswered: its file system did not tell by the deadline.
    enum class FolderState { Unnamed, Missing, NotAFolder, Present, Unanswered };
    FolderState folderState = FolderState::Unnamed;
    std::optional<FolderWriteAccess> access;  // none when it could not be judged
    std::optional<FolderSpace> space;         // none when it could not be learnt
    std::string spaceError;

    std::int32_t fifoMaxMByte = 0;  // FIFOMax; the size is judged only when above 0
    std::optional<FolderWalk> walk;

    // The looks at the image folder that had no answer by the deadline, as the check names
    // them ("status", "space", "access", "walk"): its file system did not answer.
    std::vector<std::string> unanswered;
};

inline constexpr std::uint64_t kMByte = 1024 * 1024;

// One item of the verdict: its name in the JSON and Prometheus forms, its state and one
// sentence for the plugin line (UTF-8).
struct HealthItem {
    // "process", "port", "echo", "imageFolder", "inodes", "folderSize"
    std::string name;
    Health health = Health::Ok;
    std::string text;
};

struct HealthVerdict {
    Health health = Health::Ok;
    std::vector<HealthItem> items;  // in the order of the check; "folderSize" only with FIFOMax
};

HealthVerdict judgeHealth(const HealthFigures& figures, const HealthLimits& limits);

// The free share of the image folder's disk, in percent (0 for a disk of no size), and of
// its inodes (only where it counts them).
double percentFree(const FolderSpace& space);
double percentInodesFree(const FolderSpace& space);
// Whether the image folder's size is judged (FIFOMax above 0), and the limit it is held to.
bool sizeJudged(const HealthFigures& figures);
std::uint64_t fifoLimitBytes(const HealthFigures& figures);

// The plugin's output: "ZARVO <STATE> - <items> | <performance data>", one line with its
// newline. The items that are not OK come first, worst first. Texts are UTF-8.
std::string pluginLine(const HealthFigures& figures, const HealthLimits& limits,
                       const HealthVerdict& verdict);

// With -v, after the plugin line: "<item>: <STATE> - <text>" for each item, one a line.
std::string itemLines(const HealthVerdict& verdict);

// A usage error or a check that could not be made at all: "ZARVO UNKNOWN - <reason>".
std::string unknownLine(const std::string& reason);

// The same verdict as one JSON object: "status" and one member per item with its figures.
JsonObject healthJson(const HealthFigures& figures, const HealthLimits& limits,
                      const HealthVerdict& verdict);

// A number for performance data and Prometheus: plain decimal with at most `places`
// decimals, no exponent, no trailing zeros.
std::string decimal(double value, int places);

// Which server the metrics are of, as labels on every series, so that the files of several
// program folders on one host stay apart: the program folder, the AE title and the port of
// Server.INI (UTF-8; empty where not known).
struct MetricLabels {
    std::string folder;
    std::string aeTitle;
    std::string port;
};

// When the check ran: its end as Unix time, and how long it took, in seconds.
struct CheckTiming {
    double endSeconds = 0;
    double durationSeconds = 0;
};

// The figures in the text exposition format of the node exporter's textfile collector:
// HELP and TYPE for every metric, no time stamps. A figure that is not known is left out
// (its HELP and TYPE stay).
std::string prometheusText(const HealthFigures& figures, const HealthVerdict& verdict,
                           const MetricLabels& labels, const CheckTiming& timing);
// A check that could not be made: status 3 (UNKNOWN) and its time, nothing else, so that
// no figure of an earlier check stays.
std::string unknownPrometheusText(const MetricLabels& labels, const CheckTiming& timing);

}  // namespace veltrona::ctl

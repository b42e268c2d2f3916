// The metrics file on Linux, along the settings layer's walk and with its writer of new
// files (config/file/linux/FileTarget.cpp, FileReplacement.cpp).
#include "ctl/MetricsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "config/file/linux/FileReplacement.h"
#include "ctl/CtlOutput.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;
using config::detail::kindOf;
using config::detail::Location;
using config::detail::PathFailure;

}  // namespace

void writeMetricsFile(const fs::path& file, const std::string& text) {
    const auto failure = [&file](const std::string& reason) {
        return std::runtime_error("cannot write " + messagePath(file) + ": " + reason);
    };
    try {
        // A link at the file's own place is not followed either: it is refused below.
        const Location at = config::detail::locate(file, config::detail::LastLink::Keep);
        if (at.exists && !S_ISREG(at.st.st_mode)) {
            throw failure("it is " + kindOf(at.st.st_mode) +
                          ", not a regular file, and is left as it is");
        }
        if (at.exists && at.st.st_uid != 0 && at.st.st_uid != ::geteuid()) {
            throw failure("it belongs to another user (uid " + std::to_string(at.st.st_uid) +
                          ") and is left as it is");
        }
        config::detail::renameNewFile(at, text, 0644);
    } catch (const PathFailure& reason) {
        throw failure(reason.text());
    }
}

}  // namespace veltrona::ctl

#include "ServerDetection.h"

namespace veltrona::process {

namespace {

bool isWindowsSeparator(char c) {
    return c == '\\' || c == ':';
}

}  // namespace

std::string_view fileNamePart(std::string_view executable, PathSyntax syntax,
                              const LeadBytePredicate& isLeadByte) {
    std::size_t start = 0;
    if (syntax == PathSyntax::Posix) {
        const auto slash = executable.rfind('/');
        start = slash == std::string_view::npos ? 0 : slash + 1;
    } else {
        // Walk forward character by character: only a left-to-right walk can tell a
        // trail byte of a double-byte character from a separator of the same value.
        for (std::size_t i = 0; i < executable.size(); ++i) {
            const auto byte = static_cast<unsigned char>(executable[i]);
            if (isLeadByte && isLeadByte(byte) && i + 1 < executable.size()) {
                ++i;
            } else if (isWindowsSeparator(executable[i])) {
                start = i + 1;
            }
        }
    }
    return executable.substr(start);
}

bool isProcessRunning(ProcessPlatform& platform, std::string_view name) {
    const auto syntax = platform.pathSyntax();
    const auto leadBytes = systemLeadBytes(syntax);
    for (const auto& entry : platform.listProcesses()) {
        if (equalsIgnoringAsciiCase(fileNamePart(entry.executable, syntax, leadBytes), name)) {
            return true;
        }
    }
    return false;
}

void terminateProcessesNamed(ProcessPlatform& platform, std::string_view name,
                             const std::function<void()>& onRefused) {
    const auto syntax = platform.pathSyntax();
    const auto leadBytes = systemLeadBytes(syntax);
    for (const auto& entry : platform.listProcesses()) {
        if (fileNamePart(entry.executable, syntax, leadBytes) != name) {
            continue;
        }
        // A process that ended or whose identifier was reused meanwhile is no failure:
        // there is nothing left to stop.
        if (platform.terminate(entry) == TerminateResult::Refused && onRefused) {
            onRefused();
        }
    }
}

}  // namespace veltrona::process

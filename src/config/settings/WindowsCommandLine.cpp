#include "WindowsCommandLine.h"

namespace veltrona::config {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> splitWindowsArguments(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    for (;;) {
        while (i < n && isSeparator(commandLine[i])) {
            ++i;
        }
        if (i == n) {
            break;
        }

        // Any character that is not a separator starts an argument, even one that ends
        // up empty, such as '""'.
        std::string argument;
        bool quoted = false;
        while (i < n) {
            std::size_t backslashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    // A doubled quote inside quotes stands for one quote; quoting goes on.
                    argument += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
                continue;
            }
            argument.append(backslashes, '\\');
            if (i == n || (!quoted && isSeparator(commandLine[i]))) {
                break;
            }
            argument += commandLine[i];
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace veltrona::config

#include "ServerArguments.h"

#include <cstddef>

namespace veltrona::standin {

namespace {

bool isTransferSyntax(const std::string& argument) {
    return argument == "+x=" || argument == "+xs" || argument == "+xy" || argument == "+xi";
}

bool isAllDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::optional<int> portNumber(const std::string& text) {
    // More than five digits can only be out of range, and must not overflow.
    if (!isAllDigits(text) || text.size() > 5) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return value;
}

ParsedArguments rejected(std::string why) {
    return {std::nullopt, std::move(why)};
}

}  // namespace

ParsedArguments parseServerArguments(const std::vector<std::string>& arguments) {
    ServerOptions options;
    std::size_t i = 0;
    const auto at = [&](std::size_t index) -> const std::string* {
        return index < arguments.size() ? &arguments[index] : nullptr;
    };

    if (at(i) && *at(i) == "-d") {
        options.debug = true;
        ++i;
    }
    if (!at(i) || *at(i) != "-dw") {
        return rejected("expected \"-dw\" as the first option (after an optional \"-d\")");
    }
    ++i;
    if (at(i) && *at(i) == "-dhl") {
        options.dhcp = true;
        ++i;
    }
    if (at(i) && isTransferSyntax(*at(i))) {
        options.transferSyntax = *at(i);
        ++i;
    } else if (at(i) && *at(i) == "-xf") {
        if (!at(i + 2) || *at(i + 1) == "-od" || *at(i + 2) == "-od") {
            return rejected("\"-xf\" needs a profile file and a profile name");
        }
        options.profileFile = *at(i + 1);
        options.profileName = *at(i + 2);
        i += 3;
    }
    while (at(i) && *at(i) != "-od") {
        const std::string& argument = *at(i);
        options.additional.push_back(argument);
        if (isTransferSyntax(argument)) {
            options.transferSyntax = argument;
            options.profileFile.clear();
            options.profileName.clear();
        } else if (argument == "-xf") {
            if (!at(i + 2) || *at(i + 1) == "-od" || *at(i + 2) == "-od") {
                return rejected("\"-xf\" needs a profile file and a profile name");
            }
            options.transferSyntax.clear();
            options.profileFile = *at(i + 1);
            options.profileName = *at(i + 2);
            options.additional.push_back(options.profileFile);
            options.additional.push_back(options.profileName);
            i += 2;
        } else if (argument == "-d") {
            options.debug = true;
        } else if (argument == "-dhl") {
            options.dhcp = true;
        }
        ++i;
    }
    if (!at(i)) {
        return rejected("missing \"-od\" with the image folder");
    }
    if (!at(i + 1)) {
        return rejected("\"-od\" needs the image folder");
    }
    options.imageFolder = *at(i + 1);
    i += 2;
    if (!at(i) || *at(i) != "-aet") {
        return rejected("expected \"-aet\" after the image folder");
    }
    ++i;

    std::vector<std::string> rest(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                  arguments.end());
    const bool lastIsPort = rest.size() >= 2 || (rest.size() == 1 && isAllDigits(rest[0]));
    if (lastIsPort) {
        options.port = portNumber(rest.back());
        if (!options.port) {
            return rejected("the port \"" + rest.back() + "\" is not a number from 1 to 65535");
        }
        rest.pop_back();
    }
    for (std::size_t word = 0; word < rest.size(); ++word) {
        options.aeTitle += (word == 0 ? "" : " ") + rest[word];
    }
    return {std::move(options), {}};
}

std::string serverUsage() {
    return "Usage: ZarvoServer.exe [-d] -dw [-dhl] [+x= | +xs | +xy | +xi | -xf FILE PROFILE]\n"
           "                       [ADDITIONAL...] -od FOLDER -aet [AETITLE] [PORT]\n"
           "\n"
           "Stand-in for the DICOM storage server: answers associations called AETITLE\n"
           "on PORT, answers C-ECHO and stores each C-STORE as a file in FOLDER, until it\n"
           "is terminated. Built without DICOM support, it only checks its command line.\n"
           "\n"
           "  -d        verbose mode: associations are logged to standard output\n"
           "  -dw       required\n"
           "  -dhl      DHCP mode\n"
           "  +x=       prefer explicit VR little endian (uncompressed)\n"
           "  +xs       prefer JPEG lossless\n"
           "  +xy       prefer JPEG baseline (lossy)\n"
           "  +xi       implicit VR little endian only\n"
           "  -xf FILE PROFILE  server profile instead of a transfer syntax\n"
           "  ADDITIONAL        further options; a transfer syntax or profile given again\n"
           "                    here replaces the one before\n"
           "  -od FOLDER        image folder\n"
           "  -aet AETITLE PORT AE title and TCP port (1..65535)\n"
           "\n"
           "Environment: ZARVO_SERVER_ARGS_FILE names a file that receives the\n"
           "arguments, one per line as LENGTH:BYTES.\n";
}

std::string encodeArgumentRecord(const std::vector<std::string>& arguments) {
    std::string record;
    for (const auto& argument : arguments) {
        record += std::to_string(argument.size());
        record += ':';
        record += argument;
        record += '\n';
    }
    return record;
}

std::optional<std::vector<std::string>> decodeArgumentRecord(const std::string& record) {
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    while (pos < record.size()) {
        const auto colon = record.find(':', pos);
        if (colon == std::string::npos || colon == pos || colon - pos > 9) {
            return std::nullopt;
        }
        std::size_t length = 0;
        for (std::size_t k = pos; k < colon; ++k) {
            if (record[k] < '0' || record[k] > '9') {
                return std::nullopt;
            }
            length = length * 10 + static_cast<std::size_t>(record[k] - '0');
        }
        const std::size_t end = colon + 1 + length;
        if (end >= record.size() || record[end] != '\n') {
            return std::nullopt;
        }
        arguments.push_back(record.substr(colon + 1, length));
        pos = end + 1;
    }
    return arguments;
}

}  // namespace veltrona::standin

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltrona::standin {

// What the administration tool's parameter string tells the server.
struct ServerOptions {
    bool debug = false;          // "-d" before "-dw"
    bool dhcp = false;           // "-dhl"
    std::string transferSyntax;  // "+x=", "+xs", "+xy", "+xi" or empty
    std::string profileFile;     // "-xf FILE PROFILE"; both empty without a profile
    std::string profileName;
    // Everything between the options and "-od", as given. A transfer syntax, "-xf FILE
    // PROFILE", "-d" or "-dhl" among them takes effect as well; of several transfer
    // syntaxes and profiles the last one counts.
    std::vector<std::string> additional;
    std::string imageFolder;
    std::string aeTitle;      // words joined by one blank; empty when none was given
    std::optional<int> port;  // absent when the settings held no port

    bool operator==(const ServerOptions&) const = default;
};

struct ParsedArguments {
    std::optional<ServerOptions> options;  // empty when the arguments were rejected
    std::string error;                     // why they were rejected
};

// Parses argv[1..] in the order the tool writes it:
//   [-d] -dw [-dhl] [+x=|+xs|+xy|+xi | -xf FILE PROFILE] [ADDITIONAL...] -od FOLDER -aet [TITLE...]
//   [PORT]
// After "-aet" the last argument is the port when there are two or more; a single one is
// the port when it is all digits, else the title (an AE title made of digits alone needs
// a port after it). A port must be a number from 1 to 65535.
ParsedArguments parseServerArguments(const std::vector<std::string>& arguments);

// The text "--help" prints.
std::string serverUsage();

// One line per argument: its length in bytes as a decimal number, ":", the bytes
// themselves, then "\n". The length makes empty arguments, blanks, quotes and even line
// breaks inside an argument unambiguous.
std::string encodeArgumentRecord(const std::vector<std::string>& arguments);

// Reverses encodeArgumentRecord; empty when the text is not such a record.
std::optional<std::vector<std::string>> decodeArgumentRecord(const std::string& record);

}  // namespace veltrona::standin

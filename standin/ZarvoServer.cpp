// Stand-in for the DICOM storage server the administration tool manages: it accepts the
// command line the tool builds, can record it for tests, and serves until it is killed.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "RunServer.h"
#include "ServerArguments.h"

namespace {

// Written to a temporary name first and renamed, so a reader never sees half a record.
bool recordArguments(const char* path, const std::vector<std::string>& arguments) {
    const std::filesystem::path target(path);
    auto temporary = target;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << veltrona::standin::encodeArgumentRecord(arguments);
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);

    if (const char* recordPath = std::getenv("ZARVO_SERVER_ARGS_FILE");
        recordPath != nullptr && *recordPath != '\0') {
        if (!recordArguments(recordPath, arguments)) {
            std::cerr << "ZarvoServer.exe: cannot write the argument record " << recordPath << "\n";
            return 3;
        }
    }

    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::cout << veltrona::standin::serverUsage();
        return 0;
    }

    const auto parsed = veltrona::standin::parseServerArguments(arguments);
    if (!parsed.options) {
        std::cerr << "ZarvoServer.exe: " << parsed.error << "\n"
                  << "Try \"ZarvoServer.exe --help\".\n";
        return 2;
    }

    return veltrona::standin::runServer(*parsed.options);
}

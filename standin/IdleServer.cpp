// The stand-in where the build has no DICOM network support: it announces what it was
// given and runs until it is killed.

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "RunServer.h"

namespace veltrona::standin {

int runServer(const ServerOptions& options) {
    std::cout << "ZarvoServer stand-in: AE title \"" << options.aeTitle << "\", port "
              << (options.port ? std::to_string(*options.port) : std::string("(none)"))
              << ", images in \"" << options.imageFolder << "\"" << std::endl;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

}  // namespace veltrona::standin

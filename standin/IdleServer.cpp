// The stand-in where the build has no DICOM network support: it announces what it was
// given and runs until it is killed.

#include <iostream>
#include <string>

#include "RunServer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace veltrona::standin {

namespace {

void pauseOneSecond() {
#ifdef _WIN32
    Sleep(1000);
#else
    sleep(1);
#endif
}

}  // namespace

int runServer(const ServerOptions& options) {
    std::cout << "ZarvoServer stand-in: AE title \"" << options.aeTitle << "\", port "
              << (options.port ? std::to_string(*options.port) : std::string("(none)"))
              << ", images in \"" << options.imageFolder << "\"" << std::endl;
    for (;;) {
        pauseOneSecond();
    }
}

}  // namespace veltrona::standin

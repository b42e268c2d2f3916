// VeltronaCtl whose package folder and server account come from the environment
// (VELTRONA_TEST_PACKAGE_FOLDER, VELTRONA_TEST_SERVER_ACCOUNT), so that a test can make a
// temporary folder root's package folder, served by an account the test made. Never
// installed: the shipped VeltronaCtl has both built in.
#include <stdlib.h>

#include <iostream>
#include <string>
#include <vector>

#include "ctl/Ctl.h"
#include "ctl/ServerAccount.h"

int main(int argc, char* argv[]) {
    veltrona::ctl::PackageLayout& layout = veltrona::ctl::packageLayout();
    if (const char* folder = ::getenv("VELTRONA_TEST_PACKAGE_FOLDER")) {
        layout.folder = folder;
    }
    if (const char* account = ::getenv("VELTRONA_TEST_SERVER_ACCOUNT")) {
        layout.account = account;
    }
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto processes = veltrona::process::createProcessPlatform();
    const int status = veltrona::ctl::runCtl(arguments, *processes, std::cout, std::cerr);
    return veltrona::ctl::endCtl(status);
}

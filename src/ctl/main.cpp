// VeltronaCtl: the command-line companion of the window VeltronaAdmin, for scripts,
// service managers and remote shells.
#include <iostream>
#include <string>
#include <vector>

#include "Ctl.h"

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto processes = veltrona::process::createProcessPlatform();
    const int status = veltrona::ctl::runCtl(arguments, *processes, std::cout, std::cerr);
    return veltrona::ctl::endCtl(status);
}

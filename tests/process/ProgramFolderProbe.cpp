// Writes the program folder as this executable finds it, for the tests that start it.
#include <iostream>

#include "process/ProgramFolder.h"

int main() {
    std::cout << veltrona::process::programFolder().string();
}

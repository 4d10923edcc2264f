// vokra-cli: the headless batch tool. Standard output is binary-safe on every platform we build
// for, so the envelope written there is byte for byte the file the program writes.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return vokra::RunCli(args, std::cout, std::cerr);
}

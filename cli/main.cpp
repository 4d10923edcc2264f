// vokra-cli: the headless batch tool. Standard output is binary-safe on every platform we build
// for, so the envelope written there is byte for byte the file the program writes. Started under
// the name `rhubarb` (the link the package installs), it is the rhubarb-compatible command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_pipelines.h"
#include "cli/cli_runner.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (argc > 0 && vokra::StartedAsRhubarb(argv[0]))
        return vokra::RunRhubarb(args, std::cout, std::cerr);
    return vokra::RunCli(args, std::cout, std::cerr);
}

#pragma once
// The built vokra-cli run as its own process, what it prints caught in files of a scratch folder:
// the end-to-end tests see exactly what a pipeline would.
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vokra::test {

struct CliRun {
    int exit = -1;  // the exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs vokra-cli with `args` (without the program's name); `dir` holds its output files. With
// `workdir`, the tool runs there, so that relative names are relative to it.
CliRun RunCliProcess(const TempDir& dir, std::vector<std::string> args,
                     const std::string& workdir = std::string());
// The same for the program at `program` (a link to vokra-cli under another name).
CliRun RunProcess(const TempDir& dir, const std::string& program, std::vector<std::string> args,
                  const std::string& workdir = std::string());

}  // namespace vokra::test

#pragma once
// The commands for pipelines that already call a lip-sync program: `rhubarb` (the same arguments,
// output and status lines as the command-line tool those pipelines run, also when vokra-cli is
// started under the name `rhubarb`) and `batch` (a manifest of many lines keyed in one process).
// Both translate onto the steps and writers of `shapes`.
#include <iosfwd>
#include <string>
#include <vector>

namespace vokra {

// The rhubarb-compatible command line: `args` are the arguments after the program's name.
int RunRhubarb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The usage and options of the rhubarb-compatible command line.
std::string RhubarbHelp();

// `batch MANIFEST [options]`: `args` are the arguments after "batch".
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// True when a program started as `argv0` is the rhubarb-compatible command line.
bool StartedAsRhubarb(const std::string& argv0);

}  // namespace vokra

#pragma once
// vokra-cli's commands: autokey (a sound in, keys out as an envelope or a document), export (a
// document's keys as an envelope or for other tools) and info (what a document holds). Outputs are
// byte for byte what the program writes; the program's own messages reach the user through the
// message service (standard error by default).
#include <iosfwd>
#include <string>
#include <vector>

namespace vokra {

// Exit codes.
enum CliExit { kCliOk = 0, kCliFileError = 1, kCliUsageError = 2 };

// Runs one command line (the arguments after the program name). Normal output goes to `out`,
// usage errors and help to `out`/`err` as a command-line user expects.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage summary and the full help text.
std::string CliUsage();
std::string CliHelp();

// Shortest text that reads back to the same value, '.' as decimal point.
std::string ShortestNumber(double value);
std::string ShortestNumber(float value);

}  // namespace vokra

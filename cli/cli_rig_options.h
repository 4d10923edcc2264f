#pragma once
// The options of the engine and rig formats on vokra-cli's command line (export, autokey and
// shapes): read as they come, then checked against the chosen format once the whole line is read,
// with the mouth map (--mouths) read for that format.
#include <string>

#include "cli/cli_options.h"

namespace vokra {

bool IsRigOption(const std::string& name);
// Reads one such option; the reason it cannot be used, or empty.
std::string ApplyRigOption(CliOptions& o, const std::string& name, const std::string& value);
// Reads --mouths for the chosen format (switch data or a rig's map) and checks that each rig
// option given applies to it; the reason when not, or empty.
std::string FinishFormatOptions(CliOptions& o);
// "--format must be env, csv, ..." with every name the command takes.
std::string KeyFormatChoices();
std::string ShapeFormatChoices();

}  // namespace vokra

#pragma once
// The command line of vokra-cli, parsed and checked before any file is touched: the command, its
// file arguments and its options, each value checked against the same limits the program's
// dialogs use. A usage error carries a one-line reason.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/key_export.h"

namespace vokra {

enum class CliCommand { Help, Version, AutoKey, Export, Info };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::string input;  // SOUND.wav for autokey, DOC.vok for export and info

    // autokey
    double fps = 15.0;
    std::optional<std::int32_t> from;
    std::optional<std::int32_t> to;
    std::int32_t highThreshold = 100;
    std::int32_t lowThreshold = 0;
    std::int32_t highRange = 100;
    std::int32_t lowRange = 0;
    std::string envPath;  // empty: not written
    std::string vokPath;  // empty: not written

    // export, and autokey's keys in another format
    std::string outputPath;            // empty: standard output
    std::optional<KeyFormat> format;   // --format; the envelope when not given
    std::optional<MouthBands> mouths;  // --mouths, for the switch data
};

struct CliParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is usable
    bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name.
CliParseResult ParseCliArguments(const std::vector<std::string>& args);

// The frame-rate preset of a rate: 1..11 for a standard rate, 0 (custom) for any other.
std::int32_t PresetForRate(double rate);

}  // namespace vokra

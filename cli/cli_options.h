#pragma once
// The command line of vokra-cli, parsed and checked before any file is touched: the command, its
// file arguments and its options, each value checked against the same limits the program's
// dialogs use. A usage error carries a one-line reason.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/key_export.h"
#include "document/shape_export.h"
#include "shapes/shape_options.h"

namespace vokra {

enum class CliCommand { Help, Version, AutoKey, Export, Info, Convert, Shapes, Edit };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::string input;  // the sound for autokey and convert, DOC.vok for export, either for info

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
    std::string outputPath;            // empty: standard output; convert: OUT.wav
    std::optional<KeyFormat> format;   // --format; the envelope when not given
    std::optional<MouthBands> mouths;  // --mouths, for the switch data

    // convert
    std::int32_t rate = 0;     // 0: by the conversion rule
    std::int32_t channel = 0;  // 0: mix all channels down

    // autokey: guess the shapes too; key into an existing document keeping its hand edits
    bool fpsGiven = false;
    bool guessShapes = false;       // --shapes
    std::string updatePath;         // --update DOC.vok
    bool replaceHandEdits = false;  // --replace-hand-edits
    // edit and autokey --update: write even when that replaces records the document's file
    // holds but this version could not read
    bool dropDamaged = false;  // --drop-damaged

    // shapes (and export's dat)
    std::optional<ShapeFormat> shapeFormat;     // --format of shapes; tsv when not given
    std::optional<MouthShapeNames> shapeNames;  // shapes --mouths, export --shape-names

    // shapes, autokey --shapes (and export's --extended-shapes): how the mouths are guessed
    std::optional<std::int32_t> leadMs;      // --lead MS
    std::optional<ShapeSet> extendedShapes;  // --extended-shapes SET
    // shapes and autokey --shapes: the script of the line and its espeak-ng language
    std::string textPath;  // --text FILE
    std::string language;  // --language NAME

    // export, autokey and shapes in an engine or rig format (--target, --name, --method, --curve,
    // --ease, --fade, --weights; --mouths is the map): how it is written; --into SKELETON.json
    // (spine-json) merges the animation into a copy of that skeleton
    RigExportOptions rig;
    std::string intoPath;
    std::vector<std::string> rigOptionNames;  // the rig options given, checked against the format
    std::optional<std::string> mouthsText;    // --mouths as given, read once the format is known

    // edit
    std::vector<std::pair<std::int32_t, float>> setKeys;               // --set FRAME:OPENING
    std::vector<std::pair<std::int32_t, std::int32_t>> releaseRanges;  // --release FIRST-LAST
};

struct CliParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is usable
    bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name.
CliParseResult ParseCliArguments(const std::vector<std::string>& args);

// The lead and the rig's mouths given on the command line (the defaults for those not given).
ShapeOptions ShapeOptionsOf(const CliOptions& o);

// The frame-rate preset of a rate: 1..11 for a standard rate, 0 (custom) for any other.
std::int32_t PresetForRate(double rate);

}  // namespace vokra

#pragma once
// The keys written for other animation tools: comma-separated values, JSON, After Effects
// keyframe data and mouth-shape switch data (*.dat), besides the envelope file. Each writer puts
// the whole text on a stream; the menu, the clipboard and vokra-cli all call the same writers.
// Numbers never depend on the locale and every line ends with "\n" (the envelope keeps "\r\n").
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "document/keyframe_list.h"
#include "document/shape_track.h"
#include "shapes/shape_set.h"

namespace vokra {

enum class KeyFormat { Env, Csv, Json, Ae, Dat };

// The format of a command-line name ("env", "csv", "json", "ae", "dat").
std::optional<KeyFormat> KeyFormatFromName(std::string_view name);
const char* KeyFormatName(KeyFormat format);
// The file extension a save dialog adds ("env", "csv", "json", "txt", "dat").
const char* KeyFormatExtension(KeyFormat format);

// One mouth shape of the switch data: it is chosen while the opening is below `upper`; the last
// band of a list has no upper limit and takes every opening from the one before it up.
struct MouthBand {
    std::string name;
    float upper = 0.0f;  // ignored for the last band
};
using MouthBands = std::vector<MouthBand>;

// rest below 0.10, etc below 0.30, E below 0.55, AI from there up.
MouthBands DefaultMouthBands();
// Longest list and longest name accepted, so a settings file cannot make either huge.
constexpr std::size_t kMaxMouthBands = 32;
constexpr std::size_t kMaxMouthNameLength = 64;

// Why a band list cannot be used (empty when it can): no bands, a name that is empty, too long,
// or has a space, a control character, ':' or ','; limits that are not finite numbers rising from
// one band to the next.
std::string CheckMouthBands(const MouthBands& bands);

struct MouthBandsParse {
    MouthBands bands;
    std::string error;  // empty when the list is usable
};
// Reads "rest:0.1,etc:0.3,E:0.55,AI": NAME:LIMIT for every band but the last, which is a name.
MouthBandsParse ParseMouthBands(std::string_view text);
// The text ParseMouthBands reads back to the same bands.
std::string FormatMouthBands(const MouthBands& bands);
// The band of an opening: the first whose limit lies above it (an opening exactly at a limit
// belongs to the band above).
std::size_t MouthBandOf(const MouthBands& bands, double opening);

// What a writer needs besides the keys.
struct KeyExportInfo {
    double frameRate = 15.0;
    std::optional<std::string> soundPath;     // the sound's full path (json), none without a sound
    MouthBands mouths = DefaultMouthBands();  // dat
    // The document's mouth shapes (none: null or empty). With shapes, csv gains a shape column,
    // json a "shapes" list, and dat switches the shapes, named by `shapeNames`.
    const ShapeTrack* shapes = nullptr;
    MouthShapeNames shapeNames = DefaultMouthShapeNames();
    ShapeSet shapeSet;  // the mouths the rig has: the others are written as their basic mouth
};

// What a writer noticed about its input that the user should be told.
struct KeyExportNotes {
    bool soundPathNotUtf8 = false;  // json: written with U+FFFD in place of the bad bytes
};

// "frame,time,opening", then one row per key. With shapes: "frame,time,opening,shape", one row
// per frame with a key or a shape, the opening or the shape empty where the frame has none.
bool WriteKeysCsv(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out);
// {"frameRate": R, "sound": PATH|null, "keys": [{"frame": F, "time": T, "opening": O}, ...]}, a
// hand-made key with "hand": true; with shapes, then
// "shapes": [{"frame": F, "time": T, "shape": "D"}, ...] ("hand": true when set by hand).
bool WriteKeysJson(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out,
                   KeyExportNotes* notes = nullptr);
// After Effects keyframe data for a slider, the value in percent.
bool WriteKeysAfterEffects(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out);
// "MohoSwitch1", then "FRAME NAME" (one-based) at the first keyed frame and at every change of
// the mouth up to the last key, the opening taken between keys on a straight line.
bool WriteKeysMouthSwitch(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out);
// Any format, the envelope included; false when the stream reports a failure.
bool WriteKeys(KeyFormat format, const KeyframeList& keys, const KeyExportInfo& info,
               std::ostream& out, KeyExportNotes* notes = nullptr);

// Shortest decimal that reads back to the same value, '.' as decimal point.
void AppendShortest(std::string& out, double value);
void AppendShortest(std::string& out, float value);

// Appends a JSON string literal of `text`: quotes, backslashes and control characters escaped,
// bytes that are not UTF-8 replaced by U+FFFD. True when nothing had to be replaced.
bool AppendJsonString(std::string& out, std::string_view text);

}  // namespace vokra

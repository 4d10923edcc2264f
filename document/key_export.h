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
#include "document/rig_export.h"
#include "document/shape_track.h"
#include "shapes/shape_set.h"

namespace vokra {

// RhubarbTsv to RhubarbXml write the document's mouth shapes (not its keys) as timed mouth cues
// in the tsv, json and xml layouts of the 2D lip-sync pipelines, as vokra-cli shapes writes a
// guess; the formats after them are the engine and rig formats (RigFormat, in its order).
enum class KeyFormat {
    Env,
    Csv,
    Json,
    Ae,
    Dat,
    RhubarbTsv,
    RhubarbJson,
    RhubarbXml,
    GodotTres,
    SpineJson,
    Live2dMotion,
    UnityAnim,
    WeightsCsv,
    WeightsJson,
    Pgo
};
constexpr int kKeyFormatCount = 15;
constexpr int kFirstRigKeyFormat = static_cast<int>(KeyFormat::GodotTres);
static_assert(kKeyFormatCount - kFirstRigKeyFormat == kRigFormatCount);
inline KeyFormat KeyFormatOf(RigFormat format) {
    return static_cast<KeyFormat>(kFirstRigKeyFormat + static_cast<int>(format));
}
inline std::optional<RigFormat> RigFormatOf(KeyFormat format) {
    const int i = static_cast<int>(format) - kFirstRigKeyFormat;
    if (i < 0) return std::nullopt;
    return static_cast<RigFormat>(i);
}

// The format of a command-line name ("env", "csv", "json", "ae", "dat", "rhubarb-tsv",
// "rhubarb-json", "rhubarb-xml", and the rig formats' names).
std::optional<KeyFormat> KeyFormatFromName(std::string_view name);
const char* KeyFormatName(KeyFormat format);
// The file extension a save dialog adds ("env", "csv", "json", "txt", "dat", "tsv", "json",
// "xml").
const char* KeyFormatExtension(KeyFormat format);
// Whether a format writes the mouth shapes only (the cues and the rig formats) (a document without
// shapes has nothing to write).
bool IsShapeCueFormat(KeyFormat format);

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
// The checks of one name of such a list (the `ordinal`th, counted from 1), shared by every list of
// mouth names the switch data is written with; empty when the name is usable.
std::string CheckMouthName(const std::string& name, std::size_t ordinal);

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
    // The sound's length for the mouth cues (0 when unknown: the cues end with the last shape).
    std::int64_t soundSamples = 0;
    std::int32_t soundRate = 0;
    // The rig formats: their map, target and curves, and the script's words when it was aligned.
    RigExportOptions rig;
    std::vector<RigWord> words;
    std::string script;
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
// The document's shapes as mouth cues (format one of the Rhubarb ones): from 0 to the end of the
// sound, or of the last shape when that is later; the sound's path as written in json and xml.
bool WriteShapeCues(KeyFormat format, const KeyExportInfo& info, std::ostream& out,
                    KeyExportNotes* notes = nullptr);
// The mouth of every frame of the document's shapes for the rig formats: the frames of the sound
// and of the shapes past its end (then a frame at rest after them), frames without a shape at
// rest, in the rig's mouths.
RigMouths RigMouthsOf(const KeyExportInfo& info);
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

#pragma once
// The mouth shapes written for other tools. From a sound alone (vokra-cli shapes): tsv, json and
// xml give timed cues in seconds (the layouts 2D lip-sync pipelines read) and never depend on a
// frame rate; csv and dat give one shape per animation frame. From a document: the switch data of
// its shape track. Each writer puts the whole text on a stream, locale-free, lines ending in "\n".
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "document/rig_export.h"
#include "document/shape_track.h"
#include "shapes/mouth_shape.h"
#include "shapes/shape_set.h"

namespace vokra {

// After Dat, the engine and rig formats (RigFormat, in its order).
enum class ShapeFormat {
    Tsv,
    Json,
    Xml,
    Csv,
    Dat,
    GodotTres,
    SpineJson,
    Live2dMotion,
    UnityAnim,
    WeightsCsv,
    WeightsJson,
    Pgo
};
constexpr int kFirstRigShapeFormat = static_cast<int>(ShapeFormat::GodotTres);
inline ShapeFormat ShapeFormatOf(RigFormat format) {
    return static_cast<ShapeFormat>(kFirstRigShapeFormat + static_cast<int>(format));
}
inline std::optional<RigFormat> RigFormatOf(ShapeFormat format) {
    const int i = static_cast<int>(format) - kFirstRigShapeFormat;
    if (i < 0) return std::nullopt;
    return static_cast<RigFormat>(i);
}

// The format of a command-line name ("tsv", "json", "xml", "csv", "dat"; "rhubarb-tsv",
// "rhubarb-json" and "rhubarb-xml" name the first three, as export calls them; and the rig
// formats' names).
std::optional<ShapeFormat> ShapeFormatFromName(std::string_view name);

// One stretch of a single mouth, in seconds.
struct ShapeCue {
    double start = 0.0;
    double end = 0.0;
    MouthShape shape = MouthShape::X;
};
// The 10 ms shapes as cues, one per change of mouth, from 0 to `duration` seconds. Cues are cut
// at the duration; one that would start at or after it (at two decimals) is left out.
std::vector<ShapeCue> CuesOf(const std::vector<MouthShape>& per10ms, double duration);

// What the sound-only writers need besides the 10 ms shapes.
struct ShapeExportInfo {
    std::string soundPath;  // json and xml metadata: absolute and normal, as readers open it
    double duration = 0.0;  // seconds of sound
    std::int32_t sampleRate = 0;
    std::int64_t sampleCount = 0;  // with sampleRate, the exact length (0: `duration` only)
    double frameRate = 24.0;       // csv and dat
    MouthShapeNames names = DefaultMouthShapeNames();  // dat
    ShapeSet shapeSet;  // the mouths the rig has: the others are written as their basic mouth
    // The rig formats: their map, target and curves, and the script's words when it was aligned.
    RigExportOptions rig;
    std::vector<RigWord> words;
    std::string script;
};

// The length tsv, json and xml give the sound, in whole hundredths of a second: cut, not rounded,
// as the pipelines' own tool measures it (from the samples when they are known).
std::int64_t TimedCentiseconds(const ShapeExportInfo& info);

// "0.00<TAB>X" per change of mouth, then "<duration><TAB>X" (the rest mouth: A without X).
bool WriteShapesTsv(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out);
bool WriteShapesJson(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                     std::ostream& out);
bool WriteShapesXml(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out);
// "frame,time,shape" per frame of the sound at the frame rate.
bool WriteShapesCsv(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out);
// Switch data of the frames of the sound at the frame rate.
bool WriteShapesDat(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out);
// The mouth of every frame of the sound, for the rig formats.
RigMouths RigMouthsOf(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info);
// Any format, the rig formats included.
bool WriteShapes(ShapeFormat format, const std::vector<MouthShape>& per10ms,
                 const ShapeExportInfo& info, std::ostream& out);

// The timed forms (tsv, json, xml) of cues that cover 0 to TimedCentiseconds(info): the writers
// above and a document's shapes share them, so both are written byte for byte alike.
bool WriteCues(ShapeFormat format, const std::vector<ShapeCue>& cues, const ShapeExportInfo& info,
               std::ostream& out);
// A document's shapes as cues from 0 to `centiseconds`: one per change of mouth, frames without a
// shape at rest (X); frame f starts at f / frameRate seconds, to the nearest hundredth.
std::vector<ShapeCue> CuesOfTrack(const ShapeTrack& track, double frameRate,
                                  std::int64_t centiseconds);

// "MohoSwitch1", then "FRAME NAME" (one-based) from frame 1 at every change of mouth, closing
// with the rest mouth (X) on the frame after the last shape; frames without a shape show the
// rest mouth.
bool WriteShapeTrackSwitch(const ShapeTrack& track, const MouthShapeNames& names,
                           std::ostream& out);

// Names for the switch data: nine names in the order A-H, X ("MBP,etc,E,AI,O,U,FV,L,rest"), or
// LETTER:NAME items changing some of the default names ("A:closed,X:neutral"). Names follow the
// rules of the mouth list of the keys' switch data (no spaces, ':' or ',').
struct MouthShapeNamesParse {
    MouthShapeNames names;
    std::string error;  // empty when usable
};
MouthShapeNamesParse ParseMouthShapeNames(std::string_view text);
std::string FormatMouthShapeNames(const MouthShapeNames& names);

// The names with each mouth the rig lacks named as its basic mouth (G, X as A; H as C): switch
// data written with them names only drawings the rig has, and a G beside an A is no change.
MouthShapeNames ShapeNamesInSet(const MouthShapeNames& names, ShapeSet set);

}  // namespace vokra

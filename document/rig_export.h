#pragma once
// The mouth shapes written for game engines and 2D and 3D rigs: a Godot 4 Animation resource, a
// Spine animation, a Live2D motion, a Unity animation clip, per-frame weight curves (CSV, JSON)
// and a Papagayo-NG project. Each format has one writer on a stream, fed the mouth of every frame;
// the nine mouths become the target's names through a map written as `--mouths` takes it.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/script_alignment.h"

namespace vokra {

enum class RigFormat {
    GodotTres,
    SpineJson,
    Live2dMotion,
    UnityAnim,
    WeightsCsv,
    WeightsJson,
    Pgo
};
constexpr int kRigFormatCount = 7;

// The one table of these formats: the command-line name, the file extension, the menu item.
struct RigFormatEntry {
    RigFormat format;
    const char* name;       // "godot-tres"
    const char* extension;  // "tres"
    const char* menuText;   // "&Godot 4 Animation (.tres) ..."
    const char* prompt;     // the status tip
};
const RigFormatEntry& RigFormatInfo(RigFormat format);
std::optional<RigFormat> RigFormatFromName(std::string_view name);
// "godot-tres, spine-json, ..." for messages and help.
std::string RigFormatNames();

// How the weight curves fade from one mouth into the next.
enum class RigEase { Step, Linear, Smooth };
// Which weights the weight curves hold: the nine mouths, or the five vowels of VRM 0 (A I U E O)
// or VRM 1 (aa ih ou ee oh).
enum class WeightSet { Mouths, Vrm0, Vrm1 };

std::optional<RigEase> RigEaseFromName(std::string_view name);
const char* RigEaseName(RigEase ease);
std::optional<WeightSet> WeightSetFromName(std::string_view name);
const char* WeightSetName(WeightSet set);

constexpr std::int32_t kMaxFadeFrames = 12;

// Everything a writer is told besides the mouths. An empty map or target means the format's own.
struct RigExportOptions {
    std::optional<MouthShapeNames> names;  // the nine mouths (A-H, X) as the target calls them
    std::string target;  // Godot node path, Spine slot, Unity renderer path, Live2D "OPEN/FORM" ids
    std::string name;    // the animation's name ("lipsync" when empty)
    std::string method;  // Godot: a method track calling this with the mouth's name, when set
    bool linear = false;             // Live2D: linear segments instead of stepped ones
    RigEase ease = RigEase::Smooth;  // weight curves and Unity
    std::int32_t fade = 3;           // frames a new mouth takes to take over fully (1: at once)
    WeightSet weights = WeightSet::Mouths;
};

// A word of the script placed on the frames first..last (both included).
struct RigWord {
    std::string text;
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// Most frames written (over 14 hours at 100 frames per second): the curves' memory stays bounded.
constexpr std::int32_t kMaxRigFrames = 5'000'000;

// What is written: the mouth of every frame from frame 0, at the frame rate.
struct RigMouths {
    std::vector<MouthShape> frames;
    double frameRate = 24.0;
    std::vector<RigWord> words;  // empty when no script was aligned
    std::string soundPath;       // Papagayo's project names its sound
    std::string script;          // the whole text, for Papagayo's voice
    bool tooLong = false;        // more than kMaxRigFrames frames: nothing is written
};

// The format's map and target when none are given.
MouthShapeNames DefaultRigNames(RigFormat format);
std::string DefaultRigTarget(RigFormat format);

struct RigMapParse {
    MouthShapeNames names;
    std::string error;  // empty when usable
};
// Reads a map for a format in the `--mouths` syntax: nine names in the order A-H, X, or
// LETTER:NAME items changing some of the format's own (a letter given twice is refused). Godot
// takes whole numbers (frames) or names, Live2D "OPEN/FORM" pairs (0 to 1, -1 to 1).
RigMapParse ParseRigMap(RigFormat format, std::string_view text);
std::string FormatRigMap(const MouthShapeNames& names);
// Why the target cannot be written in the format (empty when it can).
std::string CheckRigTarget(RigFormat format, const std::string& target);
// Why these mouths cannot be written at all (a Papagayo project holds a whole frame rate only).
std::string RigExportProblem(RigFormat format, const RigMouths& mouths);

// The script's words placed on 10 ms windows, as frames at the frame rate (words not placed are
// left out).
std::vector<RigWord> RigWordsOf(const std::vector<PlacedWord>& words, double frameRate);

// Writes the format; false when the stream failed.
bool WriteRig(RigFormat format, const RigMouths& mouths, const RigExportOptions& options,
              std::ostream& out);

// The per-frame weights, in the order of RigWeightNames: the nine mouths fade into each other
// over `fade` frames with the ease, so every frame's nine weights sum to 1; the vowels of VRM
// come from them through the avatar map.
std::vector<std::vector<double>> RigWeights(const RigMouths& mouths,
                                            const RigExportOptions& options);
std::vector<std::string> RigWeightNames(const RigExportOptions& options);

// A copy of a Spine skeleton's JSON with the animation of `options` added (the skeleton's own
// text is left as it was read, in its order). Refused with a reason: text that is not a skeleton,
// no slot of the target's name, an animation of that name already there.
struct SpineMerge {
    std::string text;
    std::string error;
};
SpineMerge MergeSpineAnimation(std::string_view skeleton, const RigMouths& mouths,
                               const RigExportOptions& options);

}  // namespace vokra

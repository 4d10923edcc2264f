// The engine and rig formats by name, their mouth maps and targets, and the one way to write any
// of them.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"
#include "document/rig_export.h"

namespace vokra {
namespace {

const RigFormatEntry kRigFormats[kRigFormatCount] = {
    {RigFormat::GodotTres, "godot-tres", "tres", "&Godot 4 Animation (.tres) ...",
     "Write the mouth shapes as a Godot 4 Animation resource for an AnimationPlayer"},
    {RigFormat::SpineJson, "spine-json", "json", "Sp&ine Animation (JSON) ...",
     "Write the mouth shapes as a Spine slot attachment timeline"},
    {RigFormat::Live2dMotion, "live2d-motion3", "motion3.json", "&Live2D Motion (motion3.json) ...",
     "Write the mouth shapes as Live2D mouth opening and form curves"},
    {RigFormat::UnityAnim, "unity-anim", "anim", "&Unity Animation Clip (.anim) ...",
     "Write the mouth shapes as blend-shape curves of a Unity animation clip"},
    {RigFormat::WeightsCsv, "weights-csv", "csv", "&Weight Curves (CSV) ...",
     "Write the weight of every mouth (or VRM vowel) per frame as comma-separated values"},
    {RigFormat::WeightsJson, "weights-json", "json", "Weight Curves (JSO&N) ...",
     "Write the weight of every mouth (or VRM vowel) per frame as JSON"},
    {RigFormat::Pgo, "papagayo-pgo", "pgo", "&Papagayo-NG Project (.pgo) ...",
     "Write the words and mouth shapes as a Papagayo-NG project"},
};

// Bytes a name of a rig map may hold: printable, no separator of the map, nothing a writer would
// have to escape differently in each format.
bool IsRigNameByte(unsigned char c) {
    return c > 0x20 && c != 0x7f && c != ',' && c != ':' && c != '"' && c != '\\';
}

std::optional<double> Number(std::string_view text) {
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::string CheckRigName(RigFormat format, const std::string& name, std::size_t index) {
    const char letter = MouthShapeLetter(*MouthShapeFromIndex(static_cast<int>(index)));
    const std::string which = std::string("the name of mouth ") + letter;
    if (name.empty()) return which + " is empty";
    if (!IsValidUtf8(name)) return which + " is not valid UTF-8 text";
    if (name.size() > kMaxMouthNameLength) {
        return which + " is longer than " + std::to_string(kMaxMouthNameLength) + " characters";
    }
    for (char c : name) {
        if (!IsRigNameByte(static_cast<unsigned char>(c))) {
            return which + " ('" + name +
                   "') has a space, a control character, ':', ',', '\"' or '\\'";
        }
    }
    if (format == RigFormat::Live2dMotion) {
        const auto slash = name.find('/');
        const auto open = slash == std::string::npos ? std::nullopt : Number(name.substr(0, slash));
        const auto form =
            slash == std::string::npos ? std::nullopt : Number(name.substr(slash + 1));
        if (!open || !form || *open < 0.0 || *open > 1.0 || *form < -1.0 || *form > 1.0) {
            return "mouth " + std::string(1, letter) + " needs OPEN/FORM, an opening from 0 to 1 " +
                   "and a form from -1 to 1 (got '" + name + "')";
        }
    }
    if (format == RigFormat::UnityAnim &&
        name.find_first_of("#'[]{}&*!|>%@`") != std::string::npos) {
        return which + " ('" + name + "') has a character YAML gives a meaning";
    }
    return {};
}

}  // namespace

const RigFormatEntry& RigFormatInfo(RigFormat format) {
    return kRigFormats[static_cast<int>(format)];
}

std::optional<RigFormat> RigFormatFromName(std::string_view name) {
    for (const RigFormatEntry& entry : kRigFormats) {
        if (name == entry.name) return entry.format;
    }
    return std::nullopt;
}

std::string RigFormatNames() {
    std::string list;
    for (const RigFormatEntry& entry : kRigFormats) {
        if (!list.empty()) list += ", ";
        list += entry.name;
    }
    return list;
}

std::optional<RigEase> RigEaseFromName(std::string_view name) {
    if (name == "step") return RigEase::Step;
    if (name == "linear") return RigEase::Linear;
    if (name == "smooth") return RigEase::Smooth;
    return std::nullopt;
}

const char* RigEaseName(RigEase ease) {
    return ease == RigEase::Step ? "step" : ease == RigEase::Linear ? "linear" : "smooth";
}

std::optional<WeightSet> WeightSetFromName(std::string_view name) {
    if (name == "mouths") return WeightSet::Mouths;
    if (name == "vrm0") return WeightSet::Vrm0;
    if (name == "vrm1") return WeightSet::Vrm1;
    return std::nullopt;
}

const char* WeightSetName(WeightSet set) {
    return set == WeightSet::Mouths ? "mouths" : set == WeightSet::Vrm0 ? "vrm0" : "vrm1";
}

MouthShapeNames DefaultRigNames(RigFormat format) {
    switch (format) {
        case RigFormat::GodotTres:
            // The frames of an AnimatedSprite2D or Sprite2D drawn in the order A-H, X.
            return {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
        case RigFormat::Live2dMotion:
            // Opening and form (smile 1, pucker -1) as avatars take them.
            return {"0/0",      "0.2/0.5", "0.5/0.3", "1/0", "0.5/-0.3",
                    "0.3/-0.7", "0.1/0",   "0.7/0",   "0/0"};
        case RigFormat::Pgo:
            return DefaultMouthShapeNames();  // Papagayo's own phoneme set
        case RigFormat::UnityAnim:
            return {"mouth_A", "mouth_B", "mouth_C", "mouth_D", "mouth_E",
                    "mouth_F", "mouth_G", "mouth_H", "mouth_X"};
        default:
            return {"A", "B", "C", "D", "E", "F", "G", "H", "X"};
    }
}

std::string DefaultRigTarget(RigFormat format) {
    switch (format) {
        case RigFormat::GodotTres:
            return "Mouth:frame";
        case RigFormat::SpineJson:
            return "mouth";
        case RigFormat::Live2dMotion:
            return "ParamMouthOpenY/ParamMouthForm";
        case RigFormat::UnityAnim:
            return "Face";
        default:
            return {};
    }
}

RigMapParse ParseRigMap(RigFormat format, std::string_view text) {
    RigMapParse r;
    r.names = DefaultRigNames(format);
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (items.size() <= kMouthShapeCount) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        items.push_back(text.substr(start, end - start));
        if (end == text.size()) break;
        start = end + 1;
    }
    const bool byLetter = !items.empty() && items[0].size() > 1 && items[0][1] == ':';
    if (!byLetter && items.size() != kMouthShapeCount) {
        r.error = "give nine names in the order A,B,C,D,E,F,G,H,X, or LETTER:NAME items";
        return r;
    }
    if (byLetter && items.size() > kMouthShapeCount) {
        r.error = "more than nine LETTER:NAME items";
        return r;
    }
    bool given[kMouthShapeCount] = {};
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string_view item = items[i];
        std::size_t index = i;
        if (byLetter) {
            const auto shape =
                item.size() > 2 && item[1] == ':' ? MouthShapeFromLetter(item[0]) : std::nullopt;
            if (!shape) {
                r.error = "'" + std::string(item) + "' is not LETTER:NAME with a letter A-H or X";
                return r;
            }
            index = static_cast<std::size_t>(MouthShapeIndex(*shape));
            if (given[index]) {
                r.error = std::string("the mouth ") + MouthShapeLetter(*shape) +
                          " is named twice; give each mouth once";
                return r;
            }
            given[index] = true;
            item.remove_prefix(2);
        }
        r.names[index] = std::string(item);
        if (std::string why = CheckRigName(format, r.names[index], index); !why.empty()) {
            r.error = std::move(why);
            return r;
        }
    }
    return r;
}

std::string FormatRigMap(const MouthShapeNames& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i > 0 ? "," : "") + names[i];
    }
    return text;
}

std::string CheckRigTarget(RigFormat format, const std::string& target) {
    if (target.empty()) return {};
    if (!IsValidUtf8(target) || target.size() > 1024) {
        return "the target is not UTF-8 text of at most 1024 bytes";
    }
    for (char c : target) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '"' || c == '\\') {
            return "the target '" + target + "' has a control character, '\"' or '\\'";
        }
    }
    switch (format) {
        case RigFormat::Live2dMotion: {
            const auto slash = target.find('/');
            if (slash == std::string::npos || slash == 0 || slash + 1 == target.size() ||
                target.find('/', slash + 1) != std::string::npos) {
                return "the Live2D target names the two parameters as OPEN/FORM (got '" + target +
                       "')";
            }
            return {};
        }
        case RigFormat::UnityAnim:
            if (target.find_first_of(":#'[]{}&*!|>%@`,") != std::string::npos ||
                target.front() == ' ' || target.back() == ' ' || target.front() == '-') {
                return "the renderer path '" + target + "' has a character YAML gives a meaning";
            }
            return {};
        case RigFormat::GodotTres: {
            const auto colon = target.find(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == target.size()) {
                return "a Godot target names a node and its property, as Mouth:frame (got '" +
                       target + "')";
            }
            return {};
        }
        case RigFormat::SpineJson:
            return {};
        default:
            return "--target applies only to godot-tres, spine-json, live2d-motion3 and unity-anim";
    }
}

std::string RigExportProblem(RigFormat format, const RigMouths& mouths) {
    if (!(mouths.frameRate > 0.0) || !std::isfinite(mouths.frameRate)) {
        return "the frame rate is not a positive number";
    }
    if (mouths.tooLong || mouths.frames.size() > static_cast<std::size_t>(kMaxRigFrames)) {
        return "the shapes reach past frame " + std::to_string(kMaxRigFrames) +
               ", more than these formats are written for";
    }
    if (mouths.frames.empty()) return "there are no frames to write";
    if (format == RigFormat::Pgo && mouths.frameRate != std::floor(mouths.frameRate)) {
        return "a Papagayo-NG project holds a whole frame rate, and " +
               ShortestText(mouths.frameRate) + " frames per second is not one";
    }
    return {};
}

bool WriteRig(RigFormat format, const RigMouths& mouths, const RigExportOptions& options,
              std::ostream& out) {
    RigExportOptions o = options;
    if (!o.names) o.names = DefaultRigNames(format);
    if (o.target.empty()) o.target = DefaultRigTarget(format);
    if (o.name.empty()) o.name = "lipsync";
    o.fade = std::clamp(o.fade, 1, kMaxFadeFrames);
    switch (format) {
        case RigFormat::GodotTres:
            return WriteGodotTres(mouths, o, out);
        case RigFormat::SpineJson:
            return WriteSpineJson(mouths, o, out);
        case RigFormat::Live2dMotion:
            return WriteLive2dMotion(mouths, o, out);
        case RigFormat::UnityAnim:
            return WriteUnityAnim(mouths, o, out);
        case RigFormat::WeightsCsv:
            return WriteWeightsCsv(mouths, o, out);
        case RigFormat::WeightsJson:
            return WriteWeightsJson(mouths, o, out);
        case RigFormat::Pgo:
            return WritePapagayo(mouths, o, out);
    }
    return false;
}

std::vector<MouthChange> MouthChanges(const std::vector<MouthShape>& frames,
                                      const MouthShapeNames& names) {
    std::vector<MouthChange> changes;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const std::string& name = names[static_cast<std::size_t>(MouthShapeIndex(frames[f]))];
        // Two mouths the target calls alike are no change.
        if (!changes.empty() &&
            names[static_cast<std::size_t>(MouthShapeIndex(changes.back().shape))] == name) {
            continue;
        }
        changes.push_back({static_cast<std::int32_t>(f), frames[f]});
    }
    return changes;
}

std::vector<RigWord> RigWordsOf(const std::vector<PlacedWord>& words, double frameRate) {
    std::vector<RigWord> out;
    for (const PlacedWord& w : words) {
        if (w.firstWindow < 0 || w.endWindow <= w.firstWindow) continue;
        const double first = std::floor(w.firstWindow * 0.01 * frameRate + 1e-9);
        const double last = std::ceil(w.endWindow * 0.01 * frameRate - 1e-9) - 1.0;
        out.push_back({w.text, static_cast<std::int32_t>(first),
                       static_cast<std::int32_t>(std::max(first, last))});
    }
    return out;
}

std::string ShortestText(double value) {
    std::string text;
    AppendShortest(text, value);
    return text;
}

}  // namespace vokra

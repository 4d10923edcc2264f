#include "cli/cli_rig_options.h"

#include <algorithm>
#include <charconv>

namespace vokra {
namespace {

constexpr const char* kRigOptions[] = {"--target", "--name", "--method",  "--curve",
                                       "--ease",   "--fade", "--weights", "--into"};

// The rig formats each option applies to.
bool Applies(const std::string& option, RigFormat f) {
    if (option == "--target") {
        return f == RigFormat::GodotTres || f == RigFormat::SpineJson ||
               f == RigFormat::Live2dMotion || f == RigFormat::UnityAnim;
    }
    if (option == "--name") {
        return f == RigFormat::GodotTres || f == RigFormat::SpineJson || f == RigFormat::UnityAnim;
    }
    if (option == "--method") return f == RigFormat::GodotTres;
    if (option == "--curve") return f == RigFormat::Live2dMotion;
    if (option == "--ease" || option == "--fade") {
        return f == RigFormat::UnityAnim || f == RigFormat::WeightsCsv ||
               f == RigFormat::WeightsJson;
    }
    if (option == "--weights") return f == RigFormat::WeightsCsv || f == RigFormat::WeightsJson;
    return option == "--into" && f == RigFormat::SpineJson;
}

bool IsIdentifier(const std::string& s) {
    if (s.empty() || s.size() > 128 || (s[0] >= '0' && s[0] <= '9')) return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

}  // namespace

bool IsRigOption(const std::string& name) {
    return std::find(std::begin(kRigOptions), std::end(kRigOptions), name) != std::end(kRigOptions);
}

std::string ApplyRigOption(CliOptions& o, const std::string& name, const std::string& value) {
    o.rigOptionNames.push_back(name);
    RigExportOptions& rig = o.rig;
    if (name == "--target") {
        if (value.empty()) return "--target needs a node path, slot or renderer path";
        rig.target = value;
    } else if (name == "--name") {
        if (value.empty() || value.size() > 256 ||
            value.find_first_of("\"\\\n\r\t") != std::string::npos) {
            return "--name needs an animation name without quotes, backslashes or line breaks";
        }
        rig.name = value;
    } else if (name == "--method") {
        if (!IsIdentifier(value)) {
            return "--method needs a method name of letters, digits and '_' (got '" + value + "')";
        }
        rig.method = value;
    } else if (name == "--curve") {
        if (value != "stepped" && value != "linear") {
            return "--curve must be stepped or linear (got '" + value + "')";
        }
        rig.linear = value == "linear";
    } else if (name == "--ease") {
        const auto ease = RigEaseFromName(value);
        if (!ease) return "--ease must be step, linear or smooth (got '" + value + "')";
        rig.ease = *ease;
    } else if (name == "--fade") {
        int v = 0;
        const auto r = std::from_chars(value.data(), value.data() + value.size(), v);
        if (r.ec != std::errc() || r.ptr != value.data() + value.size() || v < 1 ||
            v > kMaxFadeFrames) {
            return "--fade must be a whole number of frames from 1 to " +
                   std::to_string(kMaxFadeFrames) + " (got '" + value + "')";
        }
        rig.fade = v;
    } else if (name == "--weights") {
        const auto set = WeightSetFromName(value);
        if (!set) return "--weights must be mouths, vrm0 or vrm1 (got '" + value + "')";
        rig.weights = *set;
    } else if (name == "--into") {
        if (value.empty()) return "option --into needs a file name";
        o.intoPath = value;
    }
    return {};
}

std::string FinishFormatOptions(CliOptions& o) {
    std::optional<RigFormat> rig;
    bool dat = false;
    if (o.command == CliCommand::Shapes) {
        const ShapeFormat f = o.shapeFormat.value_or(ShapeFormat::Tsv);
        rig = RigFormatOf(f);
        dat = f == ShapeFormat::Dat;
    } else if (o.format) {
        rig = RigFormatOf(*o.format);
        dat = *o.format == KeyFormat::Dat;
    }
    if (o.mouthsText) {
        const std::string& text = *o.mouthsText;
        if (rig) {
            RigMapParse parsed = ParseRigMap(*rig, text);
            if (!parsed.error.empty()) return "--mouths: " + parsed.error;
            o.rig.names = parsed.names;
        } else if (dat && o.command == CliCommand::Shapes) {
            MouthShapeNamesParse parsed = ParseMouthShapeNames(text);
            if (!parsed.error.empty()) return "--mouths: " + parsed.error;
            o.shapeNames = parsed.names;
        } else if (dat) {
            MouthBandsParse parsed = ParseMouthBands(text);
            if (!parsed.error.empty()) return "--mouths: " + parsed.error;
            o.mouths = std::move(parsed.bands);
        } else {
            return "--mouths applies only to --format dat or an engine or rig format";
        }
    }
    for (const std::string& option : o.rigOptionNames) {
        if (!rig || !Applies(option, *rig)) {
            std::string formats;
            for (int i = 0; i < kRigFormatCount; ++i) {
                const auto f = static_cast<RigFormat>(i);
                if (Applies(option, f))
                    formats += (formats.empty() ? "" : ", ") + std::string(RigFormatInfo(f).name);
            }
            return option + " applies only to --format " + formats;
        }
    }
    if (rig) {
        if (std::string why = CheckRigTarget(*rig, o.rig.target); !why.empty()) {
            return "--target: " + why;
        }
    }
    if (!o.intoPath.empty() && o.command == CliCommand::AutoKey) {
        return "--into applies only to export and shapes";
    }
    return {};
}

std::string KeyFormatChoices() {
    return "env, csv, json, ae, dat, rhubarb-tsv, rhubarb-json, rhubarb-xml, " + RigFormatNames();
}

std::string ShapeFormatChoices() {
    return "tsv, json, xml, csv, dat, " + RigFormatNames();
}

}  // namespace vokra

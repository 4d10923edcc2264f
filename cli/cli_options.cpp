#include "cli/cli_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "cli/cli_rig_options.h"
#include "document/vokra_doc.h"
#include "shapes/shape_lead.h"

namespace vokra {
namespace {

// Whole number filling the whole text (an optional '+' allowed); nothing for anything else.
std::optional<std::int64_t> ParseWhole(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int64_t v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Digits beyond 64 bits: a value far out of any range, kept with its sign.
        return text.front() == '-' ? INT64_MIN : INT64_MAX;
    }
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// A decimal number with '.' whatever the locale, filling the whole text.
std::optional<double> ParseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0.0;
    auto [ptr, ec] =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    CliParseResult Run() {
        CliParseResult r;
        if (args_.empty()) return Fail("no command given");
        // Help wins wherever it is asked for, before anything else is checked.
        for (const std::string& a : args_) {
            if (a == "--") break;
            if (a == "--help" || a == "-h") return r;  // Help is the default command
        }
        const std::string& command = args_[0];
        if (command == "--version") {
            if (args_.size() > 1) return Fail("unexpected argument '" + args_[1] + "'");
            r.options.command = CliCommand::Version;
            return r;
        }
        if (command == "autokey") {
            options_.command = CliCommand::AutoKey;
        } else if (command == "export") {
            options_.command = CliCommand::Export;
        } else if (command == "info") {
            options_.command = CliCommand::Info;
        } else if (command == "convert") {
            options_.command = CliCommand::Convert;
        } else if (command == "shapes") {
            options_.command = CliCommand::Shapes;
        } else if (command == "edit") {
            options_.command = CliCommand::Edit;
        } else if (!command.empty() && command[0] == '-') {
            return Fail("unknown option '" + command + "'");
        } else {
            return Fail("unknown command '" + command + "'");
        }

        bool optionsEnded = false;
        for (index_ = 1; index_ < args_.size(); ++index_) {
            const std::string& a = args_[index_];
            if (!optionsEnded && a == "--") {
                optionsEnded = true;
                continue;
            }
            if (!optionsEnded && a.size() > 1 && a[0] == '-') {
                if (!Option(a)) return Fail(error_);
                continue;
            }
            if (!Positional(a)) return Fail("unexpected argument '" + a + "'");
        }
        if (options_.input.empty()) {
            switch (options_.command) {
                case CliCommand::AutoKey:
                    return Fail("autokey needs a sound file (SOUND.wav)");
                case CliCommand::Export:
                    return Fail("export needs a document (DOC.vok)");
                case CliCommand::Convert:
                    return Fail("convert needs a sound file and an output file (IN OUT.wav)");
                case CliCommand::Shapes:
                    return Fail("shapes needs a sound file (SOUND)");
                case CliCommand::Edit:
                    return Fail("edit needs a document (DOC.vok)");
                default:
                    return Fail("info needs a document or a sound file (DOC.vok or SOUND)");
            }
        }
        if (options_.command == CliCommand::Convert && options_.outputPath.empty()) {
            return Fail("convert needs an output file (OUT.wav)");
        }
        if (const std::string why = FinishFormatOptions(options_); !why.empty()) return Fail(why);
        if (const std::string why = CheckShapeOptions(); !why.empty()) return Fail(why);
        if (const std::string why = CheckGuessOptions(); !why.empty()) return Fail(why);
        if (options_.from && options_.to && *options_.from > *options_.to) {
            return Fail("--from " + std::to_string(*options_.from) + " is after --to " +
                        std::to_string(*options_.to));
        }
        r.options = options_;
        return r;
    }

private:
    CliParseResult Fail(const std::string& reason) {
        CliParseResult r;
        r.error = reason;
        return r;
    }

    // The value of "--name=value", else the next argument.
    bool TakeValue(const std::string& arg, std::string& value) {
        const auto eq = arg.find('=');
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
            return true;
        }
        if (index_ + 1 >= args_.size()) {
            error_ = "option " + arg + " needs a value";
            return false;
        }
        value = args_[++index_];
        return true;
    }

    bool Whole(const std::string& name, const std::string& value, std::int64_t min,
               std::int64_t max, std::int32_t& out) {
        const auto v = ParseWhole(value);
        if (!v || *v < min || *v > max) {
            error_ = max == INT32_MAX
                         ? name + " must be a whole number, 0 or more (got '" + value + "')"
                         : name + " must be a whole number from " + std::to_string(min) + " to " +
                               std::to_string(max) + " (got '" + value + "')";
            return false;
        }
        out = static_cast<std::int32_t>(*v);
        return true;
    }

    // The input, and for convert the output after it; false for one too many.
    bool Positional(const std::string& arg) {
        if (options_.input.empty()) {
            options_.input = arg;
            return true;
        }
        if (options_.command == CliCommand::Convert && options_.outputPath.empty()) {
            options_.outputPath = arg;
            return true;
        }
        return false;
    }

    bool ConvertOption(const std::string& arg, const std::string& name) {
        if (name != "--rate" && name != "--channel") {
            error_ = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (!TakeValue(arg, value)) return false;
        if (name == "--rate") return Whole(name, value, 4000, 44100, options_.rate);
        if (value == "mix") {
            options_.channel = 0;
            return true;
        }
        const auto v = ParseWhole(value);
        if (!v || *v < 1 || *v > 1024) {
            error_ = "--channel must be 'mix' or a channel number from 1 (got '" + value + "')";
            return false;
        }
        options_.channel = static_cast<std::int32_t>(*v);
        return true;
    }

    // The options that choose how the keys are written, shared by export and autokey.
    static bool IsKeyOutputOption(const std::string& name) {
        return name == "-o" || name == "--output" || name == "--format" || name == "--mouths";
    }

    bool KeyOutputOption(const std::string& name, const std::string& value) {
        if (name == "--format") {
            options_.format = KeyFormatFromName(value);
            if (!options_.format) {
                error_ = "--format must be one of " + KeyFormatChoices() + " (got '" + value + "')";
                return false;
            }
            return true;
        }
        if (name == "--mouths") {
            options_.mouthsText = value;  // read once the format is known
            return true;
        }
        if (value.empty()) return Empty(name);
        options_.outputPath = value;
        return true;
    }

    // What the options of shapes, edit and autokey's updates ask for together.
    std::string CheckShapeOptions() const {
        const CliOptions& o = options_;
        if (o.command == CliCommand::Shapes && o.shapeNames &&
            o.shapeFormat.value_or(ShapeFormat::Tsv) != ShapeFormat::Dat) {
            return "--mouths applies only to --format dat";
        }
        if (o.command == CliCommand::Export && o.shapeNames && o.format != KeyFormat::Dat) {
            return "--shape-names applies only to --format dat";
        }
        if (o.command == CliCommand::Edit && o.setKeys.empty() && o.releaseRanges.empty()) {
            return "edit needs --set FRAME:OPENING or --release FIRST-LAST";
        }
        if (!o.updatePath.empty() && !o.vokPath.empty()) {
            return "--update writes the document it names; it cannot be used with --vok";
        }
        if (o.replaceHandEdits && o.updatePath.empty()) {
            return "--replace-hand-edits applies only with --update";
        }
        if (o.dropDamaged && o.command == CliCommand::AutoKey && o.updatePath.empty()) {
            return "--drop-damaged applies only with --update";
        }
        if (!o.textPath.empty() && o.language.empty()) {
            return "--text needs --language NAME (an espeak-ng voice such as en-us, de, fr, ja)";
        }
        if (o.textPath.empty() && !o.language.empty()) return "--language applies only with --text";
        if (!o.textPath.empty() && o.command == CliCommand::AutoKey && !o.guessShapes) {
            return "--text applies only with --shapes";
        }
        return {};
    }

    bool ShapesOption(const std::string& arg, const std::string& name) {
        if (name != "--format" && name != "--fps" && name != "--mouths" && name != "-o" &&
            name != "--output" && name != "--text" && name != "--language") {
            error_ = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (!TakeValue(arg, value)) return false;
        if (name == "--format") {
            options_.shapeFormat = ShapeFormatFromName(value);
            if (!options_.shapeFormat) {
                error_ =
                    "--format must be one of " + ShapeFormatChoices() + " (got '" + value + "')";
                return false;
            }
            return true;
        }
        if (name == "--fps") return Fps(value);
        if (name == "--mouths") {
            options_.mouthsText = value;  // read once the format is known
            return true;
        }
        if (name == "--text" || name == "--language") return ScriptOption(name, value);
        if (value.empty()) return Empty(name);
        options_.outputPath = value;
        return true;
    }

    bool ScriptOption(const std::string& name, const std::string& value) {
        if (value.empty()) {
            error_ = name == "--text" ? "option --text needs a file name"
                                      : "option --language needs an espeak-ng voice name";
            return false;
        }
        (name == "--text" ? options_.textPath : options_.language) = value;
        return true;
    }

    bool ShapeNames(const std::string& name, const std::string& value) {
        MouthShapeNamesParse parsed = ParseMouthShapeNames(value);
        if (!parsed.error.empty()) {
            error_ = name + ": " + parsed.error;
            return false;
        }
        options_.shapeNames = parsed.names;
        return true;
    }

    // --lead and --extended-shapes: how shapes and autokey --shapes guess, and (the rig's mouths
    // alone) how export writes a document's shapes.
    bool IsGuessOption(const std::string& name) const {
        const CliCommand c = options_.command;
        if (name == "--lead") return c == CliCommand::Shapes || c == CliCommand::AutoKey;
        return name == "--extended-shapes" &&
               (c == CliCommand::Shapes || c == CliCommand::AutoKey || c == CliCommand::Export);
    }

    bool GuessOption(const std::string& arg, const std::string& name) {
        std::string value;
        if (!TakeValue(arg, value)) return false;
        if (name == "--lead") {
            const auto v = ParseWhole(value);
            if (!v || *v < 0 || *v > kMaxShapeLeadMs) {
                error_ = "--lead must be a whole number of milliseconds from 0 to " +
                         std::to_string(kMaxShapeLeadMs) + " (got '" + value + "')";
                return false;
            }
            options_.leadMs = static_cast<std::int32_t>(*v);
            return true;
        }
        options_.extendedShapes = ParseShapeSet(value);
        if (!options_.extendedShapes) {
            error_ =
                "--extended-shapes must be any of the letters G, H and X, or \"\" for the six "
                "basic mouths A-F (got '" +
                value + "')";
            return false;
        }
        return true;
    }

    std::string CheckGuessOptions() const {
        const CliOptions& o = options_;
        if (o.command != CliCommand::AutoKey || o.guessShapes) return {};
        if (o.leadMs) return "--lead applies only with --shapes";
        if (o.extendedShapes) return "--extended-shapes applies only with --shapes";
        return {};
    }

    bool EditOption(const std::string& arg, const std::string& name) {
        if (name == "--drop-damaged") return Flag(arg, name, options_.dropDamaged);
        if (name != "--set" && name != "--release") {
            error_ = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (!TakeValue(arg, value)) return false;
        const std::string_view v = value;
        if (name == "--set") {
            const auto colon = v.find(':');
            const auto frame = ParseWhole(v.substr(0, colon));
            const auto opening =
                colon == std::string_view::npos ? std::nullopt : ParseNumber(v.substr(colon + 1));
            if (!frame || *frame < 0 || *frame > INT32_MAX || !opening || *opening < 0.0 ||
                *opening > 2.0) {
                error_ =
                    "--set needs FRAME:OPENING, a frame 0 or more and an opening from 0 "
                    "to 2 (1 = 100 %) (got '" +
                    value + "')";
                return false;
            }
            options_.setKeys.emplace_back(static_cast<std::int32_t>(*frame),
                                          static_cast<float>(*opening));
            return true;
        }
        // A dash after the first character separates the frames ("-5" is not a frame).
        const auto dash = v.find('-', 1);
        const auto first = ParseWhole(v.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : ParseWhole(v.substr(dash + 1));
        if (!first || !last || *first < 0 || *last > INT32_MAX || *first > *last) {
            error_ =
                "--release needs FIRST-LAST, frames 0 or more with FIRST not after LAST (got '" +
                value + "')";
            return false;
        }
        options_.releaseRanges.emplace_back(static_cast<std::int32_t>(*first),
                                            static_cast<std::int32_t>(*last));
        return true;
    }

    bool Fps(const std::string& value) {
        const auto v = ParseNumber(value);
        if (!v || *v < 1.0 || *v > 100.0) {
            error_ = "--fps must be a number from 1 to 100 (got '" + value + "')";
            return false;
        }
        options_.fps = *v;
        options_.fpsGiven = true;
        return true;
    }

    bool Option(const std::string& arg) {
        const std::string name = arg.substr(0, arg.find('='));
        if (IsGuessOption(name)) return GuessOption(arg, name);
        if (options_.command == CliCommand::Export || options_.command == CliCommand::AutoKey ||
            options_.command == CliCommand::Shapes) {
            if (IsRigOption(name)) {
                std::string value;
                if (!TakeValue(arg, value)) return false;
                error_ = ApplyRigOption(options_, name, value);
                return error_.empty();
            }
        }
        if (options_.command == CliCommand::Convert) return ConvertOption(arg, name);
        if (options_.command == CliCommand::Shapes) return ShapesOption(arg, name);
        if (options_.command == CliCommand::Edit) return EditOption(arg, name);
        if (options_.command == CliCommand::AutoKey && name == "--drop-damaged") {
            return Flag(arg, name, options_.dropDamaged);
        }
        if (options_.command == CliCommand::AutoKey &&
            (name == "--shapes" || name == "--replace-hand-edits")) {
            if (name != arg) {
                error_ = "option " + name + " takes no value";
                return false;
            }
            (name == "--shapes" ? options_.guessShapes : options_.replaceHandEdits) = true;
            return true;
        }
        if (options_.command == CliCommand::AutoKey && (name == "--text" || name == "--language")) {
            std::string value;
            return TakeValue(arg, value) && ScriptOption(name, value);
        }
        if (options_.command == CliCommand::Export && name == "--shape-names") {
            std::string value;
            return TakeValue(arg, value) && ShapeNames(name, value);
        }
        if ((options_.command == CliCommand::AutoKey || options_.command == CliCommand::Export) &&
            IsKeyOutputOption(name)) {
            std::string value;
            return TakeValue(arg, value) && KeyOutputOption(name, value);
        }
        static const char* const kAutoKeyOptions[] = {
            "--fps",       "--from", "--to",  "--high-threshold", "--low-threshold", "--high-range",
            "--low-range", "--env",  "--vok", "--update"};
        bool known = false;
        if (options_.command == CliCommand::AutoKey) {
            for (const char* option : kAutoKeyOptions) known = known || name == option;
        }
        if (!known) {
            error_ = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (!TakeValue(arg, value)) return false;
        if (name == "--fps") return Fps(value);
        if (name == "--from" || name == "--to") {
            std::int32_t n = 0;
            if (!Whole(name, value, 0, INT32_MAX, n)) return false;
            (name == "--from" ? options_.from : options_.to) = n;
            return true;
        }
        if (name == "--high-threshold") return Whole(name, value, 0, 100, options_.highThreshold);
        if (name == "--low-threshold") return Whole(name, value, 0, 100, options_.lowThreshold);
        if (name == "--high-range") return Whole(name, value, 0, 150, options_.highRange);
        if (name == "--low-range") return Whole(name, value, 0, 150, options_.lowRange);
        if (value.empty()) return Empty(name);
        (name == "--env"   ? options_.envPath
         : name == "--vok" ? options_.vokPath
                           : options_.updatePath) = value;
        return true;
    }

    // An option without a value.
    bool Flag(const std::string& arg, const std::string& name, bool& flag) {
        if (name != arg) {
            error_ = "option " + name + " takes no value";
            return false;
        }
        flag = true;
        return true;
    }

    bool Empty(const std::string& name) {
        error_ = "option " + name + " needs a file name";
        return false;
    }

    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    CliOptions options_;
    std::string error_;
};

}  // namespace

CliParseResult ParseCliArguments(const std::vector<std::string>& args) {
    return Parser(args).Run();
}

ShapeOptions ShapeOptionsOf(const CliOptions& o) {
    ShapeOptions options;
    if (o.leadMs) options.leadMs = *o.leadMs;
    if (o.extendedShapes) options.extended = *o.extendedShapes;
    return options;
}

std::int32_t PresetForRate(double rate) {
    for (std::int32_t preset = 1; preset < kPresetCount; ++preset) {
        if (PresetFrameRate(preset, 0.0) == rate) return preset;
    }
    return 0;
}

}  // namespace vokra

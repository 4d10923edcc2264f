#include "cli/cli_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "document/vokra_doc.h"

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
            if (!options_.input.empty()) return Fail("unexpected argument '" + a + "'");
            options_.input = a;
        }
        if (options_.input.empty()) {
            switch (options_.command) {
                case CliCommand::AutoKey:
                    return Fail("autokey needs a sound file (SOUND.wav)");
                case CliCommand::Export:
                    return Fail("export needs a document (DOC.vok)");
                default:
                    return Fail("info needs a document (DOC.vok)");
            }
        }
        if (options_.mouths && options_.format != KeyFormat::Dat) {
            return Fail("--mouths applies only to --format dat");
        }
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

    // The options that choose how the keys are written, shared by export and autokey.
    static bool IsKeyOutputOption(const std::string& name) {
        return name == "-o" || name == "--output" || name == "--format" || name == "--mouths";
    }

    bool KeyOutputOption(const std::string& name, const std::string& value) {
        if (name == "--format") {
            options_.format = KeyFormatFromName(value);
            if (!options_.format) {
                error_ = "--format must be env, csv, json, ae or dat (got '" + value + "')";
                return false;
            }
            return true;
        }
        if (name == "--mouths") {
            MouthBandsParse parsed = ParseMouthBands(value);
            if (!parsed.error.empty()) {
                error_ = "--mouths: " + parsed.error;
                return false;
            }
            options_.mouths = std::move(parsed.bands);
            return true;
        }
        if (value.empty()) return Empty(name);
        options_.outputPath = value;
        return true;
    }

    bool Option(const std::string& arg) {
        const std::string name = arg.substr(0, arg.find('='));
        if ((options_.command == CliCommand::AutoKey || options_.command == CliCommand::Export) &&
            IsKeyOutputOption(name)) {
            std::string value;
            return TakeValue(arg, value) && KeyOutputOption(name, value);
        }
        static const char* const kAutoKeyOptions[] = {
            "--fps",       "--from", "--to", "--high-threshold", "--low-threshold", "--high-range",
            "--low-range", "--env",  "--vok"};
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
        if (name == "--fps") {
            const auto v = ParseNumber(value);
            if (!v || *v < 1.0 || *v > 100.0) {
                error_ = "--fps must be a number from 1 to 100 (got '" + value + "')";
                return false;
            }
            options_.fps = *v;
            return true;
        }
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
        (name == "--env" ? options_.envPath : options_.vokPath) = value;
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

std::int32_t PresetForRate(double rate) {
    for (std::int32_t preset = 1; preset < kPresetCount; ++preset) {
        if (PresetFrameRate(preset, 0.0) == rate) return preset;
    }
    return 0;
}

}  // namespace vokra

// The rhubarb-compatible command line. Animation tools (2D column lip-sync, dope-sheet editors,
// Blender add-ons) run a lip-sync program by a path the user sets and read what it prints: the
// cues on standard output or in -o's file, and with --machineReadable one JSON object per line
// of standard error. This file only translates those arguments and status lines; the mouths are
// guessed and written by `shapes`' own steps and writers, so the bytes are the same.
#include <charconv>
#include <cmath>
#include <ostream>
#include <sstream>

#include "cli/cli_messages.h"
#include "cli/cli_options.h"
#include "cli/cli_pipelines.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "document/key_export.h"
#include "platform/atomic_file.h"

namespace vokra {
namespace {

constexpr const char* kCompatibleVersion = "1.14.0";

// Event levels, in the order --consoleLevel and --logLevel name them.
enum class Level { Trace, Debug, Info, Warning, Error, Fatal };
constexpr const char* kLevelOptions[] = {"trace", "debug", "info", "warning", "error", "fatal"};
constexpr const char* kLevelNames[] = {"Trace", "Debug", "Info", "Warning", "Error", "Fatal"};

struct RhubarbArgs {
    std::string input;
    std::string output;
    std::string format = "tsv";
    std::string dialogFile;
    std::string language = "en-us";
    ShapeSet extended;  // GHX
    double datFrameRate = 24.0;
    bool prestonBlair = false;
    bool quiet = false;
    bool machineReadable = false;
    Level consoleLevel = Level::Error;
    std::string logFile;
    Level logLevel = Level::Debug;
    bool help = false;
    bool version = false;
};

std::optional<double> Number(const std::string& text) {
    double v = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || !(v == v)) return std::nullopt;
    return v;
}

class ArgsParser {
public:
    explicit ArgsParser(const std::vector<std::string>& args) : args_(args) {}

    // Empty when usable; else why not.
    std::string Run(RhubarbArgs& a) {
        for (i_ = 0; i_ < args_.size(); ++i_) {
            const std::string& arg = args_[i_];
            if (arg.size() < 2 || arg[0] != '-') {
                if (!a.input.empty()) {
                    return "Only one input file is allowed; got '" + a.input + "' and '" + arg +
                           "'.";
                }
                a.input = arg;
                continue;
            }
            const auto eq = arg.find('=');
            name_ = arg.substr(0, arg.rfind("--", 0) == 0 ? eq : std::string::npos);
            inline_ = arg.rfind("--", 0) == 0 && eq != std::string::npos
                          ? std::optional<std::string>(arg.substr(eq + 1))
                          : std::nullopt;
            if (const std::string why = Option(a); !why.empty()) return why;
        }
        if (a.help || a.version) return {};
        if (a.input.empty()) return "An input file is required: the recording to animate.";
        return {};
    }

private:
    bool Flag() const { return !inline_; }

    // The option's value, from "--name=value" or the next argument; none when missing.
    std::optional<std::string> Value() {
        if (inline_) return inline_;
        if (i_ + 1 >= args_.size()) return std::nullopt;
        return args_[++i_];
    }

    std::string Option(RhubarbArgs& a) {
        const std::string& n = name_;
        if (n == "-h" || n == "--help") return Set(a.help);
        if (n == "--version") return Set(a.version);
        if (n == "-q" || n == "--quiet") return Set(a.quiet);
        if (n == "--machineReadable") return Set(a.machineReadable);
        if (n == "--datUsePrestonBlair") return Set(a.prestonBlair);
        const bool known = n == "-o" || n == "--output" || n == "-f" || n == "--exportFormat" ||
                           n == "-d" || n == "--dialogFile" || n == "--extendedShapes" ||
                           n == "--datFrameRate" || n == "-r" || n == "--recognizer" ||
                           n == "--consoleLevel" || n == "--logFile" || n == "--logLevel" ||
                           n == "--threads" || n == "--language";
        if (!known) return "Unknown option '" + n + "'. Run with --help for the options.";
        const std::optional<std::string> v = Value();
        if (!v) return "Option " + n + " needs a value.";
        if (n == "-o" || n == "--output") return Path(*v, a.output);
        if (n == "-d" || n == "--dialogFile") return Path(*v, a.dialogFile);
        if (n == "--logFile") return Path(*v, a.logFile);
        if (n == "--language") {
            if (v->empty()) return "Option --language needs an espeak-ng voice name.";
            a.language = *v;
            return {};
        }
        if (n == "-f" || n == "--exportFormat") {
            if (*v != "tsv" && *v != "xml" && *v != "json" && *v != "dat") {
                return "Invalid value '" + *v + "' for " + n + ": one of tsv, xml, json, dat.";
            }
            a.format = *v;
            return {};
        }
        if (n == "--extendedShapes") {
            const std::optional<ShapeSet> set = ParseShapeSet(*v);
            if (!set) {
                return "Invalid value '" + *v +
                       "' for --extendedShapes: any of the letters G, H and X, or \"\".";
            }
            a.extended = *set;
            return {};
        }
        if (n == "--datFrameRate") {
            const auto rate = Number(*v);
            if (!rate || *rate < 1.0 || *rate > 1000.0) {
                return "Invalid value '" + *v + "' for --datFrameRate: a number from 1 to 1000.";
            }
            a.datFrameRate = *rate;
            return {};
        }
        if (n == "-r" || n == "--recognizer") {
            // Both recognizers mean Vokra's guess, which hears any language.
            if (*v != "pocketSphinx" && *v != "phonetic") {
                return "Invalid value '" + *v + "' for " + n + ": pocketSphinx or phonetic.";
            }
            return {};
        }
        if (n == "--threads") {
            const auto count = Number(*v);
            if (!count || *count < 1 || *count > 4096 || *count != std::floor(*count)) {
                return "Invalid value '" + *v + "' for --threads: a whole number from 1 to 4096.";
            }
            return {};
        }
        // --consoleLevel and --logLevel
        for (int l = 0; l < 6; ++l) {
            if (*v == kLevelOptions[l]) {
                (n == "--consoleLevel" ? a.consoleLevel : a.logLevel) = static_cast<Level>(l);
                return {};
            }
        }
        return "Invalid value '" + *v + "' for " + n +
               ": one of trace, debug, info, warning, error, fatal.";
    }

    std::string Set(bool& flag) {
        if (!Flag()) return "Option " + name_ + " takes no value.";
        flag = true;
        return {};
    }

    std::string Path(const std::string& value, std::string& path) {
        if (value.empty()) return "Option " + name_ + " needs a file name.";
        path = value;
        return {};
    }

    const std::vector<std::string>& args_;
    std::size_t i_ = 0;
    std::string name_;
    std::optional<std::string> inline_;
};

std::string Json(std::string_view text) {
    std::string s;
    AppendJsonString(s, text);
    return s;
}

// The status lines: JSON objects one per line with --machineReadable (the layout the calling
// tools split on ", " and ": "), else short sentences; and the log file's lines.
class Events {
public:
    Events(const RhubarbArgs& a, std::ostream& err) : a_(a), err_(err) {}

    void Start() {
        const std::string message = "Application startup. Input file: \"" + a_.input + "\".";
        Log(Level::Info, message);
        if (a_.machineReadable) {
            Line("{ \"type\": \"start\", \"file\": " + Json(a_.input) +
                 ", \"log\": " + LogObject(Level::Info, message) + " }");
        } else if (!a_.quiet) {
            err_ << "Generating lip sync data for " << a_.input << ".\n";
        }
    }

    void Progress(double value) {
        char digits[16];
        auto [end, ec] =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2);
        const std::string text(digits, ec == std::errc() ? end : digits);
        const std::string message =
            "Progress: " + std::to_string(static_cast<int>(value * 100.0 + 0.5)) + "%";
        Log(Level::Trace, message);
        if (a_.machineReadable) {
            Line("{ \"type\": \"progress\", \"value\": " + text +
                 ", \"log\": " + LogObject(Level::Trace, message) + " }");
        } else if (!a_.quiet) {
            err_ << message << "\n";
        }
    }

    // A message without structure (a word not heard, a recording converted).
    void Message(Level level, const std::string& message) {
        Log(level, message);
        if (level < a_.consoleLevel) return;
        if (a_.machineReadable) {
            Line("{ \"type\": \"log\", \"log\": " + LogObject(level, message) + " }");
        } else {
            err_ << kLevelNames[static_cast<int>(level)] << ": " << message << "\n";
        }
    }

    // The last event: first put in the log (before the log file is written), then printed.
    void Success(bool print) {
        const std::string message = "Application terminating normally.";
        if (!print) return Log(Level::Info, message);
        if (a_.machineReadable) {
            Line("{ \"type\": \"success\", \"log\": " + LogObject(Level::Info, message) + " }");
        } else if (!a_.quiet) {
            err_ << "Done.\n";
        }
    }

    void Failure(const std::string& reason, bool print = true) {
        const std::string message = "Application terminating with error: " + reason;
        if (!print) return Log(Level::Fatal, message);
        if (a_.machineReadable) {
            Line("{ \"type\": \"failure\", \"reason\": " + Json(reason) +
                 ", \"log\": " + LogObject(Level::Fatal, message) + " }");
        } else {
            err_ << "Error: " << reason << "\n";
        }
    }

    const std::string& LogText() const { return log_; }

private:
    static std::string LogObject(Level level, const std::string& message) {
        return std::string("{ \"level\": \"") + kLevelNames[static_cast<int>(level)] +
               "\", \"message\": " + Json(message) + " }";
    }
    void Line(const std::string& line) { err_ << line << "\n" << std::flush; }
    void Log(Level level, const std::string& message) {
        if (level < a_.logLevel) return;
        log_ += std::string("[") + kLevelNames[static_cast<int>(level)] + "] " + message + "\n";
    }

    const RhubarbArgs& a_;
    std::ostream& err_;
    std::string log_;
};

// What `shapes` said on standard error, one message per line without the tool's prefix.
std::vector<std::string> MessagesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("vokra-cli: ", 0) == 0) line.erase(0, 11);
        if (line.rfind("Usage:", 0) == 0) break;  // a usage error's synopsis is not ours
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& line : lines) s += (s.empty() ? "" : "\n") + line;
    return s;
}

// An output that would replace the recording, the dialog file or the other output: why, or empty.
std::string OutputClash(const RhubarbArgs& a) {
    const std::pair<const std::string*, const char*> outputs[] = {{&a.output, "output file"},
                                                                  {&a.logFile, "log file"}};
    for (const auto& [out, what] : outputs) {
        if (out->empty()) continue;
        for (const std::string* in : {&a.input, &a.dialogFile}) {
            if (!in->empty() && NameOneFile(*out, *in)) {
                return std::string("The ") + what + " " + *out + " would replace the input " + *in +
                       "; nothing was written.";
            }
        }
    }
    if (!a.output.empty() && !a.logFile.empty() && NameOneFile(a.output, a.logFile)) {
        return "The output file and the log file are one file (" + a.output +
               "); nothing was written.";
    }
    return {};
}

// `shapes` with the arguments translated; its exit status, what it said in `said`.
int RunShapesFor(const RhubarbArgs& a, std::ostream& out, std::string& said) {
    CliOptions o;
    o.command = CliCommand::Shapes;
    o.input = a.input;
    o.outputPath = a.output;
    o.shapeFormat = ShapeFormatFromName(a.format);
    o.fps = a.datFrameRate;
    o.extendedShapes = a.extended;
    if (a.prestonBlair) {
        o.shapeNames = DefaultMouthShapeNames();
    } else {
        MouthShapeNames letters;
        for (int s = 0; s < kMouthShapeCount; ++s)
            letters[static_cast<std::size_t>(s)] = std::string(1, "ABCDEFGHX"[s]);
        o.shapeNames = letters;
    }
    if (!a.dialogFile.empty()) {
        o.textPath = a.dialogFile;
        o.language = a.language;
    }
    std::ostringstream err;
    int code = kCliOk;
    {
        // The program's own messages are caught too, to be told as status lines.
        ScopedCliMessages messages(err);
        code = RunShapes(o, out, err);
    }
    said = err.str();
    return code;
}

}  // namespace

bool StartedAsRhubarb(const std::string& argv0) {
    const auto slash = argv0.rfind('/');
    const std::string name = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
    return name == "rhubarb";
}

std::string RhubarbHelp() {
    return "Usage: rhubarb [options] INPUT\n"
           "The rhubarb-compatible command line of vokra-cli (also: vokra-cli rhubarb ...):\n"
           "the mouth shapes A-H, X of a recording (WAV, Ogg and everything Vokra converts).\n\n"
           "  -o, --output FILE          write the result there (default: standard output)\n"
           "  -f, --exportFormat FORMAT  tsv (default), xml, json or dat\n"
           "  -d, --dialogFile FILE      the line's text, aligned to the voice\n"
           "      --language NAME        the dialog's espeak-ng language (default en-us)\n"
           "      --extendedShapes SET   the extended mouths the rig has (default GHX; \"\" for\n"
           "                             A-F alone)\n"
           "      --datFrameRate RATE    frames per second of dat (default 24)\n"
           "      --datUsePrestonBlair   dat names MBP, etc, E, AI, O, U, FV, L, rest\n"
           "  -r, --recognizer NAME      pocketSphinx or phonetic (both: Vokra's guess, any\n"
           "                             language)\n"
           "  -q, --quiet                no status lines unless something fails\n"
           "      --machineReadable      status lines as JSON objects, one per line\n"
           "      --consoleLevel LEVEL   least level of messages on standard error (trace,\n"
           "                             debug, info, warning, error (default), fatal)\n"
           "      --logFile FILE         also write the messages to FILE\n"
           "      --logLevel LEVEL       least level of the log file (default debug)\n"
           "      --threads N            accepted; one line is keyed on one thread\n"
           "      --version              the version\n"
           "  -h, --help                 this help\n"
           "Exit status 0 on success, 1 when the recording cannot be keyed or an argument is\n"
           "wrong.\n";
}

int RunRhubarb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    RhubarbArgs a;
    const std::string problem = ArgsParser(args).Run(a);
    // The status lines' form is known even when the rest of the line is wrong: a caller that
    // reads JSON gets a failure it can parse.
    for (const std::string& arg : args) a.machineReadable |= arg == "--machineReadable";
    Events events(a, err);
    if (!problem.empty()) {
        events.Failure(problem);
        return kCliFileError;
    }
    if (a.help) {
        out << RhubarbHelp();
        return kCliOk;
    }
    if (a.version) {
        const std::string version = CliVersionText();
        out << version.substr(0, version.find('\n')) << ", rhubarb-compatible command line version "
            << kCompatibleVersion << "\n";
        return kCliOk;
    }

    events.Start();
    events.Progress(0.0);
    int code = kCliOk;
    std::string said;
    // A clash leaves every file as it was, the log file too (it may be the one that clashes).
    const std::string clash = OutputClash(a);
    if (!clash.empty()) {
        said = clash;
        code = kCliFileError;
    } else {
        code = RunShapesFor(a, out, said);
    }
    const std::vector<std::string> messages = MessagesOf(said);
    std::string reason;
    if (code == kCliOk) {
        for (const std::string& message : messages) events.Message(Level::Warning, message);
        events.Progress(1.0);
        events.Success(false);
    } else {
        reason = "Error processing file \"" + a.input + "\".\n" +
                 (messages.empty() ? std::string("It could not be keyed.") : Joined(messages));
        events.Failure(reason, false);
    }
    std::string why;
    if (!a.logFile.empty() && clash.empty() &&
        !WriteFileAtomically(a.logFile, events.LogText(), &why)) {
        code = kCliFileError;
        reason = "Could not write the log file " + a.logFile + ": " + why;
    }
    if (code == kCliOk) {
        events.Success(true);
    } else {
        events.Failure(reason);
    }
    return code == kCliOk ? kCliOk : kCliFileError;
}

}  // namespace vokra

// The tools that run a lip-sync program by a path the user sets, run against vokra-cli under the
// name `rhubarb` with the exact arguments each sends, their output read the way each reads it:
// - OpenToonz and Tahoma2D (Apply Auto Lip-Sync): -o DAT -f dat --datUsePrestonBlair [-d SCRIPT]
//   --datFrameRate FPS --machineReadable AUDIO; each chunk of standard error is squeezed, its
//   quotes dropped and split on ", " and ": " for the type, the progress value and a failure's
//   reason; the dat file's "FRAME NAME" lines are kept when the frame is a number and the name is
//   not, names read in lower case as Preston Blair's.
// - Papagayo-NG (its Rhubarb recognizer): AUDIO --machineReadable -f json; every line of standard
//   error is parsed as JSON until one has the type success or failure, then standard output is
//   read line by line up to a line "}" and parsed for mouthCues.
// - The Blender add-on: -f json --machineReadable --extendedShapes GHX -r RECOGNIZER AUDIO
//   [--dialogFile SCRIPT] (options after the input); the whole of standard output is parsed as
//   JSON for mouthCues with start and value.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "shapes/script_phonemes.h"
#include "tests/cli/cli_process_run.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

const char kLine[] = "Bring the blue box to my mother, and then go home.";

enum class Reader { ToonzDat, PapagayoJson, BlenderJson };

struct CallerCase {
    const char* name;
    std::vector<std::string> args;  // {wav}, {ogg}, {dat}, {dialog}, {missing} filled in
    Reader reader;
    int exit;  // 0, or 1 for a run that must fail the caller's way
};

// OpenToonz's reading of one chunk of standard error: its type, progress value and reason.
struct ToonzEvent {
    std::string type, second;
};
ToonzEvent ToonzRead(std::string chunk) {
    // QString::simplified, then the replacements and the split the popup makes.
    std::string squeezed;
    for (const char ch : chunk) {
        const bool space = std::isspace(static_cast<unsigned char>(ch)) != 0;
        if (!space)
            squeezed += ch;
        else if (!squeezed.empty() && squeezed.back() != ' ')
            squeezed += ' ';
    }
    if (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    chunk = squeezed;
    const auto replace = [&](const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = chunk.find(from, at)) != std::string::npos; at += to.size())
            chunk.replace(at, from.size(), to);
    };
    replace("\\n", "\n");
    replace("\\\\", "\\");
    replace("\\\"", "");
    replace("\"", "");
    std::vector<std::string> list;
    const std::string body = chunk.size() >= 4 ? chunk.substr(2, chunk.size() - 4) : "";
    for (std::size_t at = 0; at <= body.size();) {
        const auto next = std::min(body.find(", ", at), body.size());
        if (next > at) list.push_back(body.substr(at, next - at));
        at = next + 2;
    }
    const auto valueOf = [](const std::string& entry) {
        const auto colon = entry.find(": ");
        return colon == std::string::npos ? std::string("<none>") : entry.substr(colon + 2);
    };
    ToonzEvent e;
    if (!list.empty()) e.type = valueOf(list[0]);
    if (list.size() > 1) e.second = valueOf(list[1]);
    return e;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Stripped(std::string s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

class CliCallers : public ::testing::TestWithParam<CallerCase> {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        // espeak-ng speaks the line, with a little noise, a rest before and after.
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 160;
        o.speech = &speech;
        ASSERT_TRUE(PhonemesOfScript(kLine, "en-us+m3", o).ok());
        std::vector<std::int16_t> samples(kScriptSpeechRate / 2, 0);
        samples.insert(samples.end(), speech.begin(), speech.end());
        samples.insert(samples.end(), kScriptSpeechRate / 2, 0);
        std::mt19937 noise(5);
        std::uniform_int_distribution<int> hiss(-60, 60);
        for (std::int16_t& s : samples)
            s = static_cast<std::int16_t>(std::clamp(s + hiss(noise), -32768, 32767));
        test::WriteFile(dir_->File("line.wav"), test::MakeWav16(samples, kScriptSpeechRate));
        ASSERT_TRUE(test::WriteSoundFile(
            dir_->File("line.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, kScriptSpeechRate, 1,
            static_cast<std::int64_t>(samples.size()),
            [&](std::int64_t f, int) { return samples[static_cast<std::size_t>(f)] / 32768.0f; }));
        test::WriteFile(dir_->File("script.txt"), kLine);
        // The program the callers run: vokra-cli under the name `rhubarb`.
        ASSERT_EQ(::symlink(VOKRA_CLI_PATH, dir_->File("rhubarb").c_str()), 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::vector<std::string> Filled(std::vector<std::string> args) {
        const std::pair<const char*, std::string> names[] = {{"{wav}", dir_->File("line.wav")},
                                                             {"{ogg}", dir_->File("line.ogg")},
                                                             {"{dat}", dir_->File("out/temp.dat")},
                                                             {"{dialog}", dir_->File("script.txt")},
                                                             {"{missing}", dir_->File("none.wav")}};
        for (std::string& a : args)
            for (const auto& [name, path] : names)
                if (a == name) a = path;
        return args;
    }

    static test::TempDir* dir_;
};
test::TempDir* CliCallers::dir_ = nullptr;

TEST_P(CliCallers, ArgumentsAndOutputAsTheCallerReadsThem) {
    const CallerCase& c = GetParam();
    ::mkdir(dir_->File("out").c_str(), 0755);
    ::unlink(dir_->File("out/temp.dat").c_str());
    const test::CliRun r = test::RunProcess(*dir_, dir_->File("rhubarb"), Filled(c.args));
    ASSERT_EQ(r.exit, c.exit) << r.err;

    if (c.reader == Reader::ToonzDat) {
        // Every status line as the popup reads it.
        std::vector<ToonzEvent> events;
        for (const std::string& line : Lines(r.err)) events.push_back(ToonzRead(line));
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front().type, "start");
        for (const ToonzEvent& e : events) {
            if (e.type != "progress") continue;
            const double value = std::stod(e.second);
            EXPECT_TRUE(value >= 0.0 && value <= 1.0) << e.second;
        }
        if (c.exit != 0) {
            EXPECT_EQ(events.back().type, "failure");
            EXPECT_NE(events.back().second.find("none.wav"), std::string::npos) << r.err;
            return;
        }
        EXPECT_EQ(events.back().type, "success") << r.err;
        // The dat file, as the popup keeps its lines.
        std::vector<std::pair<int, std::string>> kept;
        for (const std::string& line : Lines(test::ReadFile(dir_->File("out/temp.dat")))) {
            std::istringstream in(line);
            std::string frame, name, extra;
            if (!(in >> frame >> name) || (in >> extra)) continue;
            if (frame.find_first_not_of("0123456789") != std::string::npos) continue;
            if (name.find_first_not_of("0123456789") == std::string::npos) continue;
            kept.emplace_back(std::stoi(frame), name);
        }
        ASSERT_GT(kept.size(), 2u);
        std::set<std::string> used;
        for (const auto& [frame, name] : kept) {
            std::string lower = name;
            for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
            static const std::set<std::string> known = {"ai",  "e",  "o",     "u",   "fv",  "l",
                                                        "mbp", "wq", "other", "etc", "rest"};
            EXPECT_TRUE(known.count(lower)) << name;
            used.insert(lower);
        }
        EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
        EXPECT_GE(used.size(), 3u) << "a spoken line opens the mouth more than one way";
        return;
    }

    std::vector<nlohmann::json> cues;
    if (c.reader == Reader::PapagayoJson) {
        std::string last;
        for (const std::string& line : Lines(r.err)) {
            const nlohmann::json event = nlohmann::json::parse(Stripped(line), nullptr, false);
            ASSERT_FALSE(event.is_discarded()) << "not JSON: " << line;
            if (event.contains("value")) {
                EXPECT_TRUE(event["value"].is_number()) << line;
            }
            last = event.value("type", "");
            if (last == "success" || last == "failure") break;
        }
        if (c.exit != 0) {
            EXPECT_EQ(last, "failure") << r.err;
            return;
        }
        ASSERT_EQ(last, "success") << r.err;
        std::string result;
        bool closed = false;
        for (const std::string& line : Lines(r.out)) {
            result += Stripped(line);
            if (Stripped(line) == "}") {
                closed = true;
                break;
            }
        }
        ASSERT_TRUE(closed) << "the result has no line '}' to stop reading at";
        const nlohmann::json parsed = nlohmann::json::parse(result);
        cues = parsed.at("mouthCues").get<std::vector<nlohmann::json>>();
    } else {
        const nlohmann::json parsed = nlohmann::json::parse(r.out);
        cues = parsed.at("mouthCues").get<std::vector<nlohmann::json>>();
    }
    ASSERT_GT(cues.size(), 3u);
    double start = -1.0;
    std::set<std::string> used;
    for (const nlohmann::json& cue : cues) {
        EXPECT_GT(cue.at("start").get<double>(), start);
        start = cue.at("start").get<double>();
        EXPECT_LT(start, cue.at("end").get<double>());
        const std::string value = cue.at("value").get<std::string>();
        EXPECT_TRUE(value.size() == 1 && std::string("ABCDEFGHX").find(value) != std::string::npos)
            << value;
        used.insert(value);
    }
    EXPECT_GE(used.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliCallers,
    ::testing::Values(CallerCase{"OpenToonzWithScript",
                                 {"-o", "{dat}", "-f", "dat", "--datUsePrestonBlair", "-d",
                                  "{dialog}", "--datFrameRate", "24", "--machineReadable", "{wav}"},
                                 Reader::ToonzDat,
                                 0},
                      CallerCase{"Tahoma2DWithoutScript",
                                 {"-o", "{dat}", "-f", "dat", "--datUsePrestonBlair",
                                  "--datFrameRate", "30", "--machineReadable", "{ogg}"},
                                 Reader::ToonzDat,
                                 0},
                      CallerCase{"OpenToonzMissingSound",
                                 {"-o", "{dat}", "-f", "dat", "--datUsePrestonBlair",
                                  "--datFrameRate", "24", "--machineReadable", "{missing}"},
                                 Reader::ToonzDat,
                                 1},
                      CallerCase{"PapagayoNg",
                                 {"{wav}", "--machineReadable", "-f", "json"},
                                 Reader::PapagayoJson,
                                 0},
                      CallerCase{"PapagayoNgUnknownOption",
                                 {"{wav}", "--machineReadable", "-f", "json", "--noSuchOption"},
                                 Reader::PapagayoJson,
                                 1},
                      CallerCase{"BlenderAddonWithDialog",
                                 {"-f", "json", "--machineReadable", "--extendedShapes", "GHX",
                                  "-r", "pocketSphinx", "{wav}", "--dialogFile", "{dialog}"},
                                 Reader::BlenderJson,
                                 0},
                      CallerCase{"BlenderAddonPhonetic",
                                 {"-f", "json", "--machineReadable", "--extendedShapes", "GHX",
                                  "-r", "phonetic", "{ogg}"},
                                 Reader::BlenderJson,
                                 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The cues are the bytes `shapes` writes, under either name, to standard output or to -o.
TEST(CliCallers_Bytes, SameAsShapesInEveryFormat) {
    test::TempDir dir;
    test::WriteFile(dir.File("v.wav"), test::MakeWav16(test::VoiceLike(2.5), 22050));
    ASSERT_EQ(::symlink(VOKRA_CLI_PATH, dir.File("rhubarb").c_str()), 0);
    const std::string wav = dir.File("v.wav");
    struct Pair {
        std::vector<std::string> rhubarb, shapes;
    };
    const Pair pairs[] = {
        {{wav}, {"shapes", wav}},
        {{"-f", "xml", wav, "-q"}, {"shapes", wav, "--format", "xml"}},
        {{"--exportFormat=json", wav}, {"shapes", wav, "--format", "json"}},
        {{"-f", "dat", "--datUsePrestonBlair", wav},
         {"shapes", wav, "--format", "dat", "--fps", "24"}},
        {{"-f", "tsv", "--extendedShapes", "", wav}, {"shapes", wav, "--extended-shapes", ""}},
    };
    for (const Pair& p : pairs) {
        const test::CliRun want = test::RunCliProcess(dir, p.shapes);
        ASSERT_EQ(want.exit, 0) << want.err;
        const test::CliRun linked = test::RunProcess(dir, dir.File("rhubarb"), p.rhubarb);
        EXPECT_EQ(linked.exit, 0) << linked.err;
        EXPECT_EQ(linked.out, want.out) << p.rhubarb.front();
        std::vector<std::string> sub = p.rhubarb;
        sub.insert(sub.begin(), "rhubarb");
        EXPECT_EQ(test::RunCliProcess(dir, sub).out, want.out);
        std::vector<std::string> toFile = p.rhubarb;
        toFile.insert(toFile.begin(), {"-o", dir.File("o.txt")});
        EXPECT_EQ(test::RunProcess(dir, dir.File("rhubarb"), toFile).exit, 0);
        EXPECT_EQ(test::ReadFile(dir.File("o.txt")), want.out);
    }
    // dat without Preston Blair's names: the letters.
    const test::CliRun letters = test::RunProcess(dir, dir.File("rhubarb"), {"-f", "dat", wav});
    EXPECT_EQ(letters.out.find("rest"), std::string::npos);
    EXPECT_NE(letters.out.find(" X\n"), std::string::npos) << letters.out;
}

// What the caller is told when the command line or the files are wrong: a message, exit 1, and
// no file replaced.
TEST(CliCallers_Refusals, MessageExitOneNothingReplaced) {
    test::TempDir dir;
    test::WriteFile(dir.File("v.wav"), test::MakeWav16(test::VoiceLike(1.0), 22050));
    test::WriteFile(dir.File("s.txt"), "hello");
    const std::string wav = dir.File("v.wav");
    const std::string original = test::ReadFile(wav);
    const std::vector<std::vector<std::string>> cases = {
        {"rhubarb", "--bogus", wav},
        {"rhubarb", "-f", "csv", wav},
        {"rhubarb", "-r", "whisper", wav},
        {"rhubarb", "--threads", "0", wav},
        {"rhubarb", "-o", wav, wav},
        {"rhubarb", "-d", dir.File("s.txt"), "-o", dir.File("s.txt"), wav},
        {"rhubarb", "--logFile", wav, wav},
        {"rhubarb", wav, wav},
        {"rhubarb"},
    };
    for (const auto& args : cases) {
        const test::CliRun r = test::RunCliProcess(dir, args);
        EXPECT_EQ(r.exit, 1) << args[1];
        EXPECT_NE(r.err.find("Error: "), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(test::ReadFile(wav), original);
    EXPECT_EQ(test::ReadFile(dir.File("s.txt")), "hello");
    // --help and --version answer on standard output, exit 0.
    EXPECT_EQ(test::RunCliProcess(dir, {"rhubarb", "-h"}).exit, 0);
    const test::CliRun v = test::RunCliProcess(dir, {"rhubarb", "--version"});
    EXPECT_EQ(v.exit, 0);
    EXPECT_NE(v.out.find("version 1.14.0"), std::string::npos) << v.out;
}

}  // namespace
}  // namespace vokra

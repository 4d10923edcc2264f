// vokra-cli run as a separate process: outputs, exit codes and messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "document/key_export.h"
#include "platform/licence.h"
#include "tests/cli/cli_process_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::Le16;
using test::Le32;
using test::ReadFile;
using test::WriteFile;

using Result = test::CliRun;

class CliProcess : public ::testing::Test {
protected:
    Result Run(std::vector<std::string> args) { return test::RunCliProcess(dir_, std::move(args)); }

    // One second of silence, then one second of a steady full tone, at 22050 samples per second.
    std::string SilenceThenTone() {
        std::vector<std::int16_t> samples(44100, 0);
        for (std::size_t i = 22050; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(i % 2 ? 12000 : -12000);
        }
        const std::string path = dir_.File("voice.wav");
        WriteFile(path, test::MakeWav16(samples, 22050));
        return path;
    }

    static std::vector<std::string> Lines(const std::string& text, const std::string& eol) {
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < text.size()) {
            const auto end = text.find(eol, at);
            if (end == std::string::npos) {
                lines.push_back(text.substr(at));
                break;
            }
            lines.push_back(text.substr(at, end - at));
            at = end + eol.size();
        }
        return lines;
    }

    // A document file put together byte by byte.
    static std::string Str(const std::string& s) {
        return std::string(1, static_cast<char>(s.size())) + s;
    }
    static std::string F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return Le32(static_cast<std::uint32_t>(bits)) +
               Le32(static_cast<std::uint32_t>(bits >> 32));
    }
    static std::string F32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return Le32(bits);
    }
    static std::string Doc(double rate, std::int32_t preset, double custom,
                           const std::vector<std::pair<std::int32_t, float>>& keys,
                           const std::string& soundDir, const std::string& soundName) {
        std::string b = Str("Vokra version 1 Copyright 1998 Quorvendale") + F64(rate) +
                        Le32(static_cast<std::uint32_t>(preset)) + F64(custom) +
                        Le32(static_cast<std::uint32_t>(keys.size()));
        for (const auto& [frame, opening] : keys) {
            b += Le32(1) + Le32(static_cast<std::uint32_t>(frame)) + F32(opening);
        }
        return b + Str(soundDir) + Str(soundName) + Str("") + Str("");
    }

    test::TempDir dir_;
};

TEST_F(CliProcess, AutoKeyWritesTheEnvelopeToStandardOutput) {
    const Result r = Run({"autokey", SilenceThenTone(), "--fps", "25"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out, "\r\n");
    // 2 seconds at 25 frames per second: frames 0 to 50, one key each.
    ASSERT_EQ(lines.size(), 4u + 2 * 51);
    EXPECT_EQ(lines[0], "LWEN");
    EXPECT_EQ(lines[1], "1");
    EXPECT_EQ(lines[2], "1");
    EXPECT_EQ(lines[3], "51");
    for (int f = 0; f <= 50; ++f) {
        const std::string expected = f < 25 || f == 50 ? "0.000" : "1.000";
        EXPECT_EQ(lines[4 + 2 * f], expected) << "frame " << f;
        EXPECT_EQ(lines[5 + 2 * f], std::to_string(f) + " 1 0 0 0");
    }
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
}

TEST_F(CliProcess, RuleOptionsAndRangeShapeTheKeys) {
    const Result r = Run({"autokey", SilenceThenTone(), "--fps=30", "--from", "28", "--to", "31",
                          "--high-threshold", "50", "--low-threshold", "10", "--high-range", "120",
                          "--low-range", "20"});
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto lines = Lines(r.out, "\r\n");
    ASSERT_EQ(lines.size(), 4u + 2 * 4);
    EXPECT_EQ(lines[3], "4");
    EXPECT_EQ(lines[4], "0.200");  // frame 28: silence
    EXPECT_EQ(lines[5], "28 1 0 0 0");
    EXPECT_EQ(lines[10], "1.200");  // frame 31: tone
    EXPECT_EQ(lines[11], "31 1 0 0 0");
}

TEST_F(CliProcess, EnvelopeAndDocumentFilesMatchWhatTheProgramWrites) {
    const std::string wav = SilenceThenTone();
    const std::string env = dir_.File("out.env");
    const std::string vok = dir_.File("out.vok");
    const Result toStdout = Run({"autokey", wav, "--fps", "23.976"});
    const Result r = Run({"autokey", wav, "--fps", "23.976", "--env", env, "--vok", vok});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(env), toStdout.out);

    const Result info = Run({"info", vok});
    ASSERT_EQ(info.exit, 0) << info.err;
    const auto lines = Lines(info.out, "\n");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "frame rate: 23.976");
    EXPECT_EQ(lines[1], "preset: 0");
    EXPECT_EQ(lines[2], "custom rate: 23.976");
    EXPECT_EQ(lines[3], "sound folder: " + dir_.Path());
    EXPECT_EQ(lines[4], "sound file: voice.wav");
    EXPECT_EQ(lines[5], "envelope folder: " + dir_.Path());
    EXPECT_EQ(lines[6], "envelope file: out.env");
    EXPECT_EQ(lines[7], "keys: 48");  // trunc(47.952) + 0.5 -> frames 0 to 47

    const Result exported = Run({"export", vok});
    ASSERT_EQ(exported.exit, 0) << exported.err;
    EXPECT_EQ(exported.out, toStdout.out);
    const std::string again = dir_.File("again.env");
    EXPECT_EQ(Run({"export", vok, "-o", again}).exit, 0);
    EXPECT_EQ(ReadFile(again), toStdout.out);
}

TEST_F(CliProcess, DocumentWithoutEnvelopeRecordsNoEnvelopeAndAStandardPreset) {
    const std::string vok = dir_.File("plain.vok");
    ASSERT_EQ(Run({"autokey", SilenceThenTone(), "--fps", "25", "--vok", vok}).exit, 0);
    const Result info = Run({"info", vok});
    const auto lines = Lines(info.out, "\n");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "frame rate: 25");
    EXPECT_EQ(lines[1], "preset: 9");
    EXPECT_EQ(lines[2], "custom rate: 15");
    EXPECT_EQ(lines[5], "envelope folder:");
    EXPECT_EQ(lines[6], "envelope file:");
}

TEST_F(CliProcess, InfoPrintsTheDocumentAfterTheProgramsReadingRules) {
    const std::string vok = dir_.File("line1.vok");
    // Preset 9 with a custom rate of 33 in the file: the custom rate shown is the default.
    WriteFile(vok, Doc(25.0, 9, 33.0, {{12, 0.333f}, {0, 0.0f}}, "/home/ann/voices", "line1.wav"));
    const Result r = Run({"info", vok});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "frame rate: 25\n"
              "preset: 9\n"
              "custom rate: 15\n"
              "sound folder: /home/ann/voices\n"
              "sound file: line1.wav\n"
              "envelope folder:\n"
              "envelope file:\n"
              "keys: 2\n"
              "0 0\n"
              "12 0.333\n"
              "hand-made keys: 0\n"
              "shapes: 0\n"
              "hand-set shapes: 0\n"
              "script: none\n");
    EXPECT_EQ(r.err, "");  // the sound is not looked for
}

TEST_F(CliProcess, ExportWritesTheKeysOfADocument) {
    const std::string vok = dir_.File("k.vok");
    WriteFile(vok, Doc(15.0, 7, 15.0, {{0, 0.0f}, {5, 1.0f}, {12, 0.333f}}, "", ""));
    const Result r = Run({"export", vok});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "LWEN\r\n1\r\n1\r\n3\r\n0.000\r\n0 1 0 0 0\r\n1.000\r\n5 1 0 0 0\r\n0.333\r\n"
              "12 1 0 0 0\r\n");
}

struct FailureCase {
    const char* name;
    const char* command;  // "autokey" with a WAV, "info"/"export" with a document
    std::string bytes;    // the input file's contents
    const char* message;
};

class CliProcess_Failures : public CliProcess, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliProcess_Failures, ExitOneWithTheProgramsMessage) {
    const FailureCase& c = GetParam();
    const std::string input = dir_.File("input");
    WriteFile(input, c.bytes);
    const Result r = Run({c.command, input});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
}

test::WavFormat UnknownCodec() {
    test::WavFormat f;
    f.formatTag = 0x7A7A;
    f.channels = 2;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProcess_Failures,
    ::testing::Values(
        FailureCase{"NotAWave", "autokey", "RIFF\4\0\0\0AVI ",
                    "This is not an audio waveform file."},
        // A format neither the loader nor the converter reads keeps the loader's message.
        FailureCase{
            "UnknownCodec", "autokey",
            test::WavBuilder().Fmt(UnknownCodec()).Data16(std::vector<std::int16_t>(20000)).Build(),
            "Wavefile format is not supported by this program."},
        FailureCase{"TooShort", "autokey", test::MakeWav16(std::vector<std::int16_t>(100), 8000),
                    "sound data is too short."},
        FailureCase{"WrongHeader", "info", "\x2Avokra version 1 Copyright 1998 Quorvendale",
                    "File contents are not a valid Vokra document."},
        FailureCase{"Truncated", "export",
                    std::string("\x2AVokra version 1 Copyright 1998 Quorvendale") + "\0\0",
                    "/input: Unexpected file format.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProcess, MissingFilesAndUnwritableOutputsExitOne) {
    Result r = Run({"autokey", dir_.File("none.wav")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "vokra-cli: Failed to open file\n");
    r = Run({"info", dir_.File("none.vok")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("Cannot find this file."), std::string::npos);

    const std::string unwritable = dir_.File("no/such/folder/out.env");
    r = Run({"autokey", SilenceThenTone(), "--env", unwritable});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "vokra-cli: Could not open/create file " + unwritable +
                         "\nvokra-cli: The folder does not exist.\n");
}

// Every message carries the tool's name, whichever way the keys go out.
TEST_F(CliProcess, MessagesKeepTheirPrefixWithAnOutputFile) {
    const std::string doc = dir_.File("doc.vok");
    ASSERT_EQ(Run({"autokey", SilenceThenTone(), "--vok", doc}).exit, 0);
    const std::string unwritable = dir_.File("no/such/folder/out.csv");
    const Result r = Run({"export", doc, "--format", "csv", "-o", unwritable});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "vokra-cli: Could not open/create file " + unwritable +
                         "\nvokra-cli: The folder does not exist.\n");
}

TEST_F(CliProcess, UsageErrorsExitTwoWithAReasonAndTheUsage) {
    Result r = Run({"autokey", "x.wav", "--bogus"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "vokra-cli: unknown option '--bogus'");
    EXPECT_NE(r.err.find("Usage: vokra-cli autokey SOUND"), std::string::npos);

    // Checked once the sound tells how long the timeline is: 2 s at 25 fps ends at frame 50.
    r = Run({"autokey", SilenceThenTone(), "--fps", "25", "--to", "51"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--to 51 is past the last frame of the timeline (50)"), std::string::npos);
    r = Run({"autokey", SilenceThenTone(), "--fps", "25", "--from", "51"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(Run({"autokey", SilenceThenTone(), "--fps", "25", "--to", "50"}).exit, 0);
}

TEST_F(CliProcess, HelpDescribesEveryOptionAndVersionIsOnePointZero) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* option : {"--fps",
                               "--from",
                               "--to",
                               "--high-threshold",
                               "--low-threshold",
                               "--high-range",
                               "--low-range",
                               "--env",
                               "--vok",
                               "-o",
                               "--format",
                               "--mouths",
                               "--rate",
                               "--channel",
                               "--version",
                               "shapes",
                               "--update",
                               "--shapes",
                               "--replace-hand-edits",
                               "edit",
                               "--set",
                               "--release",
                               "--shape-names"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const Result version = Run({"--version"});
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out,
              "vokra-cli 1.0.0\n" + std::string(kCopyrightLine) + "\n" + kLicenceLines);
}

// The manual page is made from --help: its maker takes "Usage:" and the indented lines after it
// as the synopsis, one line each. A lower-case "usage:" ran the seven commands into one paragraph.
TEST_F(CliProcess, HelpUsageGivesTheManualPageOneSynopsisLinePerCommand) {
    const std::string help = Run({"--help"}).out;
    const auto start = help.find("\nUsage: vokra-cli autokey SOUND");
    ASSERT_NE(start, std::string::npos) << help;
    const auto end = help.find("\n\n", start + 1);
    const std::vector<std::string> lines = Lines(help.substr(start + 1, end - start - 1), "\n");
    int commands = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            // Indented and not an option line: the maker keeps it as a line of the synopsis.
            ASSERT_GT(lines[i].size(), 7u);
            EXPECT_EQ(lines[i][0], ' ') << lines[i];
            EXPECT_NE(lines[i][lines[i].find_first_not_of(' ')], '-') << lines[i];
        }
        commands += lines[i].find("vokra-cli ") != std::string::npos;
    }
    EXPECT_EQ(commands, 10);  // with batch, rhubarb and live
}

// Every format of export: the same text on standard output and in the file of -o, the one the
// program's writer makes of the document.
struct FormatCase {
    const char* name;
    std::vector<std::string> options;
    KeyFormat format;
    const char* mouths;
};

class CliProcess_Formats : public CliProcess, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(CliProcess_Formats, ExportWritesTheProgramsText) {
    const std::vector<std::pair<std::int32_t, float>> keys = {{0, 0.0f}, {3, 0.75f}, {9, 0.2f}};
    const std::string vok = dir_.File("d.vok");
    WriteFile(vok, Doc(24.0, 8, 15.0, keys, "/voices", "line.wav"));
    KeyframeList list;
    for (const auto& [frame, opening] : keys) list.SetKey(Keyframe(frame, opening));
    KeyExportInfo info;
    info.frameRate = 24.0;
    info.soundPath = "/voices/line.wav";
    info.mouths = ParseMouthBands(GetParam().mouths).bands;
    std::ostringstream expected;
    ASSERT_TRUE(WriteKeys(GetParam().format, list, info, expected));

    std::vector<std::string> args = {"export", vok};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    const Result r = Run(args);
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected.str());
    args.insert(args.end(), {"-o", dir_.File("keys.out")});
    ASSERT_EQ(Run(args).exit, 0);
    EXPECT_EQ(ReadFile(dir_.File("keys.out")), expected.str());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProcess_Formats,
    ::testing::Values(FormatCase{"default_env", {}, KeyFormat::Env, "AI"},
                      FormatCase{"env", {"--format", "env"}, KeyFormat::Env, "AI"},
                      FormatCase{"csv", {"--format", "csv"}, KeyFormat::Csv, "AI"},
                      FormatCase{"json", {"--format=json"}, KeyFormat::Json, "AI"},
                      FormatCase{"ae", {"--format", "ae"}, KeyFormat::Ae, "AI"},
                      FormatCase{
                          "dat", {"--format", "dat"}, KeyFormat::Dat, "rest:0.1,etc:0.3,E:0.55,AI"},
                      FormatCase{"dat_mouths",
                                 {"--format", "dat", "--mouths", "shut:0.5,open"},
                                 KeyFormat::Dat,
                                 "shut:0.5,open"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProcess, AutoKeyWritesTheChosenFormatBesideItsFiles) {
    const std::string env = dir_.File("k.env");
    const Result r =
        Run({"autokey", SilenceThenTone(), "--fps", "25", "--format", "csv", "--env", env});
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto lines = Lines(r.out, "\n");
    ASSERT_EQ(lines.size(), 52u);
    EXPECT_EQ(lines[0], "frame,time,opening");
    EXPECT_EQ(lines[1], "0,0,0");
    EXPECT_EQ(lines[50], "49,1.96,1");
    EXPECT_EQ(ReadFile(env).substr(0, 12), "LWEN\r\n1\r\n1\r\n");
}

TEST_F(CliProcess, NumbersIgnoreTheLocaleOfTheEnvironment) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const Result r = Run({"autokey", SilenceThenTone(), "--fps", "29.97", "--to", "0"});
    unsetenv("LC_ALL");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "LWEN\r\n1\r\n1\r\n1\r\n0.000\r\n0 1 0 0 0\r\n");
}

// The line of `info` for one frame's key ("30 1.5 hand"), empty when the frame has none.
std::string KeyLine(const std::string& info, const std::string& frame) {
    const auto at = info.find("\n" + frame + " ");
    if (at == std::string::npos) return {};
    return info.substr(at + 1, info.find('\n', at + 1) - at - 1);
}

TEST_F(CliProcess, EditThenUpdateKeepsTheHandMadeKeysOfTheDocument) {
    const std::string vok = dir_.File("line.vok");
    ASSERT_EQ(Run({"autokey", SilenceThenTone(), "--fps", "25", "--vok", vok, "--shapes"}).exit, 0);
    EXPECT_NE(Run({"info", vok}).out.find("hand-made keys: 0\nshapes: 50\n"), std::string::npos);

    Result r = Run({"edit", vok, "--set", "30:1.5", "--set=5:0.25"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(KeyLine(Run({"info", vok}).out, "30"), "30 1.5 hand");

    // A new take, half as loud: the rest is keyed again, the hand-made keys stay.
    std::vector<std::int16_t> take(44100, 0);
    for (std::size_t i = 11025; i < take.size(); ++i) take[i] = i % 2 ? 6000 : -6000;
    const std::string take2 = dir_.File("take2.wav");
    WriteFile(take2, test::MakeWav16(take, 22050));
    r = Run({"autokey", take2, "--update", vok, "--shapes", "--high-threshold", "80"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("kept 2 hand-made keys"), std::string::npos) << r.err;
    std::string info = Run({"info", vok}).out;
    EXPECT_EQ(KeyLine(info, "30"), "30 1.5 hand");
    EXPECT_EQ(KeyLine(info, "5"), "5 0.25 hand");
    EXPECT_EQ(KeyLine(info, "20"), "20 1");  // the take is loud from 0.5 s
    EXPECT_NE(info.find("sound file: take2.wav\n"), std::string::npos);

    // A rate other than the document's is refused before anything is written.
    const std::string before = ReadFile(vok);
    EXPECT_EQ(Run({"autokey", take2, "--update", vok, "--fps", "30"}).exit, 2);
    EXPECT_EQ(ReadFile(vok), before);

    ASSERT_EQ(Run({"autokey", take2, "--update", vok, "--replace-hand-edits"}).exit, 0);
    info = Run({"info", vok}).out;
    EXPECT_EQ(KeyLine(info, "30"), "30 1");
    EXPECT_NE(info.find("hand-made keys: 0\n"), std::string::npos);

    ASSERT_EQ(Run({"edit", vok, "--set", "7:0.5", "--set", "8:0.5"}).exit, 0);
    ASSERT_EQ(Run({"edit", vok, "--release", "8-100"}).exit, 0);
    info = Run({"info", vok}).out;
    EXPECT_EQ(KeyLine(info, "7"), "7 0.5 hand");
    EXPECT_EQ(KeyLine(info, "8"), "8 0.5");
}

TEST_F(CliProcess, ShapesWritesTimedCuesWhateverTheFrameRate) {
    const std::string voice = SilenceThenTone();
    const Result tsv = Run({"shapes", voice});
    ASSERT_EQ(tsv.exit, 0) << tsv.err;
    EXPECT_EQ(tsv.out.substr(0, 5), "0.00\t");
    EXPECT_EQ(tsv.out.substr(tsv.out.size() - 7), "2.00\tX\n");
    EXPECT_EQ(Run({"shapes", voice, "--fps", "30"}).out, tsv.out);
    const std::string out = dir_.File("cues.xml");
    ASSERT_EQ(Run({"shapes", voice, "--format", "xml", "-o", out}).exit, 0);
    EXPECT_EQ(ReadFile(out), Run({"shapes", voice, "--format", "xml"}).out);
    const auto csv = Lines(Run({"shapes", voice, "--format", "csv", "--fps", "25"}).out, "\n");
    ASSERT_EQ(csv.size(), 51u);
    EXPECT_EQ(csv[0], "frame,time,shape");
    EXPECT_EQ(csv[1], "0,0,X");  // silence is the rest mouth

    // The recording is never the output.
    const std::string wav = ReadFile(voice);
    const Result self = Run({"shapes", voice, "-o", voice});
    EXPECT_EQ(self.exit, 1);
    EXPECT_EQ(ReadFile(voice), wav);
}

// --- Outputs that would destroy what the run reads or another of its outputs.

struct ClashCase {
    const char* name;
    std::vector<std::string> args;  // {snd}, {doc}, {link} (a link to {doc}), {out} replaced
    int exit;
};

class CliProcess_Clashes : public CliProcess, public ::testing::WithParamInterface<ClashCase> {};

// Each once ran with exit 0 and left one file over another: the --update document replaced by
// envelope text, the document's own recording replaced by its keys. Now the run stops before
// anything is written.
TEST_P(CliProcess_Clashes, NothingIsWrittenOverAnInputOrAnotherOutput) {
    const std::string snd = SilenceThenTone();
    const std::string doc = dir_.File("doc.vok");
    ASSERT_EQ(Run({"autokey", snd, "--fps", "25", "--vok", doc}).exit, 0);
    ASSERT_EQ(Run({"edit", doc, "--set", "30:1.5"}).exit, 0);
    ASSERT_EQ(::symlink(doc.c_str(), dir_.File("link.vok").c_str()), 0);
    const std::string docBytes = ReadFile(doc);
    const std::string sndBytes = ReadFile(snd);
    std::vector<std::string> args;
    for (std::string a : GetParam().args) {
        for (const auto& [token, path] :
             std::vector<std::pair<std::string, std::string>>{{"{snd}", snd},
                                                              {"{doc}", doc},
                                                              {"{link}", dir_.File("link.vok")},
                                                              {"{out}", dir_.File("out.txt")}}) {
            if (a == token) a = path;
        }
        args.push_back(a);
    }
    const Result r = Run(args);
    EXPECT_EQ(r.exit, GetParam().exit) << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(ReadFile(doc), docBytes);
    EXPECT_EQ(ReadFile(snd), sndBytes);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProcess_Clashes,
    ::testing::Values(
        ClashCase{
            "UpdateDocumentAsKeys", {"autokey", "{snd}", "--update", "{doc}", "-o", "{doc}"}, 2},
        ClashCase{"UpdateDocumentAsEnvelope",
                  {"autokey", "{snd}", "--update", "{doc}", "--env", "{doc}"},
                  2},
        ClashCase{
            "UpdateThroughALink", {"autokey", "{snd}", "--update", "{link}", "-o", "{doc}"}, 2},
        ClashCase{"EnvelopeAndKeysOneNewFile",
                  {"autokey", "{snd}", "--env", "{out}", "--format", "csv", "-o", "{out}"},
                  2},
        ClashCase{"DocumentAndEnvelopeOneNewFile",
                  {"autokey", "{snd}", "--vok", "{out}", "--env", "{out}"},
                  2},
        ClashCase{"UpdateTheRecordingItself", {"autokey", "{snd}", "--update", "{snd}"}, 1},
        ClashCase{"ExportOverTheDocumentsSound", {"export", "{doc}", "-o", "{snd}"}, 1},
        ClashCase{"ExportCsvOverTheDocumentsSound",
                  {"export", "{doc}", "--format", "csv", "-o", "{snd}"},
                  1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Recordings neither the loader nor the converter takes.

struct BothRefuseCase {
    const char* name;
    std::uint32_t declaredDataBytes;  // the data chunk's size in the header; 200 bytes follow
    const char* loaderSays;
};

class CliProcess_BothRefuse : public CliProcess,
                              public ::testing::WithParamInterface<BothRefuseCase> {};

// Only the converter's "sound data is too short." was printed, hiding what is wrong with the
// file: the loader's exact reason now comes first.
TEST_P(CliProcess_BothRefuse, LoadersReasonFirstThenTheConverters) {
    test::WavFormat mono;
    mono.channels = 1;
    mono.sampleRate = 8000;
    const std::string wav = dir_.File("lying.wav");
    WriteFile(wav, test::WavBuilder()
                       .Fmt(mono)
                       .ChunkDeclared("data", GetParam().declaredDataBytes, std::string(200, '\1'))
                       .Build());
    const Result r = Run({"autokey", wav});
    EXPECT_EQ(r.exit, 1);
    const auto loader = r.err.find(std::string("vokra-cli: ") + GetParam().loaderSays + "\n");
    const auto converter = r.err.find("vokra-cli: sound data is too short.\n");
    ASSERT_NE(loader, std::string::npos) << r.err;
    ASSERT_NE(converter, std::string::npos) << r.err;
    EXPECT_LT(loader, converter);
}

INSTANTIATE_TEST_SUITE_P(Table, CliProcess_BothRefuse,
                         ::testing::Values(BothRefuseCase{"DataEndsBeforeTheHeaderSays", 20000,
                                                          "Failed reading the sound data."},
                                           BothRefuseCase{"HeaderPastTheLimit", 0x7ffffff0u,
                                                          "sound data is too big."}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Something that is not a document where a document is read.

struct NotADocumentCase {
    const char* name;
    std::vector<std::string> args;  // {it} is the folder or the pipe, {snd} a sound
    bool pipe;
};

class CliProcess_NotADocument : public CliProcess,
                                public ::testing::WithParamInterface<NotADocumentCase> {};

// edit and --update said "Cannot find this file." of a folder or a pipe that is plainly there.
TEST_P(CliProcess_NotADocument, IsNamedForWhatItIs) {
    const std::string it = dir_.File("scene.vok");
    if (GetParam().pipe) {
        ASSERT_EQ(::mkfifo(it.c_str(), 0600), 0);
    } else {
        std::filesystem::create_directory(it);
    }
    const std::string snd = SilenceThenTone();
    std::vector<std::string> args;
    for (const std::string& a : GetParam().args)
        args.push_back(a == "{it}" ? it : a == "{snd}" ? snd : a);
    const Result r = Run(args);
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find(std::string("scene.vok is a ") +
                         (GetParam().pipe ? "named pipe" : "folder") + ", not a Vokra document."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Cannot find this file."), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProcess_NotADocument,
    ::testing::Values(
        NotADocumentCase{"EditAFolder", {"edit", "{it}", "--set", "3:0.5"}, false},
        NotADocumentCase{"EditAPipe", {"edit", "{it}", "--set", "3:0.5"}, true},
        NotADocumentCase{"UpdateAFolder", {"autokey", "{snd}", "--update", "{it}"}, false},
        NotADocumentCase{"UpdateAPipe", {"autokey", "{snd}", "--update", "{it}"}, true},
        NotADocumentCase{"ExportAPipe", {"export", "{it}"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

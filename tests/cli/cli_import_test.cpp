// vokra-cli on recordings the loader refuses: autokey converts them in memory, convert writes a
// copy that loads, info says what a sound is. Run as a separate process, as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/cli/cli_process_run.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using Outcome = test::CliRun;

Outcome RunCli(const test::TempDir& dir, std::vector<std::string> args) {
    return test::RunCliProcess(dir, std::move(args));
}

// A voice-like signal: syllables of a 180 Hz tone with a rising and falling loudness.
float Voice(double t) {
    const double syllable = std::fmod(t, 0.4);
    const double envelope = syllable < 0.3 ? std::sin(M_PI * syllable / 0.3) : 0.0;
    return static_cast<float>(0.6 * envelope * std::sin(2.0 * M_PI * 180.0 * t));
}

std::string WriteVoice(const test::TempDir& dir, const std::string& name, int format, int rate,
                       int channels, double seconds) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(test::WriteSoundFile(
        path, format, rate, channels, static_cast<std::int64_t>(seconds * rate),
        [rate](std::int64_t i, int) { return Voice(double(i) / rate); }));
    return path;
}

// The openings of an envelope file (the lines after its four header lines, every other one).
std::vector<double> Openings(const std::string& env) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < env.size();) {
        const auto end = env.find("\r\n", at);
        lines.push_back(env.substr(at, end - at));
        at = end == std::string::npos ? env.size() : end + 2;
    }
    std::vector<double> out;
    for (std::size_t i = 4; i < lines.size(); i += 2) out.push_back(std::stod(lines[i]));
    return out;
}

struct KindCase {
    const char* name;
    const char* file;
    int format;
    int rate;
    int channels;
};

class CliImport_Kinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(CliImport_Kinds, AutoKeyConvertsAndTheCopyLoads) {
    const KindCase& c = GetParam();
    test::TempDir dir;
    const std::string in = WriteVoice(dir, c.file, c.format, c.rate, c.channels, 2.0);

    const Outcome keyed = RunCli(dir, {"autokey", in, "--fps", "25"});
    ASSERT_EQ(keyed.exit, 0) << keyed.err;
    EXPECT_EQ(keyed.out.substr(0, 6), "LWEN\r\n");
    EXPECT_EQ(keyed.err, "");

    const std::string copy = dir.File("copy.wav");
    ASSERT_EQ(RunCli(dir, {"convert", in, copy}).exit, 0);
    const Outcome info = RunCli(dir, {"info", copy});
    EXPECT_NE(info.out.find("loads as it is: yes"), std::string::npos) << info.out;
    // Keying the copy gives the keys autokey made from the recording.
    EXPECT_EQ(RunCli(dir, {"autokey", copy, "--fps", "25"}).out, keyed.out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliImport_Kinds,
    ::testing::Values(
        KindCase{"Wav24Stereo48k", "v.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        KindCase{"FloatWav", "v.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1},
        KindCase{"Aiff", "v.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32000, 2},
        KindCase{"Flac", "v.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 96000, 2},
        KindCase{"Ogg", "v.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
        KindCase{"Mp3", "v.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliImport, KeysOfAConverted48kVoiceMatchTheSameVoiceMadeAt44100) {
    test::TempDir dir;
    const std::string hi =
        WriteVoice(dir, "hi.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 3.0);
    const std::string cd =
        WriteVoice(dir, "cd.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 3.0);
    const std::vector<double> converted = Openings(RunCli(dir, {"autokey", hi, "--fps", "30"}).out);
    const std::vector<double> direct = Openings(RunCli(dir, {"autokey", cd, "--fps", "30"}).out);
    ASSERT_EQ(converted.size(), direct.size());
    ASSERT_GT(direct.size(), 80u);
    for (std::size_t i = 0; i < direct.size(); ++i) EXPECT_NEAR(converted[i], direct[i], 0.02) << i;
}

TEST(CliImport, WithVokTheCopyIsWrittenBesideTheDocument) {
    test::TempDir dir;
    const std::string in =
        WriteVoice(dir, "take 1.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 2, 1.0);
    ::mkdir(dir.File("out").c_str(), 0755);
    const Outcome r = RunCli(dir, {"autokey", in, "--vok", dir.File("out/doc.vok")});
    ASSERT_EQ(r.exit, 0) << r.err;
    const std::string copy = dir.File("out/take 1-vokra.wav");
    EXPECT_NE(
        r.err.find("converted take 1.flac (48000 Hz, 2 channels, FLAC 24-bit PCM, 1.0 s) to " +
                   copy),
        std::string::npos)
        << r.err;
    const Outcome info = RunCli(dir, {"info", dir.File("out/doc.vok")});
    EXPECT_NE(info.out.find("sound file: take 1-vokra.wav"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("sound folder: " + dir.File("out") + "\n"), std::string::npos);
}

// The output named as the input itself, through a link, or as a second hard link: nothing written.
struct SameFileCase {
    const char* name;
    int (*alias)(const char* in, const char* out);
};

class CliImport_SameFile : public ::testing::TestWithParam<SameFileCase> {};

TEST_P(CliImport_SameFile, ConvertNeverReplacesTheRecordingItself) {
    test::TempDir dir;
    const std::string in =
        WriteVoice(dir, "v.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 1.0);
    const std::string out = GetParam().alias ? dir.File("alias.wav") : in;
    if (GetParam().alias) {
        ASSERT_EQ(GetParam().alias(in.c_str(), out.c_str()), 0);
    }
    const std::string before = test::ReadFile(in);
    const Outcome r = RunCli(dir, {"convert", in, out});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("cannot replace the recording itself"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFile(in), before);
}

INSTANTIATE_TEST_SUITE_P(Table, CliImport_SameFile,
                         ::testing::Values(SameFileCase{"SamePath", nullptr},
                                           SameFileCase{"SymbolicLink", ::symlink},
                                           SameFileCase{"HardLink", ::link}),
                         [](const auto& info) { return std::string(info.param.name); });

// Two takes of one name keyed into one folder: the second copy takes the next free name, the
// first document keeps its own sound, and keying the first again reuses its identical copy.
TEST(CliImport, AConvertedCopyNeverOverwritesAFileThisRunDidNotMake) {
    test::TempDir dir;
    ::mkdir(dir.File("scene1").c_str(), 0755);
    ::mkdir(dir.File("scene2").c_str(), 0755);
    ::mkdir(dir.File("docs").c_str(), 0755);
    const std::string one =
        WriteVoice(dir, "scene1/line.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 2.0);
    const std::string two =
        WriteVoice(dir, "scene2/line.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 1.2);
    ASSERT_EQ(RunCli(dir, {"autokey", one, "--vok", dir.File("docs/scene1.vok")}).exit, 0);
    const std::string firstCopy = test::ReadFile(dir.File("docs/line-vokra.wav"));
    const Outcome second = RunCli(dir, {"autokey", two, "--vok", dir.File("docs/scene2.vok")});
    ASSERT_EQ(second.exit, 0) << second.err;
    EXPECT_NE(second.err.find("the document uses " + dir.File("docs/line-vokra-2.wav")),
              std::string::npos)
        << second.err;
    EXPECT_EQ(test::ReadFile(dir.File("docs/line-vokra.wav")), firstCopy);
    EXPECT_NE(
        RunCli(dir, {"info", dir.File("docs/scene2.vok")}).out.find("sound file: line-vokra-2.wav"),
        std::string::npos);
    ASSERT_EQ(RunCli(dir, {"autokey", one, "--vok", dir.File("docs/again.vok")}).exit, 0);
    EXPECT_NE(
        RunCli(dir, {"info", dir.File("docs/again.vok")}).out.find("sound file: line-vokra.wav"),
        std::string::npos);
    EXPECT_FALSE(std::ifstream(dir.File("docs/line-vokra-3.wav")).good());
}

// Two runs at once with takes of one name keyed into one folder: both once saw the name free and
// one document silently got the other's sound. Each now claims its copy's name in one step.
TEST(CliImport, TwoRunsAtOnceNeverShareOneCopy) {
    test::TempDir dir;
    ::mkdir(dir.File("scene1").c_str(), 0755);
    ::mkdir(dir.File("scene2").c_str(), 0755);
    const std::string takes[2] = {
        WriteVoice(dir, "scene1/line.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 2.0),
        WriteVoice(dir, "scene2/line.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 1.2)};
    const auto soundOf = [&](const std::string& doc) {
        const std::string out = RunCli(dir, {"info", doc}).out;
        const auto at = out.find("sound file: ");
        return at == std::string::npos ? std::string()
                                       : out.substr(at + 12, out.find('\n', at) - at - 12);
    };
    for (int round = 0; round < 6; ++round) {
        const std::string folder = dir.File("docs" + std::to_string(round));
        ::mkdir(folder.c_str(), 0755);
        pid_t runs[2];
        for (int i = 0; i < 2; ++i) {
            std::vector<std::string> args = {VOKRA_CLI_PATH, "autokey", takes[i], "--vok",
                                             folder + "/scene" + std::to_string(i + 1) + ".vok"};
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            runs[i] = ::fork();
            if (runs[i] == 0) {
                ::dup2(::open("/dev/null", O_WRONLY), 2);
                ::execv(argv[0], argv.data());
                _exit(127);
            }
        }
        for (pid_t run : runs) {
            int status = 0;
            ASSERT_EQ(::waitpid(run, &status, 0), run);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const std::string one = soundOf(folder + "/scene1.vok");
        const std::string two = soundOf(folder + "/scene2.vok");
        ASSERT_FALSE(one.empty());
        ASSERT_NE(one, two) << "round " << round;
        // The longer take's document refers to the longer copy.
        EXPECT_GT(test::ReadFile(folder + "/" + one).size(),
                  test::ReadFile(folder + "/" + two).size());
    }
}

TEST(CliImport, TooLongARecordingIsRefusedWithItsLengthAndNothingIsWritten) {
    test::TempDir dir;
    const std::string in = dir.File("long.wav");
    ASSERT_TRUE(test::WriteSoundFile(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, 8000 * 501,
                                     test::Tone(100, 8000)));
    const Outcome r = RunCli(dir, {"convert", in, dir.File("out.wav")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err,
              "vokra-cli: long.wav: 8000 Hz, 2 channels, 16-bit PCM, 501.0 s\n"
              "vokra-cli: long.wav is 501.0 s long; Vokra works on sounds of at most "
              "4,000,000 samples, which is 500 s at 8000 Hz, the lowest rate it converts "
              "to.\n");
    EXPECT_NE(access(dir.File("out.wav").c_str(), F_OK), 0);

    const Outcome info = RunCli(dir, {"info", in});
    EXPECT_EQ(info.exit, 0);
    EXPECT_EQ(info.out,
              "file: long.wav\nformat: WAV, 16-bit PCM\nsample rate: 8000\nchannels: 2\n"
              "frames: 4008000\nseconds: 501\n"
              "loads as it is: no: Wavefile format is not supported by this program.\n"
              "converts to: no: long.wav is 501.0 s long; Vokra works on sounds of at "
              "most 4,000,000 samples, which is 500 s at 8000 Hz, the lowest rate it "
              "converts to.\n");
}

// What is not a sound file, and a recording cut short: said on standard error, never taken for a
// document or converted in silence.
struct PathCase {
    const char* name;
    std::function<std::string(const test::TempDir&)> make;
    const char* command;
    int exit;
    std::string err;  // a line of standard error (the file's name is "x.wav" or "x.flac")
};

class CliImport_Paths : public ::testing::TestWithParam<PathCase> {};

TEST_P(CliImport_Paths, SayWhatTheFileIs) {
    const PathCase& c = GetParam();
    test::TempDir dir;
    const std::string in = c.make(dir);
    std::vector<std::string> args{c.command, in};
    if (std::string(c.command) == "convert") args.push_back(dir.File("out.wav"));
    const Outcome r = RunCli(dir, args);
    EXPECT_EQ(r.exit, c.exit) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
}

std::string CutFlac(const test::TempDir& d) {
    const std::string p = WriteVoice(d, "x.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1, 5.0);
    std::string bytes = test::ReadFile(p);
    bytes.resize(bytes.size() * 2 / 5);
    test::WriteFile(p, bytes);
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliImport_Paths,
    ::testing::Values(PathCase{"FolderToInfo",
                               [](const test::TempDir& d) {
                                   ::mkdir(d.File("x.wav").c_str(), 0700);
                                   return d.File("x.wav");
                               },
                               "info", 1,
                               "vokra-cli: x.wav is a folder, not a document or a sound file.\n"},
                      PathCase{"FifoToAutokey",
                               [](const test::TempDir& d) {
                                   ::mkfifo(d.File("x.wav").c_str(), 0600);
                                   return d.File("x.wav");
                               },
                               "autokey", 1,
                               "vokra-cli: x.wav is a named pipe, not a sound file.\n"},
                      PathCase{"EmptyFlacToInfo",
                               [](const test::TempDir& d) {
                                   test::WriteFile(d.File("x.flac"), "");
                                   return d.File("x.flac");
                               },
                               "info", 1, "vokra-cli: x.flac is empty: it holds no sound.\n"},
                      PathCase{"CutFlacToConvert", CutFlac, "convert", 0,
                               "s of the 5.0 s its header promises.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// autokey and convert refuse a header of 1024 channels with the same words; autokey, which tried
// the loader first, gives the loader's reason before them.
TEST(CliImport, AutokeyAndConvertRefuseAlike) {
    test::TempDir dir;
    const std::string in =
        WriteVoice(dir, "x.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1024, 0.05);
    const Outcome keyed = RunCli(dir, {"autokey", in});
    const Outcome converted = RunCli(dir, {"convert", in, dir.File("out.wav")});
    EXPECT_EQ(keyed.exit, 1);
    EXPECT_EQ(converted.exit, 1);
    EXPECT_NE(keyed.err.find("1024 channels"), std::string::npos) << keyed.err;
    EXPECT_EQ(keyed.err,
              "vokra-cli: Wavefile format is not supported by this program.\n" + converted.err);
}

TEST(CliImport, InfoGivesBothLengthsOfARecordingCutShort) {
    test::TempDir dir;
    const Outcome r = RunCli(dir, {"info", CutFlac(dir)});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("\nheader frames: 110250\nheader seconds: 5\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("note: x.flac ends after "), std::string::npos) << r.out;
}

TEST(CliImport, JsonWithoutADocumentNamesTheKeyedRecording) {
    test::TempDir dir;
    const std::string in =
        WriteVoice(dir, "take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 1.0);
    const Outcome r = RunCli(dir, {"autokey", in, "--format", "json"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("\"sound\": \"" + in + "\","), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vokra

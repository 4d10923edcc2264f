// vokra-cli's shapes from a script, run as its own process: a line espeak-ng speaks, with noise,
// gets its shapes with the script; scripts that cannot be used say why with the exit status of
// a failed guess (1 for a file, 2 for the command line), or fall back with a word on stderr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "shapes/script_phonemes.h"
#include "tests/cli/cli_process_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // "" when accepted
};

class CliScript_Arguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CliScript_Arguments, AcceptedOrRefusedWithAReason) {
    const CliParseResult r = ParseCliArguments(GetParam().args);
    EXPECT_EQ(r.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliScript_Arguments,
    ::testing::Values(
        ArgsCase{"Shapes", {"shapes", "a.wav", "--text", "t.txt", "--language", "en-us"}, ""},
        ArgsCase{"ShapesEquals", {"shapes", "a.wav", "--text=t.txt", "--language=de"}, ""},
        ArgsCase{
            "AutoKey", {"autokey", "a.wav", "--shapes", "--text", "t.txt", "--language", "fr"}, ""},
        ArgsCase{"TextWithoutLanguage",
                 {"shapes", "a.wav", "--text", "t.txt"},
                 "--text needs --language NAME (an espeak-ng voice such as en-us, de, fr, ja)"},
        ArgsCase{"LanguageWithoutText",
                 {"shapes", "a.wav", "--language", "de"},
                 "--language applies only with --text"},
        ArgsCase{"AutoKeyTextWithoutShapes",
                 {"autokey", "a.wav", "--text", "t.txt", "--language", "de"},
                 "--text applies only with --shapes"},
        ArgsCase{"EmptyText",
                 {"shapes", "a.wav", "--text=", "--language", "de"},
                 "option --text needs a file name"},
        ArgsCase{"EmptyLanguage",
                 {"shapes", "a.wav", "--text", "t", "--language="},
                 "option --language needs an espeak-ng voice name"},
        ArgsCase{
            "ExportHasNoScript", {"export", "d.vok", "--text", "t"}, "unknown option '--text'"}),
    [](const auto& info) { return std::string(info.param.name); });

using Result = test::CliRun;

class CliScript : public ::testing::Test {
protected:
    Result Run(std::vector<std::string> args) { return test::RunCliProcess(dir_, std::move(args)); }

    // espeak-ng speaks the line, with a little noise, half a second of rest before and after.
    std::string Voice(const std::string& text) {
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 160;
        o.speech = &speech;
        EXPECT_TRUE(PhonemesOfScript(text, "en-us+m3", o).ok());
        std::vector<std::int16_t> samples(kScriptSpeechRate / 2, 0);
        samples.insert(samples.end(), speech.begin(), speech.end());
        samples.insert(samples.end(), kScriptSpeechRate / 2, 0);
        std::mt19937 noise(5);
        std::uniform_int_distribution<int> hiss(-60, 60);
        for (std::int16_t& s : samples)
            s = static_cast<std::int16_t>(std::clamp(s + hiss(noise), -32768, 32767));
        const std::string path = dir_.File("line.wav");
        test::WriteFile(path, test::MakeWav16(samples, kScriptSpeechRate));
        return path;
    }

    std::string Text(const std::string& bytes) {
        const std::string path = dir_.File("script.txt");
        test::WriteFile(path, bytes);
        return path;
    }

    test::TempDir dir_;
};

const char kLine[] = "Bring the blue box to my mother.";

TEST_F(CliScript, LineWithItsScriptGetsShapes) {
    const std::string wav = Voice(kLine);
    const Result r = Run({"shapes", wav, "--text", Text(kLine), "--language", "en-us"});
    EXPECT_EQ(r.exit, 0) << r.err;
    // tsv: a line per change of mouth, the sound's end with X last; closed lips among them.
    EXPECT_NE(r.out.find("\tA\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "X\n");
    // With the document too: the script is kept in it.
    const std::string vok = dir_.File("line.vok");
    const Result k = Run(
        {"autokey", wav, "--shapes", "--text", Text(kLine), "--language", "en-us", "--vok", vok});
    EXPECT_EQ(k.exit, 0) << k.err;
    const std::string doc = test::ReadFile(vok);
    EXPECT_NE(doc.find("SCRP"), std::string::npos);
    EXPECT_NE(doc.find(kLine), std::string::npos);
}

struct BadCase {
    const char* name;
    std::string text;  // the script file's bytes
    const char* language;
    int exit;
    const char* says;  // on stderr
};

class CliScript_Bad : public CliScript, public ::testing::WithParamInterface<BadCase> {};

TEST_P(CliScript_Bad, SaysWhyWithTheGuessesExitStatus) {
    const BadCase& c = GetParam();
    const std::string wav = Voice(kLine);
    const Result r = Run({"shapes", wav, "--text", Text(c.text), "--language", c.language});
    EXPECT_EQ(r.exit, c.exit) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    // A fall-back still writes the shapes of the guess.
    if (c.exit == 0) {
        EXPECT_NE(r.out.find("X\n"), std::string::npos);
    }
}

std::string Repeat(const std::string& s, std::size_t bytes) {
    std::string out;
    while (out.size() < bytes) out += s;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliScript_Bad,
    ::testing::Values(
        BadCase{"Empty", "", "en-us", 0, "no words"},
        BadCase{"OnlySpaces", " \n\t\n", "en", 0, "no words"},
        BadCase{"Binary",
                std::string("\x7f"
                            "ELF\2\1\1\0",
                            8),
                "en", 1, "binary"},
        BadCase{"NotUtf8", "Caf\xe9 au lait", "fr", 1, "not UTF-8"},
        BadCase{"TenMegabytes", Repeat("The rain in Spain. ", 10'000'000), "en", 1, "larger than"},
        BadCase{"FarLongerThanTheSound", Repeat("The rain in Spain stays mainly. ", 60'000), "en",
                0, "far longer"},
        BadCase{"UnknownLanguage", kLine, "xx-nowhere", 2, "no language 'xx-nowhere'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliScript, ScriptThatIsNoFileIsRefusedWithoutWaiting) {
    const std::string wav = Voice(kLine);
    const std::string fifo = dir_.File("pipe.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Result r = Run({"shapes", wav, "--text", fifo, "--language", "en"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    const Result m = Run({"shapes", wav, "--text", dir_.File("none.txt"), "--language", "en"});
    EXPECT_EQ(m.exit, 1);
}

}  // namespace
}  // namespace vokra

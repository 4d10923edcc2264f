// vokra-cli's choices about guessed shapes: --lead and --extended-shapes checked on the command
// line, and what they do to the shapes it writes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
    std::string error;  // empty: accepted
};

class CliShapeOptions_Checks : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CliShapeOptions_Checks, AcceptedOrRefusedWithAReason) {
    EXPECT_EQ(ParseCliArguments(GetParam().args).error, GetParam().error);
}

std::string BadLead(const std::string& value) {
    return "--lead must be a whole number of milliseconds from 0 to 500 (got '" + value + "')";
}

std::string BadSet(const std::string& value) {
    return "--extended-shapes must be any of the letters G, H and X, or \"\" for the six basic "
           "mouths A-F (got '" +
           value + "')";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliShapeOptions_Checks,
    ::testing::Values(
        ArgsCase{"LeadZero", {"shapes", "a.wav", "--lead=0"}, ""},
        ArgsCase{"LeadMost", {"shapes", "a.wav", "--lead", "500"}, ""},
        ArgsCase{"LeadTooLong", {"shapes", "a.wav", "--lead", "501"}, BadLead("501")},
        ArgsCase{"LeadNegative", {"shapes", "a.wav", "--lead", "-1"}, BadLead("-1")},
        ArgsCase{"LeadFraction", {"shapes", "a.wav", "--lead", "41.7"}, BadLead("41.7")},
        ArgsCase{"LeadWithUnit", {"shapes", "a.wav", "--lead", "40ms"}, BadLead("40ms")},
        ArgsCase{"LeadHuge",
                 {"shapes", "a.wav", "--lead", "99999999999999999999"},
                 BadLead("99999999999999999999")},
        ArgsCase{"LeadMissing", {"shapes", "a.wav", "--lead"}, "option --lead needs a value"},
        ArgsCase{"BasicSix", {"shapes", "a.wav", "--extended-shapes", ""}, ""},
        ArgsCase{"SomeInLowerCase", {"shapes", "a.wav", "--extended-shapes=xg"}, ""},
        ArgsCase{"BasicLetter", {"shapes", "a.wav", "--extended-shapes", "GHXA"}, BadSet("GHXA")},
        ArgsCase{"Separated", {"shapes", "a.wav", "--extended-shapes", "G,H"}, BadSet("G,H")},
        ArgsCase{"AutoKeyWithShapes",
                 {"autokey", "a.wav", "--shapes", "--lead", "40", "--extended-shapes", "GX"},
                 ""},
        ArgsCase{"AutoKeyLeadAlone",
                 {"autokey", "a.wav", "--lead", "40"},
                 "--lead applies only with --shapes"},
        ArgsCase{"AutoKeySetAlone",
                 {"autokey", "a.wav", "--extended-shapes", "GX"},
                 "--extended-shapes applies only with --shapes"},
        ArgsCase{"ExportTakesTheSet", {"export", "d.vok", "--extended-shapes", "H"}, ""},
        ArgsCase{
            "ExportGuessesNothing", {"export", "d.vok", "--lead", "40"}, "unknown option '--lead'"},
        ArgsCase{"EditWritesNoShapes",
                 {"edit", "d.vok", "--extended-shapes", "H"},
                 "unknown option '--extended-shapes'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliShapeOptions_Values, ReachTheShapeChain) {
    const CliParseResult r =
        ParseCliArguments({"shapes", "a.wav", "--lead", "42", "--extended-shapes", "xg"});
    ASSERT_TRUE(r.ok()) << r.error;
    const ShapeOptions options = ShapeOptionsOf(r.options);
    EXPECT_EQ(options.leadMs, 42);
    EXPECT_EQ(options.extended, (ShapeSet{true, false, true}));
    EXPECT_EQ(ShapeOptionsOf(ParseCliArguments({"shapes", "a.wav"}).options), ShapeOptions{});
}

// The cues of a TSV: (hundredths of a second, letter).
std::vector<std::pair<int, char>> Cues(const std::string& tsv) {
    std::vector<std::pair<int, char>> cues;
    std::istringstream lines(tsv);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        const std::string seconds = line.substr(0, tab);
        const auto dot = seconds.find('.');
        cues.emplace_back(
            std::stoi(seconds.substr(0, dot)) * 100 + std::stoi(seconds.substr(dot + 1)),
            line.at(tab + 1));
    }
    return cues;
}

// Half a second of silence, a voice, half a second of silence: the shapes of vokra-cli shapes with
// a lead start earlier by the lead, and a six-mouth rig gets no G, H or X, its rest included.
TEST(CliShapeOptions_Run, LeadAndRigChangeTheWrittenShapes) {
    test::TempDir dir;
    std::vector<std::int16_t> samples(11025, 0);
    const std::vector<std::int16_t> voice = test::VoiceLike(1.0, 22050);
    samples.insert(samples.end(), voice.begin(), voice.end());
    samples.insert(samples.end(), 11025, 0);
    const std::string wav = dir.File("line.wav");
    test::WriteFile(wav, test::MakeWav16(samples, 22050));
    auto run = [&](std::vector<std::string> args, int expected) {
        std::ostringstream out, err;
        args.insert(args.begin(), {"shapes", wav});
        EXPECT_EQ(RunCli(args, out, err), expected) << err.str();
        return out.str();
    };

    const auto plain = Cues(run({}, 0));
    const auto led = Cues(run({"--lead", "100"}, 0));
    ASSERT_GE(plain.size(), 3u);
    ASSERT_EQ(led.size(), plain.size());
    for (std::size_t i = 1; i + 1 < plain.size(); ++i) {
        EXPECT_EQ(led[i].first, plain[i].first - 10) << i;
        EXPECT_EQ(led[i].second, plain[i].second) << i;
    }
    EXPECT_EQ(led.back(), plain.back());  // the end of the sound stays where it is

    const std::string sixMouths = run({"--extended-shapes", ""}, 0);
    EXPECT_EQ(sixMouths.find_first_of("GHX"), std::string::npos) << sixMouths;
    EXPECT_EQ(sixMouths.substr(sixMouths.size() - 7), "2.00\tA\n");
    EXPECT_EQ(run({"--extended-shapes", "ABC"}, 2), "");
    EXPECT_EQ(run({"--lead", "1000"}, 2), "");
}

}  // namespace
}  // namespace vokra

// vokra-cli and the shapes as animators hand them on: a shorter take leaves no stale mouths, a
// damaged or later record survives an edit (or the write is refused), the mouth cues of a
// document are those of a guess, and the names of the shapes are checked as the keys' are.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "document/vok_section.h"
#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::ReadFile;
using test::WriteFile;

struct Result {
    int exit = -1;
    std::string out;
    std::string err;
};

class CliShapeOutputs : public ::testing::Test {
protected:
    void TearDown() override { g_sound.Unload(); }

    static Result Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        Result r;
        r.exit = RunCli(args, out, err);
        r.out = out.str();
        r.err = err.str();
        g_sound.Unload();  // each run is a process of its own
        return r;
    }

    // `seconds` of a voice-like sound at 8000 samples per second, plus `extra` samples.
    std::string Take(const std::string& name, double seconds, int extra = 0) {
        std::vector<std::int16_t> samples = test::VoiceLike(seconds, 8000);
        samples.insert(samples.end(), static_cast<std::size_t>(extra), 0);
        const std::string path = dir_.File(name);
        WriteFile(path, test::MakeWav16(samples, 8000));
        return path;
    }

    static std::string Field(const std::string& info, const std::string& name) {
        const auto at = info.find("\n" + name + ": ");
        if (at == std::string::npos) return {};
        const auto from = at + name.size() + 3;
        return info.substr(from, info.find('\n', from) - from);
    }

    test::TempDir dir_;
};

TEST_F(CliShapeOutputs, ShorterTakeLeavesNoMouthPastItsEnd) {
    const std::string vok = dir_.File("line.vok");
    ASSERT_EQ(
        Run({"autokey", Take("take1.wav", 2.0), "--fps", "25", "--vok", vok, "--shapes"}).exit, 0);
    EXPECT_EQ(Field(Run({"info", vok}).out, "shapes"), "50");
    const Result r = Run({"autokey", Take("take2.wav", 1.0), "--update", vok, "--shapes"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("cleared 25 guessed shapes past the end of the sound"), std::string::npos)
        << r.err;
    EXPECT_EQ(Field(Run({"info", vok}).out, "shapes"), "25");
    // The switch data closes at rest by the frame after the line (frame 25, one-based 26).
    const std::string dat = Run({"export", vok, "--format", "dat"}).out;
    const std::string last = dat.substr(dat.rfind('\n', dat.size() - 2) + 1);
    ASSERT_GE(last.size(), 6u) << dat;
    EXPECT_EQ(last.substr(last.size() - 6), " rest\n") << dat;
    EXPECT_LE(std::stoi(last), 26) << dat;
}

// The document's mouth cues are written as shapes writes a guess: the same metadata and end for
// any recording, and byte for byte where the frames hold the guess's windows (a silent take);
// shapes takes the export's names too.
TEST_F(CliShapeOutputs, DocumentCuesAreTheGuessByteForByte) {
    // A length that is not whole hundredths: the duration is cut to 1.30, never rounded up.
    const std::string take = Take("take.wav", 1.3, 79);
    const std::string silent = dir_.File("silent.wav");
    WriteFile(silent, test::MakeWav16(std::vector<std::int16_t>(10479, 0), 8000));
    // The text before the cues (json's or xml's metadata; nothing for tsv).
    const auto head = [](const std::string& text, const char* upTo) {
        const auto at = text.find(upTo);
        return at == std::string::npos ? std::string() : text.substr(0, at);
    };
    for (const std::string& sound : {take, silent}) {
        const std::string vok = dir_.File("line.vok");
        ASSERT_EQ(Run({"autokey", sound, "--fps", "24", "--vok", vok, "--shapes"}).exit, 0);
        for (const char* format : {"tsv", "json", "xml"}) {
            const std::string rhubarb = std::string("rhubarb-") + format;
            const Result guess = Run({"shapes", sound, "--format", format});
            ASSERT_EQ(guess.exit, 0) << guess.err;
            const std::string cues = Run({"export", vok, "--format", rhubarb}).out;
            if (sound == silent) {
                EXPECT_EQ(cues, guess.out) << format;
            }
            EXPECT_EQ(head(cues, "\"mouthCues\""), head(guess.out, "\"mouthCues\""));
            EXPECT_EQ(head(cues, "<mouthCues>"), head(guess.out, "<mouthCues>"));
            EXPECT_EQ(cues.substr(cues.size() - 8), guess.out.substr(guess.out.size() - 8));
            EXPECT_EQ(Run({"shapes", sound, "--format", rhubarb}).out, guess.out) << format;
            EXPECT_NE(guess.out.find("1.30"), std::string::npos) << guess.out;
            EXPECT_EQ(guess.out.find("1.31"), std::string::npos) << guess.out;
        }
    }
    // The sound as typed ("../x/./take.wav") is written absolute and normal.
    std::filesystem::create_directory(dir_.File("x"));
    const std::string typed = dir_.File("x") + "/.././take.wav";
    const std::string json = Run({"shapes", typed, "--format", "json"}).out;
    EXPECT_NE(json.find("\"soundFile\": \"" + take + "\""), std::string::npos) << json;

    // A document without shapes has no cues to give.
    const std::string plain = dir_.File("plain.vok");
    ASSERT_EQ(Run({"autokey", take, "--vok", plain}).exit, 0);
    const Result refused = Run({"export", plain, "--format", "rhubarb-json"});
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("has no mouth shapes to write"), std::string::npos) << refused.err;
}

TEST_F(CliShapeOutputs, ShapeNamesAreCheckedAsTheKeysMouthListIs) {
    const std::string take = Take("take.wav", 0.5);
    for (const char* names : {"1,2,3,4,5,6,7,8,9", "A:x,A:y"}) {
        const Result r = Run({"shapes", take, "--format", "dat", "--mouths", names});
        EXPECT_EQ(r.exit, 2) << names;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Run({"shapes", take, "--format", "dat", "--mouths", "A:M1"}).exit, 0);
}

// A damaged or later record of the document's file through `edit` and `autokey --update`.
struct KeepCase {
    const char* name;
    std::string section;  // after the document's strings
    std::vector<std::string> args;
    int exit;
    bool kept;  // the section's bytes are still in the file
};

class CliShapeOutputs_Keep : public CliShapeOutputs,
                             public ::testing::WithParamInterface<KeepCase> {};

TEST_P(CliShapeOutputs_Keep, WritesKeepOrAreRefused) {
    const KeepCase& c = GetParam();
    const std::string vok = dir_.File("doc.vok");
    ASSERT_EQ(Run({"autokey", Take("take.wav", 1.0), "--vok", vok}).exit, 0);
    const std::string original = ReadFile(vok) + c.section;
    WriteFile(vok, original);
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
        if (a == "DOC") a = vok;
        if (a == "TAKE") a = dir_.File("take.wav");
    }
    const Result r = Run(args);
    EXPECT_EQ(r.exit, c.exit) << r.err;
    const std::string now = ReadFile(vok);
    EXPECT_EQ(now.find(c.section.substr(4)) != std::string::npos, c.kept);
    if (c.exit == 1) {
        EXPECT_EQ(now, original) << "nothing written";
        EXPECT_NE(r.err.find("--drop-damaged writes it anyway"), std::string::npos) << r.err;
    }
}

std::string Le32(std::uint32_t v) {
    return test::Le32(v);
}
const std::string kMark(kVokSectionMark);
// Shapes on frames 0..132, one byte of them bad (shape 9).
const std::string kBadShapes = "SHPS" + Le32(10) + Le32(0) + Le32(133) + '\x09' + '\x00';
const std::string kBadHand = "HAND" + Le32(4) + "oops";
const std::string kLater = "NOTE" + Le32(5) + "later";

INSTANTIATE_TEST_SUITE_P(
    Table, CliShapeOutputs_Keep,
    ::testing::Values(KeepCase{"DamagedShapesSurviveEdit",
                               kMark + kBadShapes,
                               {"edit", "DOC", "--set", "5:1"},
                               0,
                               true},
                      KeepCase{"LaterRecordSurvivesUpdate",
                               kMark + kLater,
                               {"autokey", "TAKE", "--update", "DOC", "--shapes"},
                               0,
                               true},
                      KeepCase{"ShapesReplacingDamagedOnesRefused",
                               kMark + kBadShapes,
                               {"autokey", "TAKE", "--update", "DOC", "--shapes"},
                               1,
                               true},
                      KeepCase{"HandMarksReplacingDamagedOnesRefused",
                               kMark + kBadHand,
                               {"edit", "DOC", "--set", "5:1"},
                               1,
                               true},
                      KeepCase{"DropDamagedGoesOn",
                               kMark + kBadHand,
                               {"edit", "DOC", "--set", "5:1", "--drop-damaged"},
                               0,
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

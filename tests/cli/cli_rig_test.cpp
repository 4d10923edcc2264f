// vokra-cli's engine and rig exports as a pipeline runs them: from a recording and from a
// document, into a copy of a Spine skeleton (the skeleton itself is never written, even when -o
// names it or a link to it), and refused with a message when a format cannot hold the mouths.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
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

Result RunTool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Result r;
    r.exit = RunCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    g_sound.Unload();
    return r;
}

constexpr const char* kSkeleton =
    R"({"skeleton": {"spine": "4.1.24"}, "bones": [{"name": "root"}],
"slots": [{"name": "mouth", "bone": "root", "attachment": "X"}]})";

class CliRig : public ::testing::Test {
protected:
    void SetUp() override {
        take_ = dir_.File("take.wav");
        WriteFile(take_, test::MakeWav16(test::VoiceLike(1.5, 8000), 8000));
        skeleton_ = dir_.File("hero.json");
        WriteFile(skeleton_, kSkeleton);
    }
    test::TempDir dir_;
    std::string take_;
    std::string skeleton_;
};

TEST_F(CliRig, EveryFormatFromARecordingAndADocument) {
    const std::string doc = dir_.File("take.vok");
    ASSERT_EQ(RunTool({"autokey", take_, "--fps", "24", "--shapes", "--vok", doc}).exit, 0);
    for (const char* format : {"godot-tres", "spine-json", "live2d-motion3", "unity-anim",
                               "weights-csv", "weights-json", "papagayo-pgo"}) {
        const Result fromSound = RunTool({"shapes", take_, "--fps", "24", "--format", format});
        EXPECT_EQ(fromSound.exit, 0) << format << fromSound.err;
        const Result fromDoc = RunTool({"export", doc, "--format", format});
        EXPECT_EQ(fromDoc.exit, 0) << format << fromDoc.err;
        // The document holds the guess: the same mouths at the same frames (a project names the
        // document's copy of the sound instead).
        if (std::string(format) != "papagayo-pgo") {
            EXPECT_EQ(fromDoc.out, fromSound.out) << format;
        }
    }
    const std::string out = dir_.File("line.json");
    ASSERT_EQ(
        RunTool({"export", doc, "--format", "weights-json", "--weights", "vrm0", "-o", out}).exit,
        0);
    const nlohmann::json j = nlohmann::json::parse(ReadFile(out));
    EXPECT_EQ(j.at("set"), "vrm0");
    EXPECT_EQ(j.at("frames").size(), 36u);  // 1.5 s at 24 frames per second
}

TEST_F(CliRig, IntoWritesACopyAndNeverTheSkeleton) {
    const std::string copy = dir_.File("hero-talk.json");
    const Result r = RunTool({"shapes", take_, "--format", "spine-json", "--into", skeleton_,
                              "--name", "talk", "-o", copy});
    ASSERT_EQ(r.exit, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(ReadFile(copy));
    EXPECT_TRUE(j["animations"]["talk"]["slots"]["mouth"].contains("attachment"));
    EXPECT_EQ(j["bones"], nlohmann::json::parse(kSkeleton)["bones"]);
    EXPECT_EQ(ReadFile(skeleton_), kSkeleton);

    // -o naming the skeleton, directly or through a link: refused, the skeleton as it was.
    const std::string link = dir_.File("link.json");
    std::filesystem::create_symlink(skeleton_, link);
    for (const std::string& out : {skeleton_, link}) {
        const Result same =
            RunTool({"shapes", take_, "--format", "spine-json", "--into", skeleton_, "-o", out});
        EXPECT_NE(same.exit, 0);
        EXPECT_NE(same.err.find("is the skeleton --into reads"), std::string::npos) << same.err;
        EXPECT_EQ(ReadFile(skeleton_), kSkeleton);
    }
    // A skeleton that is a pipe is refused before it is read (no writer: it would block).
    const std::string fifo = dir_.File("pipe.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Result pipe = RunTool({"shapes", take_, "--format", "spine-json", "--into", fifo});
    EXPECT_EQ(pipe.exit, 1);
    EXPECT_NE(pipe.err.find("is not a regular file"), std::string::npos) << pipe.err;
    // No slot of that name: nothing written.
    const std::string none = dir_.File("none.json");
    const Result slot = RunTool({"shapes", take_, "--format", "spine-json", "--into", skeleton_,
                                 "--target", "lips", "-o", none});
    EXPECT_EQ(slot.exit, 1);
    EXPECT_NE(slot.err.find("has no slot 'lips'"), std::string::npos) << slot.err;
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(CliRig, ExportNeverWritesOverTheDocumentsSound) {
    const std::string doc = dir_.File("take.vok");
    ASSERT_EQ(RunTool({"autokey", take_, "--fps", "24", "--shapes", "--vok", doc}).exit, 0);
    const std::string info = RunTool({"info", doc}).out;
    const auto at = info.find("sound file: ");
    ASSERT_NE(at, std::string::npos) << info;
    const std::string sound = dir_.File(info.substr(at + 12, info.find('\n', at) - at - 12));
    const std::string before = ReadFile(sound);
    const Result r = RunTool({"export", doc, "--format", "godot-tres", "-o", sound});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("is the recording of this document"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(sound), before);
}

TEST_F(CliRig, PapagayoRefusesAFractionalFrameRate) {
    const std::string out = dir_.File("line.pgo");
    const Result r =
        RunTool({"shapes", take_, "--fps", "29.97", "--format", "papagayo-pgo", "-o", out});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("whole frame rate"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace vokra

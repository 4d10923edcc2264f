// The same spoken line with the noise floors real microphones have: the mouths must not care
// whether the pauses are digital zeros or a hiss.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shapes/script_phonemes.h"
#include "shapes/shape_estimator.h"
#include "tests/shapes/speech_like.h"

namespace vokra {
namespace {

constexpr std::int32_t kRate = 22050;

std::vector<MouthShape> FramesOf(const std::vector<std::int16_t>& samples,
                                 std::int32_t rate = kRate) {
    const auto per10ms =
        GuessShapes(samples.data(), static_cast<std::int32_t>(samples.size()), rate);
    const auto frames = static_cast<std::int32_t>(samples.size() * 24 / rate);
    return ShapesForFrames(per10ms, rate, 24.0, 0, frames - 1);
}

const std::vector<std::int16_t>& Line() {
    static const auto line = test::SpokenLine(kRate);
    return line;
}

const std::vector<MouthShape>& CleanFrames() {
    static const auto frames = FramesOf(Line());
    return frames;
}

// The clean line itself gets moving mouths and rest in its pauses, so agreeing with it means
// something.
TEST(ShapeNoise, CleanLineMovesTheMouth) {
    const auto& frames = CleanFrames();
    ASSERT_GT(frames.size(), 60u);
    EXPECT_EQ(frames.front(), MouthShape::X);
    EXPECT_EQ(frames.back(), MouthShape::X);
    const std::set<MouthShape> seen(frames.begin(), frames.end());
    EXPECT_GE(seen.size(), 4u);
}

struct NoiseCase {
    const char* name;
    test::NoiseKind kind;
    double dbfs;
    double snr;
    double agree;  // the least share of frames that keep the clean line's mouth
};

// The floors real microphones have: hiss at a level, pink noise close under the voice.
constexpr NoiseCase kFloors[] = {
    {"Hiss90dBFS", test::NoiseKind::White, -90, 0, 0.95},
    {"Hiss80dBFS", test::NoiseKind::White, -80, 0, 0.95},
    {"Hiss70dBFS", test::NoiseKind::White, -70, 0, 0.95},
    {"Hiss60dBFS", test::NoiseKind::White, -60, 0, 0.95},
    {"Pink30dBSnr", test::NoiseKind::Pink, 0, 30, 0.95},
    {"Pink20dBSnr", test::NoiseKind::Pink, 0, 20, 0.90},
};

class ShapeNoise_Floors : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(ShapeNoise_Floors, MouthsAgreeWithTheCleanLine) {
    const auto& c = GetParam();
    const auto noisy = FramesOf(test::WithNoise(Line(), kRate, c.kind, c.dbfs, c.snr));
    const auto& clean = CleanFrames();
    ASSERT_EQ(noisy.size(), clean.size());
    std::string a, b;
    int same = 0;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        same += noisy[i] == clean[i];
        a += MouthShapeLetter(clean[i]);
        b += MouthShapeLetter(noisy[i]);
    }
    RecordProperty("kept_frames", same);
    RecordProperty("frames", static_cast<int>(clean.size()));
    EXPECT_GE(same, c.agree * static_cast<double>(clean.size()))
        << "clean " << a << "\nnoisy " << b;
}

INSTANTIATE_TEST_SUITE_P(Table, ShapeNoise_Floors, ::testing::ValuesIn(kFloors),
                         [](const auto& info) { return std::string(info.param.name); });

// The same table on real speech, as a voice engine speaks it in three voices and two languages
// between pauses of digital silence.
struct SpokenLines {
    std::vector<std::vector<std::int16_t>> lines;
    std::vector<std::vector<MouthShape>> clean;
};

const SpokenLines& Spoken() {
    static const SpokenLines spoken = [] {
        struct Line {
            const char* text;
            const char* voice;
            std::int32_t wpm, pitch;
        };
        static constexpr Line kLines[] = {
            {"Well, I never thought we would find the map buried under the old bridge.", "en-us",
             160, 45},
            {"Please bring five fresh loaves and a bowl of soup before the show starts.", "en+f3",
             150, 60},
            {"Guten Morgen, wir fahren heute mit dem Zug nach Berlin.", "de", 155, 50},
        };
        SpokenLines s;
        for (const Line& l : kLines) {
            std::vector<std::int16_t> speech;
            ScriptSpeechOptions o;
            o.wordsPerMinute = l.wpm;
            o.pitch = l.pitch;
            o.speech = &speech;
            EXPECT_TRUE(PhonemesOfScript(l.text, l.voice, o).ok());
            std::vector<std::int16_t> line(kScriptSpeechRate / 2, 0);
            line.insert(line.end(), speech.begin(), speech.end());
            line.insert(line.end(), kScriptSpeechRate / 2, 0);
            s.clean.push_back(FramesOf(line, kScriptSpeechRate));
            s.lines.push_back(std::move(line));
        }
        return s;
    }();
    return spoken;
}

class ShapeNoise_SpokenLines : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(ShapeNoise_SpokenLines, MouthsAgreeWithTheCleanLines) {
    const auto& c = GetParam();
    const SpokenLines& spoken = Spoken();
    std::size_t same = 0, frames = 0;
    std::string shown;
    for (std::size_t i = 0; i < spoken.lines.size(); ++i) {
        const auto noisy =
            FramesOf(test::WithNoise(spoken.lines[i], kScriptSpeechRate, c.kind, c.dbfs, c.snr),
                     kScriptSpeechRate);
        const auto& clean = spoken.clean[i];
        ASSERT_EQ(noisy.size(), clean.size());
        std::string a, b;
        for (std::size_t f = 0; f < clean.size(); ++f) {
            same += noisy[f] == clean[f];
            a += MouthShapeLetter(clean[f]);
            b += noisy[f] == clean[f] ? '.' : MouthShapeLetter(noisy[f]);
        }
        frames += clean.size();
        shown += "\nclean " + a + "\nnoisy " + b;
    }
    // The share kept, for the training note's table (--gtest_output=xml).
    RecordProperty("kept_frames", static_cast<int>(same));
    RecordProperty("frames", static_cast<int>(frames));
    EXPECT_GE(static_cast<double>(same), c.agree * static_cast<double>(frames)) << shown;
}

INSTANTIATE_TEST_SUITE_P(Table, ShapeNoise_SpokenLines, ::testing::ValuesIn(kFloors),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

#include "shapes/shape_estimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/shapes/shape_letters.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::Letters;
using test::Shapes;

struct TimingCase {
    const char* name;
    const char* in;
    const char* out;
};

class ShapeTiming_Rules : public ::testing::TestWithParam<TimingCase> {};

TEST_P(ShapeTiming_Rules, GivesTheExpectedSequence) {
    auto shapes = Shapes(GetParam().in);
    ApplyShapeTiming(shapes);
    EXPECT_EQ(Letters(shapes), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeTiming_Rules,
    ::testing::Values(
        TimingCase{"ShortRunJoinsTheRunBefore", "XXXXXBBCCCCCXXXXX", "XXXXXXXCCCCCXXXXX"},
        TimingCase{"ShortRunAtTheStartJoinsTheNext", "BCCCCC", "CCCCCC"},
        TimingCase{"ShortPauseInsideSpeechIsNoRest", "CCCCXXCCCC", "CCCCCCCCCC"},
        TimingCase{"LongPauseIsRest", "CCCCXXXXXCCCC", "CCCCXXXXXCCCC"},
        TimingCase{"ClosureStartsOneWindowEarly", "CCCCAAAACCCC", "CCCAAAAACCCC"},
        TimingCase{"ClosureAfterRestIsNotMovedIntoIt", "XXXXXAAAACCC", "XXXXXAAAACCC"},
        TimingCase{"MouthBeforeAClosureKeepsAWindow", "CCCGGAAA", "CCCGAAAA"},
        TimingCase{"TwoWindowClosureSurvives", "DDDDAADDDD", "DDDAAADDDD"},
        TimingCase{"OneWindowClosureIsTooShort", "DDDDADDDD", "DDDDDDDDD"},
        TimingCase{"WholeSoundShorterThanAnyRunStays", "BB", "BB"}, TimingCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct FramesCase {
    const char* name;
    const char* per10ms;
    double fps;
    std::int32_t first, last;
    const char* frames;
};

class ShapesForFrames_Mapping : public ::testing::TestWithParam<FramesCase> {};

TEST_P(ShapesForFrames_Mapping, GathersWindowsAsAutoKeyDoes) {
    const auto& c = GetParam();
    EXPECT_EQ(Letters(ShapesForFrames(Shapes(c.per10ms), 44100, c.fps, c.first, c.last)), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapesForFrames_Mapping,
    ::testing::Values(
        // 25 fps: four windows a frame, plus the window that opens it.
        FramesCase{"FourWindowsAFrame", "BBBBCCCCDDDD", 25.0, 0, 2, "BCD"},
        // At 24 fps frame 0 takes windows 0-4 (5 x 0.24 = 1.2 >= 1) and frame 1 windows 5-8.
        FramesCase{"TwentyFourFps", "BBBBBCCCCDDDD", 24.0, 0, 2, "BCD"},
        FramesCase{"ClosedLipsCountDouble", "BBAACCCC", 25.0, 0, 1, "AC"},
        FramesCase{"OneClosedWindowIsOutvoted", "BBBACCCC", 25.0, 0, 1, "BC"},
        FramesCase{"TieGoesToTheEarlierMouth", "BBCCDDDD", 25.0, 0, 1, "BD"},
        FramesCase{"PastTheSoundIsRest", "BBBB", 25.0, 0, 2, "BXX"},
        FramesCase{"BeforeTheSoundIsRest", "CCCCCCCC", 25.0, -2, 1, "XXCC"},
        // The first frame opens with the window its start falls in: 100 x 1 / 30 = 3.33 -> 3.
        FramesCase{"StartInsideAWindow", "BBBCCCDDDEEE", 30.0, 1, 2, "CD"},
        // Faster than 100 frames a second every frame takes one window, in order, as AutoKey does.
        FramesCase{"MoreFramesThanWindows", "BCDE", 200.0, 0, 3, "BCDE"},
        FramesCase{"EmptyRange", "BBBB", 25.0, 3, 2, ""},
        FramesCase{"NoFrameRate", "BBBB", 0.0, 0, 2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct SignalCase {
    const char* name;
    std::vector<std::int16_t> samples;
    std::int32_t rate;
};

std::vector<std::int16_t> Tone(double seconds, std::int32_t rate, double hz, double amplitude,
                               bool clip = false) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < s.size(); ++i) {
        double v = amplitude * std::sin(2 * 3.14159265358979 * hz * i / rate);
        if (clip) v = v > 0 ? 32767 : -32768;
        s[i] = static_cast<std::int16_t>(v);
    }
    return s;
}

std::vector<std::int16_t> Noise(double seconds, std::int32_t rate) {
    std::mt19937 gen(19);
    std::uniform_int_distribution<int> d(-20000, 20000);
    std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * rate));
    for (auto& v : s) v = static_cast<std::int16_t>(d(gen));
    return s;
}

class GuessShapes_Signals : public ::testing::TestWithParam<SignalCase> {};

// Any signal gets one shape per started 10 ms window, whatever its rate or content.
TEST_P(GuessShapes_Signals, OneShapePerWindow) {
    const auto& c = GetParam();
    const auto shapes =
        GuessShapes(c.samples.data(), static_cast<std::int32_t>(c.samples.size()), c.rate);
    const auto expected = (static_cast<std::int64_t>(c.samples.size()) * 100 + c.rate - 1) / c.rate;
    EXPECT_EQ(static_cast<std::int64_t>(shapes.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GuessShapes_Signals,
    ::testing::Values(SignalCase{"OneSample", {1000}, 44100},
                      SignalCase{"ShorterThanAWindow", std::vector<std::int16_t>(100, 500), 44100},
                      SignalCase{"LowRate", Noise(1.0, 4000), 4000},
                      // Fewer samples than windows: some windows hold none.
                      SignalCase{"RateBelowOneSamplePerWindow", Noise(1.0, 50), 50},
                      SignalCase{"OddRate", Noise(0.5, 11025), 11025},
                      SignalCase{"HighRate", Tone(0.5, 96000, 300, 10000), 96000},
                      SignalCase{"Clipping", Tone(1.0, 44100, 200, 40000, true), 44100},
                      SignalCase{"Dc", std::vector<std::int16_t>(44100, 12000), 44100},
                      SignalCase{"FullScaleNegativeDc", std::vector<std::int16_t>(22050, -32768),
                                 22050},
                      SignalCase{"Noise", Noise(1.0, 48000), 48000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GuessShapes_Signals, NothingToGuess) {
    const std::int16_t one = 5;
    EXPECT_TRUE(GuessShapes(nullptr, 0, 44100).empty());
    EXPECT_TRUE(GuessShapes(nullptr, 100, 44100).empty());
    EXPECT_TRUE(GuessShapes(&one, 1, 0).empty());
    EXPECT_TRUE(GuessShapes(&one, 1, -44100).empty());
    EXPECT_TRUE(GuessShapes(&one, -1, 44100).empty());
}

TEST(GuessShapes_Signals, SilenceIsRest) {
    const std::vector<std::int16_t> silence(2 * 44100, 0);
    const auto shapes =
        GuessShapes(silence.data(), static_cast<std::int32_t>(silence.size()), 44100);
    EXPECT_EQ(Letters(shapes), std::string(200, 'X'));
}

// A voice between silences: rest at both ends, mouths moving in between, and the same answer
// at any level.
TEST(GuessShapes_Signals, VoiceBetweenSilencesAtAnyLevel) {
    std::vector<std::int16_t> voice(44100, 0);
    const auto tone = test::VoiceLike(1.0, 44100);
    voice.insert(voice.end(), tone.begin(), tone.end());
    voice.insert(voice.end(), 44100, 0);
    const auto shapes = GuessShapes(voice.data(), static_cast<std::int32_t>(voice.size()), 44100);
    ASSERT_EQ(shapes.size(), 300u);
    EXPECT_EQ(shapes[10], MouthShape::X);
    EXPECT_EQ(shapes[290], MouthShape::X);
    std::vector<std::int16_t> quiet(voice);
    for (auto& v : quiet) v = static_cast<std::int16_t>(v / 8);
    const auto quietShapes =
        GuessShapes(quiet.data(), static_cast<std::int32_t>(quiet.size()), 44100);
    int same = 0;
    for (std::size_t i = 0; i < shapes.size(); ++i) same += shapes[i] == quietShapes[i];
    EXPECT_GE(same, 285);
}

// A recorder's constant offset is no sound: the same voice with and without it gets the same
// mouths, and the offset alone is rest.
TEST(GuessShapes_Signals, OffsetChangesNothing) {
    std::vector<std::int16_t> voice(22050, 0);
    const auto tone = test::VoiceLike(1.0, 22050);
    voice.insert(voice.end(), tone.begin(), tone.end());
    std::vector<std::int16_t> shifted(voice);
    for (auto& v : shifted) v = static_cast<std::int16_t>(std::clamp(v + 6000, -32768, 32767));
    const auto plain = GuessShapes(voice.data(), static_cast<std::int32_t>(voice.size()), 22050);
    const auto offset =
        GuessShapes(shifted.data(), static_cast<std::int32_t>(shifted.size()), 22050);
    ASSERT_EQ(plain.size(), offset.size());
    int same = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) same += plain[i] == offset[i];
    EXPECT_GE(same, 190);
    EXPECT_EQ(offset[20], MouthShape::X);
}

TEST(ShapeViterbi_Path, ChangesOnlyWhenItPays) {
    ShapeViterbi viterbi(5.0f);
    // B is slightly better for one window only: not worth two changes of mouth.
    std::vector<std::vector<float>> windows(6, std::vector<float>(kMouthShapeCount, -10.0f));
    for (auto& w : windows) w[MouthShapeIndex(MouthShape::C)] = 0.0f;
    windows[2][MouthShapeIndex(MouthShape::B)] = 3.0f;
    for (int w = 4; w < 6; ++w) windows[w][MouthShapeIndex(MouthShape::D)] = 9.0f;
    for (const auto& w : windows) viterbi.Push(w.data());
    EXPECT_EQ(Letters(viterbi.Finish()), "CCCCDD");
}

}  // namespace
}  // namespace vokra

#include "palettes/auto_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "document/keyframe_list.h"
#include "platform/ini_file.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

// ---- The threshold-to-range rule ----------------------------------------------------------

struct RuleCase {
    const char* name;
    AutoKeySettings settings;  // high threshold, low threshold, high range, low range
    double loudness;           // percent of the loudest window
    double opening;            // percent
};

AutoKeySettings Rule(int highT, int lowT, int highR, int lowR) {
    AutoKeySettings s;
    s.highThreshold = highT;
    s.lowThreshold = lowT;
    s.highRange = highR;
    s.lowRange = lowR;
    return s;
}

class AutoKeyRule_Maps : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AutoKeyRule_Maps, LoudnessToOpening) {
    EXPECT_NEAR(AutoKeyOpeningPercent(GetParam().loudness, GetParam().settings), GetParam().opening,
                1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AutoKeyRule_Maps,
    ::testing::Values(RuleCase{"IdentityLoudest", Rule(100, 0, 100, 0), 100.0, 100.0},
                      RuleCase{"IdentitySilent", Rule(100, 0, 100, 0), 0.0, 0.0},
                      RuleCase{"IdentityHalf", Rule(100, 0, 100, 0), 37.5, 37.5},
                      RuleCase{"AtLowThreshold", Rule(60, 20, 120, 10), 20.0, 10.0},
                      RuleCase{"BelowLowThreshold", Rule(60, 20, 120, 10), 5.0, 10.0},
                      RuleCase{"AtHighThreshold", Rule(60, 20, 120, 10), 60.0, 120.0},
                      RuleCase{"AboveHighThreshold", Rule(60, 20, 120, 10), 90.0, 120.0},
                      RuleCase{"Between", Rule(60, 20, 120, 10), 40.0, 65.0},
                      // Reversed thresholds: each threshold keeps its own row's range.
                      RuleCase{"ReversedAtOrBelow20", Rule(20, 60, 120, 10), 20.0, 120.0},
                      RuleCase{"ReversedQuiet", Rule(20, 60, 120, 10), 3.0, 120.0},
                      RuleCase{"ReversedAtOrAbove60", Rule(20, 60, 120, 10), 60.0, 10.0},
                      RuleCase{"ReversedBetween", Rule(20, 60, 120, 10), 40.0, 65.0},
                      RuleCase{"EqualThresholdsAt", Rule(50, 50, 120, 10), 50.0, 10.0},
                      RuleCase{"EqualThresholdsAbove", Rule(50, 50, 120, 10), 50.001, 120.0},
                      RuleCase{"HighRange150", Rule(80, 0, 150, 0), 95.0, 150.0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Keying a sound -----------------------------------------------------------------------

// A sound whose 10 ms window j has peak-to-peak amplitude 20 x (j + 1), so a frame's key tells
// which window was the loudest (the last) one it gathered.
class AutoKeyFrames_Windows : public ::testing::Test {
protected:
    static constexpr std::uint32_t kRate = 8000;
    static constexpr int kWindows = 400;  // 4 seconds

    void SetUp() override {
        Profile().SetPath(std::string());
        std::vector<std::int16_t> samples(kRate * 4);
        for (int j = 0; j < kWindows; ++j) {
            // The window boundaries exactly as the measurement truncates them.
            const auto s = static_cast<std::size_t>(j / 100.0 * kRate);
            const auto e = static_cast<std::size_t>((j + 1) / 100.0 * kRate);
            const auto half = static_cast<std::int16_t>(10 * (j + 1));
            for (std::size_t i = s; i < e && i < samples.size(); ++i) {
                samples[i] = (i - s) % 2 ? static_cast<std::int16_t>(-half) : half;
            }
        }
        path_ = dir_.File("ramp.wav");
        test::WriteFile(path_, test::MakeWav16(samples, kRate));
        ASSERT_EQ(sound_.Load(path_), 0);
        ComputeMaxAmplitude(sound_, 100.0);
    }

    // The loudest window index of each keyed frame.
    std::map<int, int> LastWindows(double fps, int first, int last) {
        KeyframeList keys;
        EXPECT_EQ(AutoKeyFrames(sound_, g_maxAmplitude, fps, first, last, AutoKeySettings{}, keys),
                  last - first + 1);
        std::map<int, int> out;
        for (int i = 0; i < keys.GetCount(); ++i) {
            const Keyframe* k = keys.GetAt(i);
            out[k->GetFrame()] =
                static_cast<int>(std::lround(k->GetOpening() * g_maxAmplitude / 20.0)) - 1;
        }
        return out;
    }

    // How many windows the frame gathers: those whose start (j / 100.0) x F lies in the frame.
    static int ExpectedCount(double fps, int frame) {
        int n = 0;
        for (int j = 0; j < kWindows; ++j) {
            if (static_cast<int>(std::floor((j / 100.0) * fps)) == frame) ++n;
        }
        return n;
    }

    test::TempDir dir_;
    std::string path_;
    SoundData sound_;
};

class AutoKeyFrames_WindowCounts : public AutoKeyFrames_Windows,
                                   public ::testing::WithParamInterface<double> {};

TEST_P(AutoKeyFrames_WindowCounts, EveryWindowCountsForExactlyOneFrame) {
    const double fps = GetParam();
    const int lastFullFrame = static_cast<int>(std::floor(kWindows / 100.0 * fps)) - 2;
    const auto windows = LastWindows(fps, 0, lastFullFrame);
    std::map<int, int> histogram;
    int previous = -1;
    for (int f = 0; f <= lastFullFrame; ++f) {
        const int count = windows.at(f) - previous;
        EXPECT_EQ(count, ExpectedCount(fps, f)) << "frame " << f;
        ++histogram[count];
        previous = windows.at(f);
    }
    if (fps == 25.0) {
        // Mostly four windows, but the double-precision frame start of a window gives a few
        // frames three and a few five.
        EXPECT_GT(histogram[4], histogram[3] + histogram[5]);
        EXPECT_GT(histogram[3], 0);
        EXPECT_GT(histogram[5], 0);
    } else if (fps == 30.0) {
        EXPECT_EQ(histogram.size(), 2u);
        EXPECT_GT(histogram[3], 0);
        EXPECT_GT(histogram[4], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AutoKeyFrames_WindowCounts,
                         ::testing::Values(25.0, 30.0, 29.97, 7.5));

TEST_F(AutoKeyFrames_Windows, RangeStartingMidSoundBeginsAtItsOwnWindow) {
    // Frame 40 at 25 fps starts with window trunc(40 x 100 / 25) = 160; it gathers four windows.
    const auto windows = LastWindows(25.0, 40, 41);
    EXPECT_EQ(windows.at(40), 163);
}

TEST_F(AutoKeyFrames_Windows, KeysOutsideTheRangeKeptInsideReplaced) {
    KeyframeList keys;
    keys.SetKey(Keyframe(2, 1.9f));
    keys.SetKey(Keyframe(5, 1.9f));
    keys.SetKey(Keyframe(9, 1.9f));
    EXPECT_EQ(AutoKeyFrames(sound_, g_maxAmplitude, 25.0, 4, 6, AutoKeySettings{}, keys), 3);
    ASSERT_EQ(keys.GetCount(), 5);
    EXPECT_EQ(keys.GetAt(0)->GetOpening(), 1.9f);
    EXPECT_EQ(keys.GetAt(4)->GetOpening(), 1.9f);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(keys.GetAt(i)->GetFrame(), 3 + i);
        EXPECT_LT(keys.GetAt(i)->GetOpening(), 1.0f);
    }
}

TEST_F(AutoKeyFrames_Windows, EmptyRangeOrNoSoundKeysNothing) {
    KeyframeList keys;
    EXPECT_EQ(AutoKeyFrames(sound_, g_maxAmplitude, 25.0, 7, 6, AutoKeySettings{}, keys), 0);
    SoundData empty;
    EXPECT_EQ(AutoKeyFrames(empty, g_maxAmplitude, 25.0, 0, 6, AutoKeySettings{}, keys), 0);
    EXPECT_EQ(keys.GetCount(), 0);
}

TEST_F(AutoKeyFrames_Windows, OpeningsClampedAndStoredAsFloat) {
    KeyframeList keys;
    // The loudest frames map to 150 %: the largest opening AutoKey writes is 1.5.
    AutoKeyFrames(sound_, g_maxAmplitude, 25.0, 0, 98, Rule(50, 0, 150, 0), keys);
    EXPECT_EQ(keys.GetAt(98)->GetOpening(), 1.5f);
    // Frame 10's loudest window is 43: 100 x 880 / 8000 = 11 % -> 0.33 on the 0..150 % line.
    const double expected = 11.0 / 50.0 * 150.0 / 100.0;
    EXPECT_EQ(keys.GetAt(10)->GetOpening(), static_cast<float>(expected));
}

// The keying loop measures its windows without going through WindowPeakToPeak; the keys must be
// bit for bit those of the plain loop over WindowPeakToPeak, whatever the rates.
struct RatesCase {
    std::uint32_t sampleRate;
    double fps;
};

class AutoKeyFrames_SameAsPlainLoop : public ::testing::TestWithParam<RatesCase> {};

TEST_P(AutoKeyFrames_SameAsPlainLoop, KeysBitForBit) {
    const auto [rate, fps] = GetParam();
    test::TempDir dir;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * 1.234) + 7);
    std::uint32_t seed = rate;
    for (auto& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        // Loud and quiet stretches, so that the rule's three cases all occur.
        const int scale = (seed >> 28) < 5 ? 2000 : 30000;
        s = static_cast<std::int16_t>(static_cast<int>((seed >> 8) % (2 * scale + 1)) - scale);
    }
    // A quiet end whose very last sample, which no window measures, would be the loudest.
    const std::size_t quiet = rate / 25;
    for (std::size_t i = samples.size() - quiet; i < samples.size(); ++i) samples[i] /= 16;
    samples.back() = 32767;
    test::WriteFile(dir.File("noise.wav"), test::MakeWav16(samples, rate));
    SoundData sound;
    ASSERT_EQ(sound.Load(dir.File("noise.wav")), 0);
    ComputeMaxAmplitude(sound, 100.0);
    const AutoKeySettings settings = Rule(70, 20, 130, 5);
    const int first = 3;
    const int last = static_cast<int>(samples.size() / static_cast<double>(rate) * fps);

    KeyframeList keys;
    AutoKeyFrames(sound, g_maxAmplitude, fps, first, last, settings, keys);

    // The steps, one by one.
    KeyframeList plain;
    int j = static_cast<int>((first * 100.0) / fps);
    double cur = WindowPeakToPeak(sound, j, 100.0);
    for (int f = first; f <= last; ++f) {
        double peak = cur;
        ++j;
        cur = WindowPeakToPeak(sound, j, 100.0);
        double t = (j / 100.0) * fps;
        while (f + 1 > t) {
            if (cur > peak) peak = cur;
            ++j;
            cur = WindowPeakToPeak(sound, j, 100.0);
            t = (j / 100.0) * fps;
        }
        double v = AutoKeyOpeningPercent(100.0 * peak / g_maxAmplitude, settings) / 100.0;
        v = std::min(std::max(v, 0.0), 1.5);
        plain.SetKey(Keyframe(f, static_cast<float>(v)));
    }

    ASSERT_EQ(keys.GetCount(), plain.GetCount());
    for (int i = 0; i < keys.GetCount(); ++i) {
        EXPECT_EQ(keys.GetAt(i)->GetFrame(), plain.GetAt(i)->GetFrame());
        EXPECT_EQ(keys.GetAt(i)->GetOpening(), plain.GetAt(i)->GetOpening())
            << "frame " << keys.GetAt(i)->GetFrame();
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AutoKeyFrames_SameAsPlainLoop,
                         ::testing::Values(RatesCase{4000, 7.5}, RatesCase{8000, 12.5},
                                           RatesCase{11025, 14.985}, RatesCase{11025, 25.0},
                                           RatesCase{22050, 29.97}, RatesCase{44100, 30.0},
                                           RatesCase{44100, 100.0}, RatesCase{32000, 1.0}),
                         [](const auto& info) {
                             std::string fps = std::to_string(info.param.fps);
                             for (char& c : fps) c = c == '.' ? '_' : c;
                             return "Rate" + std::to_string(info.param.sampleRate) + "Fps" + fps;
                         });

}  // namespace
}  // namespace vokra

#include "palettes/auto_key.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vokra

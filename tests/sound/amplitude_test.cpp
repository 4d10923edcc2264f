#include "sound/amplitude.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

// A silent sound with a few samples set: the positions show which window a sample falls in.
struct Spikes {
    std::uint32_t rate;
    std::int32_t count;
    std::vector<std::pair<std::int32_t, std::int16_t>> set;
};

void LoadSpikes(SoundData& sound, const Spikes& s, bool eightBit = false) {
    test::TempDir dir;
    if (eightBit) {
        std::vector<std::uint8_t> v(static_cast<std::size_t>(s.count), 128);
        for (auto [i, x] : s.set) v[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x);
        test::WriteFile(dir.File("s.wav"), test::MakeWav8(v, s.rate));
    } else {
        std::vector<std::int16_t> v(static_cast<std::size_t>(s.count), 0);
        for (auto [i, x] : s.set) v[static_cast<std::size_t>(i)] = x;
        test::WriteFile(dir.File("s.wav"), test::MakeWav16(v, s.rate));
    }
    ASSERT_EQ(sound.Load(dir.File("s.wav")), 0);
}

struct WindowCase {
    const char* name;
    Spikes sound;
    bool eightBit;
    std::int32_t index;
    double windowsPerSecond;
    double expected;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<WindowCase> WindowCases() {
    const Spikes at440{44100, 44100, {{440, 1000}}};
    const Spikes at441{44100, 44100, {{441, 1000}}};
    // trunc(0.35 * 44100) is 15434, so window 34 ends before sample 15434 and window 35 starts
    // there; multiplying before dividing would put the boundary at 15435.
    const Spikes at15434{44100, 44100, {{15434, 1000}}};
    const Spikes at330{11025, 11025, {{330, 500}}};
    const Spikes at329{11025, 11025, {{329, 500}}};
    const Spikes at440slow{11025, 11025, {{440, 500}}};
    const Spikes last{8000, 2000, {{1999, 700}}};
    const Spikes square{8000, 2000, {{100, -32768}, {101, 32767}}};
    const Spikes bytes{8000, 2000, {{10, 0}, {11, 255}}};
    return {
        {"Window0HoldsSample440At44100", at440, false, 0, 100, 1000},
        {"Window1LacksSample440At44100", at440, false, 1, 100, 0},
        {"Window1HoldsSample441At44100", at441, false, 1, 100, 1000},
        {"Window34EndsBefore15434", at15434, false, 34, 100, 0},
        {"Window35StartsAt15434", at15434, false, 35, 100, 1000},
        {"Window3StartsAt330At11025", at330, false, 3, 100, 500},
        {"Window2EndsBefore330At11025", at330, false, 2, 100, 0},
        {"Window2HoldsSample329At11025", at329, false, 2, 100, 500},
        {"Window3HoldsSample440At11025", at440slow, false, 3, 100, 500},
        {"Window4LacksSample440At11025", at440slow, false, 4, 100, 0},
        {"LastSampleInNoWindow", last, false, 24, 100, 0},
        {"NegativeIndex", square, false, -1, 100, 0},
        {"WindowPastTheEnd", square, false, 1000, 100, 0},
        {"SingleSampleWindow", square, false, 100, 8000, 0},
        {"FullScaleSquare", square, false, 1, 100, 65535},
        {"EightBitFullSwing", bytes, true, 0, 100, 65280},
    };
}

class Amplitude_Window : public ::testing::TestWithParam<WindowCase> {};

TEST_P(Amplitude_Window, PeakToPeak) {
    const WindowCase& c = GetParam();
    SoundData sound;
    LoadSpikes(sound, c.sound, c.eightBit);
    EXPECT_EQ(WindowPeakToPeak(sound, c.index, c.windowsPerSecond), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Amplitude_Window, ::testing::ValuesIn(WindowCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct MaxCase {
    const char* name;
    Spikes sound;
    double expected;
};

void PrintTo(const MaxCase& c, std::ostream* os) {
    *os << c.name;
}

class Amplitude_Max : public ::testing::TestWithParam<MaxCase> {};

TEST_P(Amplitude_Max, LargestWindowNeverBelowOne) {
    const MaxCase& c = GetParam();
    SoundData sound;
    LoadSpikes(sound, c.sound);
    g_maxAmplitude = 12345.0;
    ComputeMaxAmplitude(sound, 100);
    EXPECT_EQ(g_maxAmplitude, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Amplitude_Max,
    ::testing::Values(
        MaxCase{"Silent", {8000, 2000, {}}, 1.0},
        MaxCase{"PeakInOneWindow", {11025, 11025, {{5000, 30}, {5001, -40}}}, 70.0},
        MaxCase{"PeaksSplitByBoundary", {11025, 11025, {{329, 900}, {330, -900}}}, 900},
        MaxCase{"LastSampleIgnored", {8000, 2000, {{1999, 32767}, {3, 2}}}, 2.0},
        MaxCase{"LargestOfSeveral", {44100, 44100, {{0, 10}, {20000, 300}, {44098, -50}}}, 300}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Amplitude_Max, NothingLoadedGivesOne) {
    SoundData sound;
    g_maxAmplitude = 0.0;
    ComputeMaxAmplitude(sound, 100);
    EXPECT_EQ(g_maxAmplitude, 1.0);
    EXPECT_EQ(WindowPeakToPeak(sound, 0, 100), 0.0);
}

}  // namespace
}  // namespace vokra

namespace vokra {
namespace {

// The whole-sound scan walks the windows its own way; it must find exactly the largest of what
// WindowPeakToPeak measures, window by window, at any rate and window count.
class Amplitude_MaxMatchesWindows
    : public ::testing::TestWithParam<std::tuple<std::uint32_t, double>> {};

TEST_P(Amplitude_MaxMatchesWindows, ForVoiceLikeSound) {
    const auto [rate, windowsPerSecond] = GetParam();
    std::vector<std::int16_t> v = test::VoiceLike(1.3, rate);
    // A lone spike that only one window boundary decides about.
    v[v.size() / 3] = 32767;
    v[v.size() / 3 + 1] = -32768;
    test::TempDir dir;
    test::WriteFile(dir.File("v.wav"), test::MakeWav16(v, rate));
    SoundData sound;
    ASSERT_EQ(sound.Load(dir.File("v.wav")), 0);
    double expected = 1.0;
    for (std::int32_t i = 0; i < 100000; ++i) {
        expected = std::max(expected, WindowPeakToPeak(sound, i, windowsPerSecond));
    }
    ComputeMaxAmplitude(sound, windowsPerSecond);
    EXPECT_EQ(g_maxAmplitude, expected);
}

INSTANTIATE_TEST_SUITE_P(Rates, Amplitude_MaxMatchesWindows,
                         ::testing::Combine(::testing::Values(4000u, 11025u, 22050u, 44100u),
                                            ::testing::Values(100.0, 30.0, 29.97, 7.0, 1e9)));

}  // namespace
}  // namespace vokra

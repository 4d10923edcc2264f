// The engine's frames: the same whatever the blocks, as fast as possible or in real time; well
// formed; at rest over noise alone; and the mouth-to-vowel table's edits.
#include "live/live_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "live/live_session.h"
#include "live/live_vrm_map.h"
#include "sound/import/wave_bytes.h"
#include "tests/live/live_test_sound.h"
#include "tests/shapes/speech_like.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

using test::LiveLine;

std::vector<LiveFrame> RunBlocks(const std::vector<std::int16_t>& sound, std::int32_t rate,
                                 std::size_t block, const LiveSettings& settings = {}) {
    std::vector<LiveFrame> frames;
    LiveEngine engine(rate, settings, [&](const LiveFrame& f) { frames.push_back(f); });
    for (std::size_t at = 0; at < sound.size(); at += block)
        engine.Push(sound.data() + at,
                    static_cast<std::int64_t>(std::min(block, sound.size() - at)));
    engine.Finish();
    return frames;
}

bool SameFrames(const std::vector<LiveFrame>& a, const std::vector<LiveFrame>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].window != b[i].window || a[i].mouth != b[i].mouth ||
            a[i].weights != b[i].weights || a[i].opening != b[i].opening ||
            a[i].levelDb != b[i].levelDb)
            return false;
    return true;
}

// Blocks of one sample, odd sizes, a device's 10 ms and a pipe's large reads, at several rates
// and settings: the same frames, one per window in order, every weight set well formed.
TEST(LiveEngine, FramesDependOnTheSamplesAloneAndAreWellFormed) {
    struct Case {
        std::int32_t rate;
        LiveSettings settings;
    };
    const Case cases[] = {
        {16000, {}}, {48000, {}}, {44100, {0, 0, 0.5, 0}}, {22050, {120, 200, 1.0, 80}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const auto sound = LiveLine(c.rate);
        const auto reference =
            RunBlocks(sound, c.rate, static_cast<std::size_t>(c.rate / 100), c.settings);
        for (std::size_t block : {std::size_t{1}, std::size_t{37}, std::size_t{4096}})
            EXPECT_TRUE(SameFrames(reference, RunBlocks(sound, c.rate, block, c.settings)))
                << block;
        const auto windows = (static_cast<std::int64_t>(sound.size()) * 100 + c.rate - 1) / c.rate;
        ASSERT_GE(static_cast<std::int64_t>(reference.size()), windows - 1);
        std::set<MouthShape> seen;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            const LiveFrame& f = reference[i];
            ASSERT_EQ(f.window, static_cast<std::int64_t>(i));
            const float sum = std::accumulate(f.weights.begin(), f.weights.end(), 0.0f);
            EXPECT_NEAR(sum, 1.0f, 1e-5f);
            EXPECT_LE(
                std::count_if(f.weights.begin(), f.weights.end(), [](float w) { return w > 0; }),
                2);
            EXPECT_GT(f.weights[static_cast<std::size_t>(MouthShapeIndex(f.mouth))], 0.0f);
            EXPECT_TRUE(f.opening >= 0.0f && f.opening <= 1.0f);
            // Decided once the look-ahead (and the analysis frame's half window) had arrived.
            EXPECT_GE(f.decidedAt,
                      (f.window + 1 + (c.settings.lookAheadMs + 5) / 10) * c.rate / 100);
            seen.insert(f.mouth);
        }
        // A spoken line opens the mouth in several ways, and starts and ends at rest.
        EXPECT_GE(seen.size(), 4u);
        EXPECT_EQ(reference.front().mouth, MouthShape::X);
        EXPECT_EQ(reference.back().mouth, MouthShape::X);
    }
}

// A room's noise alone, loud or faint, and keyboard clicks in it: the gate keeps the mouth at rest.
TEST(LiveEngine, NoiseAloneLeavesTheMouthAtRest) {
    const std::int32_t rate = 16000;
    const std::vector<std::int16_t> silence(static_cast<std::size_t>(rate) * 4, 0);
    for (double dbfs : {-70.0, -50.0, -35.0}) {
        auto noise = test::WithNoise(silence, rate, test::NoiseKind::Pink, dbfs);
        // Clicks: 3 ms bursts 20 dB over the floor, five a second.
        for (std::size_t at = rate; at + 48 < noise.size(); at += rate / 5)
            for (std::size_t i = 0; i < 48; ++i)
                noise[at + i] =
                    static_cast<std::int16_t>(std::clamp(noise[at + i] * 10, -32767, 32767));
        const auto frames = RunBlocks(noise, rate, 160);
        const auto open = std::count_if(frames.begin() + 100, frames.end(), [](const LiveFrame& f) {
            return f.mouth != MouthShape::X;
        });
        EXPECT_LE(open, static_cast<std::ptrdiff_t>(frames.size() / 20)) << dbfs;
    }
}

// The file as fast as the CPU allows gives exactly the frames the real-time run gives.
TEST(LiveSession, FastestRunEqualsRealTimeRun) {
    test::TempDir dir;
    const std::int32_t rate = 16000;
    auto sound = LiveLine(rate);
    sound.resize(static_cast<std::size_t>(rate) * 2);
    const std::string path = dir.File("line.wav");
    ASSERT_TRUE(WriteWaveFile(path, sound, rate));
    std::vector<std::vector<LiveFrame>> runs;
    for (bool fastest : {true, false}) {
        std::string error;
        auto source = OpenLiveFile(path, error);
        ASSERT_TRUE(source) << error;
        test::FrameCollector collector;
        LiveRunOptions options;
        options.fastest = fastest;
        std::atomic<bool> stop{false};
        LiveRunStats stats;
        ASSERT_TRUE(RunLive(*source, {&collector}, options, stop, stats, error)) << error;
        EXPECT_EQ(stats.dropped, 0u);
        EXPECT_EQ(stats.samples, static_cast<std::int64_t>(sound.size()));
        runs.push_back(collector.frames);
    }
    ASSERT_GE(runs[0].size(), 199u);
    EXPECT_TRUE(SameFrames(runs[0], runs[1]));
}

TEST(LiveVrmMap, EditsAndRefusals) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"C: E 0.5, A 0.5 ; open 0.4 ; smile 0.6\n# a comment\n", true},
        {"x: aa 1\n", true},
        {"B: none ; open 0\n", true},
        {"C E 0.5\n", false},
        {"Q: A 1\n", false},
        {"C: Z 1\n", false},
        {"C: A 1.5\n", false},
        {"C: A nan\n", false},
        {"C: A\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LiveVrmMap map = DefaultLiveVrmMap();
        std::string error;
        EXPECT_EQ(ParseLiveVrmMap(c.text, map, error), c.ok);
        if (!c.ok) {
            EXPECT_EQ(map.vowels, DefaultLiveVrmMap().vowels);  // left as it was
            EXPECT_NE(error.find("line 1"), std::string::npos);
        }
    }
    LiveVrmMap map = DefaultLiveVrmMap();
    std::string error;
    ASSERT_TRUE(ParseLiveVrmMap("C: E 0.5, A 0.5 ; open 0.4\nX: aa 1", map, error));
    LiveFrame frame;
    frame.weights[static_cast<std::size_t>(MouthShapeIndex(MouthShape::C))] = 0.5f;
    frame.weights[static_cast<std::size_t>(MouthShapeIndex(MouthShape::D))] = 0.5f;
    frame.opening = 0.8f;
    const auto v = VrmVowelValues(map, frame);
    EXPECT_FLOAT_EQ(v[0], 0.8f * (0.5f * 0.5f + 0.5f * 1.0f));  // A
    EXPECT_FLOAT_EQ(v[3], 0.8f * 0.5f * 0.5f);                  // E
    EXPECT_FLOAT_EQ(VtsMouthOpen(map, frame), 0.8f * (0.5f * 0.4f + 0.5f * 1.0f));
}

}  // namespace
}  // namespace vokra

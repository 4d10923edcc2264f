// The same spoken line with the noise floors real microphones have: the mouths must not care
// whether the pauses are digital zeros or a hiss.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shapes/shape_estimator.h"
#include "tests/shapes/speech_like.h"

namespace vokra {
namespace {

constexpr std::int32_t kRate = 22050;

std::vector<MouthShape> FramesOf(const std::vector<std::int16_t>& samples) {
    const auto per10ms =
        GuessShapes(samples.data(), static_cast<std::int32_t>(samples.size()), kRate);
    const auto frames = static_cast<std::int32_t>(samples.size() * 24 / kRate);
    return ShapesForFrames(per10ms, kRate, 24.0, 0, frames - 1);
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
    EXPECT_GE(same, c.agree * static_cast<double>(clean.size()))
        << "clean " << a << "\nnoisy " << b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeNoise_Floors,
    ::testing::Values(NoiseCase{"Hiss90dBFS", test::NoiseKind::White, -90, 0, 0.95},
                      NoiseCase{"Hiss80dBFS", test::NoiseKind::White, -80, 0, 0.95},
                      NoiseCase{"Hiss70dBFS", test::NoiseKind::White, -70, 0, 0.95},
                      NoiseCase{"Hiss60dBFS", test::NoiseKind::White, -60, 0, 0.95}),
    [](const auto& info) { return std::string(info.param.name); });

// Pink noise close under the voice still moves short mouths on this line more than these targets
// allow (shapes/training/README.md has the figures); kept here, off, as the bar to clear.
INSTANTIATE_TEST_SUITE_P(
    DISABLED_Targets, ShapeNoise_Floors,
    ::testing::Values(NoiseCase{"Pink30dBSnr", test::NoiseKind::Pink, 0, 30, 0.95},
                      NoiseCase{"Pink20dBSnr", test::NoiseKind::Pink, 0, 20, 0.90}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

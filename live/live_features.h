#pragma once
// The shape features of shape_features.h, window by window as the samples arrive, with the
// levels the offline features measure over the whole recording (its offset, its quiet floor, its
// noise and the voice's level) followed as they go: a histogram of the window levels that
// forgets the past slowly, and the noise averaged over the windows near the floor. Nothing is
// allocated after construction.
#include <array>
#include <cstdint>

#include "shapes/shape_features.h"

namespace vokra {

class LiveFeatures {
public:
    static constexpr int kPerWindow = ShapeFeatureStream::kPerWindow;
    static constexpr int kMaxRate = 192000;
    static constexpr int kMinRate = 8000;

    explicit LiveFeatures(std::int32_t sampleRate);
    std::int32_t Rate() const { return rate_; }

    // Takes one sample; true when a window is complete and the features of the window before it
    // are in `out` (kShapeFeatureCount values).
    bool Push(std::int16_t sample, float* out);
    // The features of a silent window at the levels followed so far.
    void Silence(float* out) const;

    // Of the window whose features came last: its level in dB relative to full scale, and
    // whether it rises over the floor by the gate's margin.
    double LastLevelDb() const { return lastLevelDb_; }
    double QuietDb() const { return quietDb_; }
    double VoiceDb() const { return refDb_; }
    // The level over which a window is voice, in the same decibels as the histogram.
    double LevelDb(double meanSquare) const;

private:
    void CloseWindow();
    void FollowLevels(double meanSquare);
    void Features(float* out);
    float Relative(double meanSquare) const;

    std::int32_t rate_;
    std::int64_t window_ = 0;  // the window being filled
    std::int32_t span_ = 0;    // its length in samples
    std::int32_t filled_ = 0;  // samples in it so far
    std::array<std::int16_t, kMaxRate / 100 + 1> samples_{};
    int completed_ = 0;  // windows decimated so far, up to 2
    std::array<float, 3 * kPerWindow> frame_{};
    std::array<double, 3> energy_{};  // each frame window's mean square
    std::array<double, 3> low_{};     // and at 8 kHz
    std::array<float, 12> noiseSums_{};
    std::array<float, 34> noiseSpectrum_{};
    double noiseMs_ = 0.0, noiseHighMs_ = 0.0;
    bool haveNoise = false;
    double dc_ = 0.0;
    double held_ = 0.0;
    std::array<float, 280> histogram_{};
    double quietDb_ = -30.0;
    double refDb_ = 5.0;
    double floorDb_ = -30.0;
    double floorMs_ = 1e-3;
    double lastLevelDb_ = -30.0;
};

}  // namespace vokra

#pragma once
// Live lip sync's analysis: samples in, in blocks of any size, and one frame out per 10 ms window
// of the sound, decided once the look-ahead past it has arrived. The model scores each window
// from the features of the windows around it that have been heard (those not yet heard read as
// the last one that has); the scores pass through the same change cost the offline guess pays,
// and each window gets the mouth of the best path back from the newest window heard; a new mouth
// is shown only after the least hold and when the look-ahead keeps it for its least duration,
// so it does not chatter. A noise gate over the followed floor keeps the mouth at rest for keyboard
// and room noise. Frames depend on the samples alone, never on how they were cut into blocks or
// when they came: the file processed as fast as possible gives exactly the frames of the real-time
// run. Nothing is allocated per block.
#include <array>
#include <cstdint>
#include <functional>

#include "live/live_features.h"
#include "live/live_frame.h"
#include "live/live_settings.h"

namespace vokra {

class LiveEngine {
public:
    using FrameCallback = std::function<void(const LiveFrame&)>;
    LiveEngine(std::int32_t sampleRate, const LiveSettings& settings, FrameCallback onFrame);

    std::int32_t Rate() const { return features_.Rate(); }
    const LiveSettings& Settings() const { return settings_; }
    // Mono samples in order.
    void Push(const std::int16_t* samples, std::int64_t count);
    // The input has ended: the frames still waiting for their look-ahead come out, heard
    // against silence.
    void Finish();
    std::int64_t SamplesIn() const { return samplesIn_; }
    // The gate's threshold and the followed levels, in dB relative to full scale.
    double GateDb() const;
    double FloorDb() const;

private:
    void Window(const float* features);
    void Decide(std::int64_t t);
    // Window s's scores from the features heard so far; rest when the gate is shut.
    void Score(std::int64_t s, bool open, float* scores) const;

    static constexpr int kRing = 32;
    LiveSettings settings_;
    FrameCallback onFrame_;
    LiveFeatures features_;
    int lookAhead_ = 3;  // windows
    int hold_ = 8;       // windows
    std::array<std::array<float, kShapeFeatureCount>, kRing> ring_{};
    std::array<float, kRing> levels_{};  // each window's level, dB as the features measure it
    std::array<bool, kRing> voiced_{};   // each window over the gate
    std::int64_t newest_ = -1;           // the newest window with features
    std::int64_t lastVoiced_ = -1000;    // the newest window of a sustained run over the gate
    std::int64_t runStart_ = 0;          // where the run over the gate that goes on began
    std::int64_t samplesIn_ = 0;
    std::array<float, kMouthShapeCount> totals_{};
    // The way back through the look-ahead's windows, per window and mouth.
    std::array<std::array<std::uint8_t, kMouthShapeCount>, LiveSettings::kMaxLookAheadMs / 10 + 2>
        back_{};
    bool started_ = false;
    MouthShape shown_ = MouthShape::X;
    MouthShape before_ = MouthShape::X;  // the mouth the shown one fades in over
    std::int64_t shownSince_ = 0;
    float opening_ = 0.0f;
    bool finished_ = false;
};

}  // namespace vokra

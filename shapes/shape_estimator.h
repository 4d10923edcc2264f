#pragma once
// Which mouth the voice needs, from the samples alone: no words, no language, nothing loaded at
// run time. Every 10 ms of the sound is described (shape_features.h), scored for the nine mouths
// by a small model trained offline on labelled speech in many languages (shapes/training/), and
// the best sequence of mouths is found with a Viterbi pass; then the rules animators time mouths
// by are applied: no mouth shorter than it can be seen, lips closed a little before the sound of
// M, B, P.
#include <cstdint>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/shape_options.h"
#include "shapes/shape_source.h"
#include "shapes/shape_timing.h"

namespace vokra {

// One shape per 10 ms of the sound: element i covers samples [i*rate/100, (i+1)*rate/100).
// Empty for no samples or a rate that is not positive. The chain of steps: the first shapes from
// `source`, then the timing rules (shape_timing.h), the lead (shape_lead.h) and the rig's shapes
// (shape_set.h) as `options` ask.
std::vector<MouthShape> GuessShapes(const ShapeSource& source, const std::int16_t* samples,
                                    std::int32_t count, std::int32_t sampleRate,
                                    const ShapeOptions& options);
// The same from the sound alone.
std::vector<MouthShape> GuessShapes(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ShapeOptions& options = {});

// The first step from the sound alone: the model's scores and the best path through them.
class SoundShapes final : public ShapeSource {
public:
    std::vector<MouthShape> WindowShapes(const std::int16_t* samples, std::int32_t count,
                                         std::int32_t sampleRate) const override;
};

// The shape of each animation frame from `first` to `last` (inclusive) at `frameRate`, from the
// 10 ms shapes: frame f gathers the 10 ms windows AutoKey gathers for it, and shows the mouth
// that covers most of them (closed lips counting double, so a short closure is still seen).
// Windows past the sound are rest. Empty when first > last or the rate is not positive.
std::vector<MouthShape> ShapesForFrames(const std::vector<MouthShape>& per10ms,
                                        std::int32_t sampleRate, double frameRate,
                                        std::int32_t first, std::int32_t last);

// One window's scores as the guess walks them (`input` as ShapeInputStream gives it): rest where
// nothing rises above the recording's floor, else the model's log-scores less `priorWeight` of
// each mouth's share in training. The script's alignment walks the same scores.
void ScoreWindow(const float* input, float* scores, float priorWeight);

// The best path through per-window scores (log-likelihoods, kMouthShapeCount per window), with
// a fixed cost for changing mouths. Streams: it keeps one byte per shape and window for the way
// back, nothing else per window.
class ShapeViterbi {
public:
    explicit ShapeViterbi(float changeCost, std::int32_t expectedWindows = 0);
    void Push(const float* scores);
    std::vector<MouthShape> Finish();
    // Bytes held per window (for the memory report).
    static constexpr int kBytesPerWindow = kMouthShapeCount;

private:
    float changeCost_;
    std::vector<float> total_;
    std::vector<std::uint8_t> back_;
};

}  // namespace vokra

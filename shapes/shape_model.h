#pragma once
// The scorer behind the estimator: the features of a few windows around one window in, a
// log-score for each of the nine mouths out.
#include <array>
#include <cstdint>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/shape_features.h"

namespace vokra {

// `input` holds kShapeInputCount values: the features of each context window in order.
void ScoreShapes(const float* input, float* scores);

// The cost of changing mouths in the Viterbi pass, in the scores' units.
float ShapeChangeCost();

// How much of each mouth's share of the training speech the estimator takes back out of the
// scores, so that rare mouths (closures, F/V) are not drowned by common ones.
float ShapePriorWeight();
// Takes `weight` times each mouth's log share of the training speech off `scores`.
void RemoveShapePrior(float* scores, float weight);

// What the training and evaluation tools vary; the estimator uses the defaults.
struct ShapeTuning {
    float changeCost = ShapeChangeCost();
    float priorWeight = ShapePriorWeight();
    bool timing = true;  // least durations and early closures
};
std::vector<MouthShape> GuessShapes(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ShapeTuning& tuning);

}  // namespace vokra

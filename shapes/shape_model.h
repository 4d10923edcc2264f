#pragma once
// The scorer behind the estimator: the features of a few windows around one window in, a
// log-score for each of the nine mouths out.
#include <array>

#include "shapes/mouth_shape.h"
#include "shapes/shape_features.h"

namespace vokra {

// The windows the scorer looks at, relative to the one it scores.
inline constexpr std::array<int, 7> kShapeContext = {-4, -2, -1, 0, 1, 2, 4};
inline constexpr int kShapeContextReach = 4;
inline constexpr int kShapeInputCount = static_cast<int>(kShapeContext.size()) * kShapeFeatureCount;

// `input` holds kShapeInputCount values: the features of each context window in order.
void ScoreShapes(const float* input, float* scores);

// The cost of changing mouths in the Viterbi pass, in the scores' units.
float ShapeChangeCost();

}  // namespace vokra

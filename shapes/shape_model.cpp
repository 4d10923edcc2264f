#include "shapes/shape_model.h"

#include <algorithm>
#include <cmath>

// The training scripts build a second copy of the tool against weights they have just written
// elsewhere (VOKRA_SHAPE_WEIGHTS), so tuning sees the new model, not the source tree's.
#ifdef VOKRA_SHAPE_WEIGHTS_HEADER
#include VOKRA_SHAPE_WEIGHTS_HEADER
#else
#include "shapes/shape_model_weights.h"
#endif

namespace vokra {

// Two hidden layers of rectifiers, then the log-probability of each mouth. The layers are
// stored input-major so the inner loops run over independent sums the compiler vectorises.
VOKRA_SHAPES_VECTOR
void ScoreShapes(const float* input, float* scores) {
    using namespace shape_model;
    // Weights made for other features (while the features change, before train.sh has run
    // again) score every mouth alike; the training tool still builds and the tests fail.
    if constexpr (kInputs != kShapeInputCount) {
        std::fill(scores, scores + kMouthShapeCount, 0.0f);
        return;
    }
    float first[kHidden1];
    std::copy(kB1, kB1 + kHidden1, first);
    for (int i = 0; i < kInputs; ++i) {
        const float x = input[i];
        const float* w = kW1 + i * kHidden1;
        for (int j = 0; j < kHidden1; ++j) first[j] += w[j] * x;
    }
    float second[kHidden2];
    std::copy(kB2, kB2 + kHidden2, second);
    for (int i = 0; i < kHidden1; ++i) {
        const float h = std::max(first[i], 0.0f);
        const float* w = kW2 + i * kHidden2;
        for (int j = 0; j < kHidden2; ++j) second[j] += w[j] * h;
    }
    float out[kMouthShapeCount];
    std::copy(kB3, kB3 + kMouthShapeCount, out);
    for (int j = 0; j < kHidden2; ++j) {
        const float h = std::max(second[j], 0.0f);
        const float* w = kW3 + j * kMouthShapeCount;
        for (int s = 0; s < kMouthShapeCount; ++s) out[s] += w[s] * h;
    }
    const float top = *std::max_element(out, out + kMouthShapeCount);
    float sum = 0.0f;
    for (int s = 0; s < kMouthShapeCount; ++s) sum += std::exp(out[s] - top);
    const float norm = top + std::log(sum);
    for (int s = 0; s < kMouthShapeCount; ++s) scores[s] = out[s] - norm;
}

float ShapeChangeCost() {
    return shape_model::kChangeCost;
}

float ShapePriorWeight() {
    return shape_model::kPriorWeight;
}

void RemoveShapePrior(float* scores, float weight) {
    for (int s = 0; s < kMouthShapeCount; ++s) scores[s] -= weight * shape_model::kLogPrior[s];
}

}  // namespace vokra

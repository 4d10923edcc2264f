#include "shapes/shape_model.h"

#include <algorithm>
#include <cmath>

namespace vokra {
namespace {

// Hand-made rules on the centre window: rest when quiet, teeth for hissing, lip on teeth for
// weak broad hiss, closed lips for a quiet murmur with its energy low, and vowels by where their
// energy sits (rounded low, wide open loud and bright).
MouthShape RuleShape(const float* f) {
    const float energy = f[kShapeMelBands];
    const float high = f[kShapeMelBands + 1];
    const float crossings = f[kShapeMelBands + 2];
    const float floor = f[kShapeMelBands + 3];
    if (energy < -2.0f || energy < floor + 0.3f) return MouthShape::X;
    if (crossings > 0.6f || high > energy - 0.3f)
        return energy < -1.0f ? MouthShape::G : MouthShape::B;
    double sum = 0.0, weighted = 0.0;
    for (int b = 0; b < kShapeMelBands; ++b) {
        const double e = std::pow(10.0, 2.0 * f[b]);
        sum += e;
        weighted += e * b;
    }
    const double centre = sum > 0 ? weighted / sum : 0.0;
    if (energy < -0.8f && centre < 4.0) return MouthShape::A;
    if (centre < 5.0) return MouthShape::F;
    if (centre < 7.0) return MouthShape::E;
    if (energy > -0.2f && centre < 11.0) return MouthShape::D;
    return MouthShape::C;
}

}  // namespace

void ScoreShapes(const float* input, float* scores) {
    const int centre = static_cast<int>(std::find(kShapeContext.begin(), kShapeContext.end(), 0) -
                                        kShapeContext.begin());
    const MouthShape shape = RuleShape(input + centre * kShapeFeatureCount);
    for (int s = 0; s < kMouthShapeCount; ++s) scores[s] = -5.0f;
    scores[MouthShapeIndex(shape)] = 0.0f;
}

float ShapeChangeCost() {
    return 4.0f;
}

}  // namespace vokra

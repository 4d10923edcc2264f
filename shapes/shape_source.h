#pragma once
// The first step of the shape chain, and the one that can be done two ways: a sound's 10 ms
// windows scored for the nine mouths and decoded into one mouth each. From the sound alone, the
// estimator's model scores them and the best path decodes them (SoundShapes, shape_estimator.h);
// with the words of the line, the same scores are aligned to the script. Everything after this
// step (timing, lead, shape set) is the same for both.
#include <cstdint>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

class ShapeSource {
public:
    virtual ~ShapeSource() = default;
    // One mouth per 10 ms of the sound (element i covers samples [i*rate/100, (i+1)*rate/100)),
    // before any timing rule. Empty for no samples or a rate that is not positive.
    virtual std::vector<MouthShape> WindowShapes(const std::int16_t* samples, std::int32_t count,
                                                 std::int32_t sampleRate) const = 0;
};

}  // namespace vokra

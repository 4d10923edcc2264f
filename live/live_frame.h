#pragma once
// One frame of live lip sync: what is shown for one 10 ms window of the sound.
#include <array>
#include <cstdint>

#include "shapes/mouth_shape.h"

namespace vokra {

struct LiveFrame {
    std::int64_t window = 0;  // the window of the sound it shows, from the start of the input
    double time = 0.0;        // its start in seconds on the input's clock
    MouthShape mouth = MouthShape::X;
    // Each mouth's share in the order A-H, X: 0-1, summing to 1, at most two non-zero while one
    // mouth passes to the next.
    std::array<float, kMouthShapeCount> weights{};
    float opening = 0.0f;    // the voice's envelope, 0 (shut) to 1
    float levelDb = -90.0f;  // the window's level in dB relative to full scale
    bool gateOpen = false;
    float gateDb = -90.0f;  // the noise gate's threshold then, in the same dB
    // Samples of the input consumed when it was decided: it left as soon as these had arrived.
    std::int64_t decidedAt = 0;
};

}  // namespace vokra

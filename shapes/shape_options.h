#pragma once
// What the user chooses about guessed shapes, carried from the window's settings or vokra-cli's
// options down the shape chain: how far mouths lead their sound, and which mouths the rig has.
#include <cstdint>

#include "shapes/shape_set.h"

namespace vokra {

struct ShapeOptions {
    std::int32_t leadMs = 0;  // mouths lead the sound by this many ms (0 to kMaxShapeLeadMs)
    ShapeSet extended;        // the extended mouths the rig has
    bool operator==(const ShapeOptions&) const = default;
};

}  // namespace vokra

#pragma once
// Truncation toward zero of a double to a 32-bit integer, as frame and sample arithmetic needs it,
// saturating instead of overflowing: a document may hold a frame rate the dialogs would never
// accept, and no value read from a file may make a conversion undefined. Here in the lowest floor
// because the shape estimator, the palettes and the command-line tool all use it.
#include <cstdint>
#include <limits>

namespace vokra {

inline std::int32_t TruncToInt32(double v) {
    if (!(v == v)) return 0;  // not a number
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace vokra

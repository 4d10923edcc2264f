#pragma once
// One channel of interleaved float frames: the average of all channels, or one picked alone.
#include <cstddef>
#include <cstdint>

namespace vokra::import_detail {

// Writes `frames` mono values to `out`: channel `pick` (1..channels) alone, or the average of all
// channels when `pick` is 0.
void MixDown(const float* in, std::size_t frames, std::size_t channels, std::int32_t pick,
             float* out);

}  // namespace vokra::import_detail

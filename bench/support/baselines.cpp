#include "bench/support/baselines.h"

#include <algorithm>

namespace vokra::bench {

std::int32_t MinMaxScan(const std::int16_t* samples, std::int32_t count) {
    std::int16_t lo = samples[0], hi = samples[0];
    for (std::int32_t i = 1; i < count; ++i) {
        lo = std::min(lo, samples[i]);
        hi = std::max(hi, samples[i]);
    }
    return static_cast<std::int32_t>(hi) - lo;
}

}  // namespace vokra::bench

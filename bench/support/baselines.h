#pragma once
// Baselines several benchmarks compare against, compiled once so every ratio uses the same code.
#include <cstdint>

namespace vokra::bench {

// One plain pass over the samples keeping the smallest and the largest; returns their difference.
std::int32_t MinMaxScan(const std::int16_t* samples, std::int32_t count);

}  // namespace vokra::bench

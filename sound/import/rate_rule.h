#pragma once
// The rule a recording is converted by: the rate it gets, the length that makes at that rate,
// and which of the loader's refusals a conversion may cure.
#include <cstdint>

namespace vokra {

// The most samples the loader takes, and the rates the rule steps down through to fit them.
constexpr std::int64_t kMaxImportSamples = 4'000'000;
constexpr std::int32_t kMinLoadableRate = 4000;
constexpr std::int32_t kMaxLoadableRate = 44100;

// The rate a source is converted to: its own rate when the loader takes it, else 44100 Hz for a
// faster source and 8000 Hz for a slower one; then the highest of 44100, 32000, 22050, 16000,
// 11025 and 8000 Hz at which the result holds at most kMaxImportSamples. `fits` is false when even
// 8000 Hz holds more (longer than 500 s).
struct RatePlan {
    std::int32_t rate = 0;
    std::int64_t samples = 0;
    bool fits = false;
};
RatePlan PlanImportRate(std::int32_t sourceRate, std::int64_t frames);
// Samples at `toRate` of `frames` frames at `fromRate`, rounded to the nearest.
std::int64_t ConvertedLength(std::int64_t frames, std::int32_t fromRate, std::int32_t toRate);
// True when the loader refuses this many 16-bit samples at `rate` as too short.
bool IsTooShortForLoader(std::int64_t samples, std::int32_t rate);
// True for a refusal of the exact loader (its code) that conversion may cure: every one but a file
// that cannot be opened and a sound too short.
bool IsConvertibleRefusal(std::int32_t code);

}  // namespace vokra

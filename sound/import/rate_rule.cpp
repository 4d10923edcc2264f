#include "sound/import/rate_rule.h"

#include <cmath>
#include <initializer_list>

namespace vokra {

std::int64_t ConvertedLength(std::int64_t frames, std::int32_t fromRate, std::int32_t toRate) {
    if (fromRate <= 0 || frames <= 0) return 0;
    if (fromRate == toRate) return frames;
    return std::llround(static_cast<double>(frames) * toRate / fromRate);
}

bool IsTooShortForLoader(std::int64_t samples, std::int32_t rate) {
    // The loader's test on the data chunk of a 16-bit file: bytes < rate * 2 / 4.
    return samples * 2 < static_cast<std::int64_t>(rate) * 2 / 4;
}

RatePlan PlanImportRate(std::int32_t sourceRate, std::int64_t frames) {
    RatePlan plan;
    if (sourceRate <= 0 || frames < 0) return plan;
    plan.rate = sourceRate > kMaxLoadableRate   ? kMaxLoadableRate
                : sourceRate < kMinLoadableRate ? 8000
                                                : sourceRate;
    plan.samples = ConvertedLength(frames, sourceRate, plan.rate);
    if (plan.samples <= kMaxImportSamples) {
        plan.fits = true;
        return plan;
    }
    for (const std::int32_t rate : {44100, 32000, 22050, 16000, 11025, 8000}) {
        if (rate >= plan.rate) continue;  // only ever lower than the first choice
        const std::int64_t samples = ConvertedLength(frames, sourceRate, rate);
        plan.rate = rate;
        plan.samples = samples;
        if (samples <= kMaxImportSamples) {
            plan.fits = true;
            return plan;
        }
    }
    return plan;
}

bool IsConvertibleRefusal(std::int32_t code) {
    return code != 0 && code != 1 && code != 8;
}

}  // namespace vokra

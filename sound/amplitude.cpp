#include "sound/amplitude.h"

#include "sound/sound_data.h"

namespace vokra {

double g_maxAmplitude = 0.0;

double WindowPeakToPeak(const SoundData& sound, std::int32_t index, double windowsPerSecond) {
    if (!sound.IsLoaded() || index < 0) return 0.0;
    const double n = sound.GetSampleCount();
    const double r = sound.GetSampleRate();
    // Divide, then multiply, in double precision: the boundaries must fall exactly where the
    // keying rule expects them.
    double s = static_cast<double>(index) / windowsPerSecond * r;
    double e = (static_cast<double>(index) + 1.0) / windowsPerSecond * r;
    if (!(s < n)) return 0.0;  // also keeps the truncation below inside the int range
    if (e >= n) e = n - 1;
    const auto first = static_cast<std::int32_t>(s);
    const auto end = static_cast<std::int32_t>(e);
    if (first >= end) return 0.0;
    const std::int16_t* samples = sound.GetSamples();
    std::int32_t lo = samples[first];
    std::int32_t hi = samples[first];
    for (std::int32_t i = first + 1; i < end; ++i) {
        const std::int32_t v = samples[i];
        if (v < lo) {
            lo = v;
        } else if (v > hi) {
            hi = v;
        }
    }
    return static_cast<double>(hi - lo);
}

void ComputeMaxAmplitude(const SoundData& sound, double windowsPerSecond) {
    g_maxAmplitude = 1.0;
    if (!sound.IsLoaded()) return;
    const double n = sound.GetSampleCount();
    const double r = sound.GetSampleRate();
    const auto w = static_cast<std::int32_t>(n / r * windowsPerSecond + 1.0);
    for (std::int32_t i = 0; i <= w; ++i) {
        const double a = WindowPeakToPeak(sound, i, windowsPerSecond);
        if (a > g_maxAmplitude) g_maxAmplitude = a;
    }
}

}  // namespace vokra

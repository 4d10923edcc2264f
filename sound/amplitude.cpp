#include "sound/amplitude.h"

#include <algorithm>
#include <cmath>

#include "sound/sound_data.h"

namespace vokra {

double g_maxAmplitude = 1.0;

// Peak-to-peak of samples[first, end). Keeping the smallest and the largest independently gives
// the same answer as replacing the minimum or else the maximum (a value below the minimum can
// never be above the maximum), and lets the compiler vectorise the loop, as wide as the processor
// allows: the scan over a whole sound should cost about one pass over its memory.
// ThreadSanitizer instruments the clone resolver, which runs before its runtime is up: plain code
// there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
std::int32_t
PeakToPeak(const std::int16_t* samples, std::int32_t first, std::int32_t end) {
    std::int16_t lo = samples[first];
    std::int16_t hi = samples[first];
    for (std::int32_t i = first + 1; i < end; ++i) {
        lo = std::min(lo, samples[i]);
        hi = std::max(hi, samples[i]);
    }
    return static_cast<std::int32_t>(hi) - static_cast<std::int32_t>(lo);
}

double WindowPeakToPeak(const SoundData& sound, std::int32_t index, double windowsPerSecond) {
    if (!sound.IsLoaded() || index < 0) return 0.0;
    const double n = sound.GetSampleCount();
    const double r = sound.GetSampleRate();
    // Divide, then multiply, in double precision: the boundaries must fall exactly where the
    // keying rule expects them.
    const double s = static_cast<double>(index) / windowsPerSecond * r;
    double e = (static_cast<double>(index) + 1.0) / windowsPerSecond * r;
    // Also keeps the truncations below inside the int range (and turns NaN away).
    if (!(s < n)) return 0.0;
    if (!(e < n)) e = n - 1;
    const auto first = static_cast<std::int32_t>(s);
    const auto end = static_cast<std::int32_t>(e);
    if (first < 0 || first >= end) return 0.0;
    return static_cast<double>(PeakToPeak(sound.GetSamples(), first, end));
}

void ComputeMaxAmplitude(const SoundData& sound, double windowsPerSecond) {
    g_maxAmplitude = 1.0;
    if (!sound.IsLoaded()) return;
    const double n = sound.GetSampleCount();
    const double r = sound.GetSampleRate();
    const double w = std::trunc(n / r * windowsPerSecond + 1.0);
    // Windows past the end measure 0.0, so a window count beyond the samples adds nothing; the
    // bound only keeps an absurd rate from overflowing the index.
    if (!(w >= 0.0) || !(windowsPerSecond > 0.0)) return;
    const std::int32_t last =
        w > n + 1.0 ? static_cast<std::int32_t>(n) + 1 : static_cast<std::int32_t>(w);
    const std::int16_t* samples = sound.GetSamples();
    // The windows as WindowPeakToPeak measures them, in one walk: a window's end is computed by
    // the very expression that gives the next one's start, so it is reused rather than divided
    // out again.
    double s = 0.0 / windowsPerSecond * r;
    for (std::int32_t i = 0; i <= last; ++i) {
        const double next = (static_cast<double>(i) + 1.0) / windowsPerSecond * r;
        if (!(s < n)) break;  // every later window starts further on
        const double e = next < n ? next : n - 1;
        const auto first = static_cast<std::int32_t>(s);
        const auto end = static_cast<std::int32_t>(e);
        if (first < end) {
            const double a = PeakToPeak(samples, first, end);
            if (a > g_maxAmplitude) g_maxAmplitude = a;
        }
        s = next;
    }
}

}  // namespace vokra

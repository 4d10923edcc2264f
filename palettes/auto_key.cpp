#include "palettes/auto_key.h"

#include <utility>

#include "document/keyframe_list.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

struct Rule {
    double lowT, highT, lowR, highR, dT, dR;
};

Rule MakeRule(const AutoKeySettings& s) {
    Rule r{static_cast<double>(s.lowThreshold), static_cast<double>(s.highThreshold),
           static_cast<double>(s.lowRange), static_cast<double>(s.highRange), 0.0, 0.0};
    r.dT = r.highT - r.lowT;
    r.dR = r.highR - r.lowR;
    // Reversed thresholds keep each threshold paired with its own range.
    if (r.dT < 0) {
        r.dT = -r.dT;
        std::swap(r.lowT, r.highT);
        std::swap(r.lowR, r.highR);
        r.dR = -r.dR;
    }
    return r;
}

double Map(double p, const Rule& r) {
    if (p <= r.lowT) return r.lowR;
    if (p >= r.highT) return r.highR;
    return r.lowR + (p - r.lowT) / r.dT * r.dR;
}

}  // namespace

double AutoKeyOpeningPercent(double loudnessPercent, const AutoKeySettings& settings) {
    return Map(loudnessPercent, MakeRule(settings));
}

std::int32_t AutoKeyFrames(const SoundData& sound, double maxAmplitude, double frameRate,
                           std::int32_t first, std::int32_t last, const AutoKeySettings& settings,
                           KeyframeList& keys) {
    if (!sound.IsLoaded() || first > last || !(frameRate > 0.0)) return 0;
    if (maxAmplitude < 1.0) maxAmplitude = 1.0;
    const Rule rule = MakeRule(settings);
    const double f = frameRate;
    auto j = static_cast<std::int32_t>((first * 100.0) / f);
    double cur = WindowPeakToPeak(sound, j, 100.0);
    std::int32_t processed = 0;
    Keyframe key;
    for (std::int64_t frame = first; frame <= last; ++frame) {
        double peak = cur;
        ++j;
        cur = WindowPeakToPeak(sound, j, 100.0);
        double t = (j / 100.0) * f;
        while (static_cast<double>(frame) + 1 > t) {
            if (cur > peak) peak = cur;
            ++j;
            cur = WindowPeakToPeak(sound, j, 100.0);
            t = (j / 100.0) * f;
        }
        const double p = 100.0 * peak / maxAmplitude;
        double v = Map(p, rule) / 100.0;
        if (v < 0) v = 0;
        if (v > 1.5) v = 1.5;
        key.SetFrame(static_cast<std::int32_t>(frame));
        key.SetOpening(static_cast<float>(v));
        keys.SetKey(key);
        ++processed;
    }
    return processed;
}

}  // namespace vokra

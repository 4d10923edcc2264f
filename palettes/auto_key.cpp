#include "palettes/auto_key.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "document/key_edit.h"
#include "document/keyframe_list.h"
#include "platform/trunc_int.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr double kWindowsPerSecond = 100.0;

struct Rule {
    double lowT, highT, lowR, highR, dT, dR;
};

Rule MakeRule(const AutoKeySettings& s) {
    Rule r{};
    r.lowT = s.lowThreshold;
    r.highT = s.highThreshold;
    r.lowR = s.lowRange;
    r.highR = s.highRange;
    r.dT = r.highT - r.lowT;
    r.dR = r.highR - r.lowR;
    // Reversed thresholds keep each threshold paired with its own range: only which pair counts
    // as the low one changes, the rule is not inverted.
    if (r.dT < 0) {
        r.dT = -r.dT;
        std::swap(r.lowT, r.highT);
        std::swap(r.lowR, r.highR);
        r.dR = -r.dR;
    }
    return r;
}

// Equal thresholds never reach the middle case, so dT is never zero there.
double Map(double p, const Rule& r) {
    if (p <= r.lowT) return r.lowR;
    if (p >= r.highT) return r.highR;
    return r.lowR + (p - r.lowT) / r.dT * r.dR;
}

// The windows of one sound in order, each measured exactly as WindowPeakToPeak measures it (the
// same boundaries, the same last sample left out), without its per-call set-up: a window's end is
// the next window's start, so each boundary is computed once. AutoKey then costs about one pass
// over the samples.
class WindowWalker {
public:
    explicit WindowWalker(const SoundData& sound)
        : samples_(sound.GetSamples()),
          count_(sound.GetSampleCount()),
          rate_(sound.GetSampleRate()) {}

    double Amplitude(std::int64_t j) {
        if (j < 0 || j > std::numeric_limits<std::int32_t>::max()) return 0.0;
        const double index = static_cast<double>(j);
        // (index + 1) / 100 x R of window j - 1 is exactly index / 100 x R: both are whole numbers
        // divided, then multiplied, in the same order.
        const double s = j == nextJ_ ? nextStart_ : index / kWindowsPerSecond * rate_;
        double e = (index + 1.0) / kWindowsPerSecond * rate_;
        nextJ_ = j + 1;
        nextStart_ = e;
        if (!(s < count_)) return 0.0;
        if (!(e < count_)) e = count_ - 1;
        const auto first = static_cast<std::int32_t>(s);
        const auto end = static_cast<std::int32_t>(e);
        if (first >= end) return 0.0;
        return static_cast<double>(PeakToPeak(samples_, first, end));
    }

private:
    const std::int16_t* samples_;
    double count_;
    double rate_;
    std::int64_t nextJ_ = -1;
    double nextStart_ = 0.0;
};

}  // namespace

double AutoKeyOpeningPercent(double loudnessPercent, const AutoKeySettings& settings) {
    return Map(loudnessPercent, MakeRule(settings));
}

std::int32_t AutoKeyFrames(const SoundData& sound, double maxAmplitude, double frameRate,
                           std::int32_t first, std::int32_t last, const AutoKeySettings& settings,
                           KeyframeList& keys) {
    return AutoKeyApply(sound, maxAmplitude, frameRate, first, last, settings, true, keys)
        .processed;
}

std::string AutoKeyStatusText(const AutoKeyOutcome& outcome) {
    // The frames that got a new key: those whose hand-made key stayed are counted as kept only,
    // as Guess Shapes counts its frames.
    const std::int32_t keyed = std::max(outcome.processed - outcome.kept, 0);
    std::string text =
        "AutoKey keyed " + GroupedNumber(keyed) + (keyed == 1 ? " frame" : " frames");
    if (outcome.kept > 0) {
        text += "; kept " + GroupedNumber(outcome.kept) +
                (outcome.kept == 1 ? " hand-made key" : " hand-made keys");
    }
    return text + ".";
}

AutoKeyOutcome AutoKeyApply(const SoundData& sound, double maxAmplitude, double frameRate,
                            std::int32_t first, std::int32_t last, const AutoKeySettings& settings,
                            bool replaceHandEdits, KeyframeList& keys) {
    AutoKeyOutcome outcome;
    if (!sound.IsLoaded() || first > last || !(frameRate > 0.0)) return outcome;
    if (maxAmplitude < 1.0) maxAmplitude = 1.0;
    const Rule rule = MakeRule(settings);
    const double f = frameRate;

    WindowWalker windows(sound);
    std::int64_t j = TruncToInt32((first * kWindowsPerSecond) / f);
    double cur = windows.Amplitude(j);
    std::int32_t processed = 0;
    Keyframe key;
    // Every frame of the range gets a key, so the run replaces the range in one move however many
    // keys follow it. Frames below 0 land on frame 0, the last of them winning, as SetKey would.
    std::vector<Keyframe> run;
    run.reserve(static_cast<std::size_t>(std::int64_t{last} - first + 1));
    for (std::int64_t frame = first; frame <= last; ++frame) {
        double peak = cur;
        // Gather the windows that start before this frame ends. The start of window j in frames
        // is (j / 100.0) x F, computed exactly so: at 25 frames per second this puts three or
        // five windows into a few frames, and every window is counted once.
        ++j;
        cur = windows.Amplitude(j);
        double t = (static_cast<double>(j) / kWindowsPerSecond) * f;
        while (static_cast<double>(frame) + 1 > t) {
            if (cur > peak) peak = cur;
            ++j;
            cur = windows.Amplitude(j);
            t = (static_cast<double>(j) / kWindowsPerSecond) * f;
        }
        // The window that ended the loop opens the next frame.
        const double p = 100.0 * peak / maxAmplitude;
        double v = Map(p, rule) / 100.0;
        if (v < 0) v = 0;
        if (v > 1.5) v = 1.5;
        key.SetFrame(static_cast<std::int32_t>(frame));
        key.SetOpening(static_cast<float>(v));
        if (!run.empty() && run.back().GetFrame() == key.GetFrame()) {
            run.back() = key;
        } else {
            run.push_back(key);
        }
        ++processed;
    }
    const std::int32_t end = std::max(last, std::int32_t{0});
    if (!replaceHandEdits) {
        // The animator's keys win over the computed ones on their frames; every frame of the
        // range has a computed key, so both runs are merged in one pass.
        const std::vector<Keyframe> old = keys.CopyRange(std::max(first, std::int32_t{0}), end);
        std::size_t at = 0;
        for (const Keyframe& key : old) {
            if (!key.IsHandMade()) continue;
            while (at < run.size() && run[at].GetFrame() < key.GetFrame()) ++at;
            if (at < run.size() && run[at].GetFrame() == key.GetFrame()) {
                run[at] = key;
            } else {
                run.insert(run.begin() + static_cast<std::ptrdiff_t>(at), key);
            }
            ++outcome.kept;
        }
    }
    keys.ReplaceRange(first, end, run);
    outcome.processed = processed;
    return outcome;
}

}  // namespace vokra

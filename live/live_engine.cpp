#include "live/live_engine.h"

#include <algorithm>
#include <cmath>

#include "shapes/shape_estimator.h"
#include "shapes/shape_model.h"
#include "shapes/shape_timing.h"

namespace vokra {
namespace {

// The gate stays open this long after the voice falls under it, so the ends of words are kept.
constexpr int kGateReleaseWindows = 15;
// It opens only for sound that stays over it this long: a key's click or a tap on the desk is
// shorter than any syllable.
constexpr int kLeastVoicedWindows = 3;
// 10 log10(32768^2): the features' decibels to decibels of full scale.
constexpr double kFullScaleDb = 90.309;
// How fast the opening falls back each window once the voice drops (it rises at once).
constexpr float kOpeningRelease = 0.75f;

}  // namespace

LiveSettings ClampedLiveSettings(LiveSettings s) {
    s.lookAheadMs = std::clamp(s.lookAheadMs, 0, LiveSettings::kMaxLookAheadMs);
    s.holdMs = std::clamp(s.holdMs, 0, LiveSettings::kMaxHoldMs);
    s.sensitivity = std::isfinite(s.sensitivity) ? std::clamp(s.sensitivity, 0.0, 1.0) : 0.5;
    s.fadeMs = std::clamp(s.fadeMs, 0, 200);
    return s;
}

LiveEngine::LiveEngine(std::int32_t sampleRate, const LiveSettings& settings, FrameCallback onFrame)
    : settings_(ClampedLiveSettings(settings)),
      onFrame_(std::move(onFrame)),
      features_(sampleRate) {
    lookAhead_ = (settings_.lookAheadMs + 5) / 10;
    hold_ = (settings_.holdMs + 5) / 10;
}

double LiveEngine::GateDb() const {
    // Between 3 dB (a whisper) and 18 dB (a loud voice only) over the floor.
    return features_.QuietDb() + 3.0 + (1.0 - settings_.sensitivity) * 15.0 - kFullScaleDb;
}

double LiveEngine::FloorDb() const {
    return features_.QuietDb() - kFullScaleDb;
}

void LiveEngine::Push(const std::int16_t* samples, std::int64_t count) {
    std::array<float, kShapeFeatureCount> f{};
    for (std::int64_t i = 0; i < count; ++i) {
        ++samplesIn_;
        if (features_.Push(samples[i], f.data())) Window(f.data());
    }
}

void LiveEngine::Finish() {
    if (finished_) return;
    finished_ = true;
    // Silence until every window heard so far has been decided.
    const std::int64_t last = newest_ + 1;  // the window whose features wait for the next one
    const std::array<std::int16_t, 64> zeros{};
    std::array<float, kShapeFeatureCount> f{};
    while (newest_ < last + lookAhead_ && samplesIn_ > 0) {
        for (std::int16_t z : zeros) {
            ++samplesIn_;
            if (features_.Push(z, f.data())) Window(f.data());
        }
    }
}

void LiveEngine::Window(const float* features) {
    ++newest_;
    const auto slot = static_cast<std::size_t>(newest_ % kRing);
    std::copy(features, features + kShapeFeatureCount, ring_[slot].begin());
    levels_[slot] = static_cast<float>(features_.LastLevelDb());
    voiced_[slot] = features_.LastLevelDb() - kFullScaleDb > GateDb();
    if (!voiced_[slot])
        runStart_ = newest_ + 1;
    else if (newest_ - runStart_ + 1 >= kLeastVoicedWindows)
        lastVoiced_ = newest_;
    const std::int64_t t = newest_ - lookAhead_;
    if (t >= 0) Decide(t);
}

void LiveEngine::Score(std::int64_t s, bool open, float* scores) const {
    if (!open) {
        std::fill(scores, scores + kMouthShapeCount, -20.0f);
        scores[MouthShapeIndex(MouthShape::X)] = 0.0f;
        return;
    }
    std::array<float, kShapeFeatureCount> silence{};
    features_.Silence(silence.data());
    std::array<float, kShapeInputCount> input{};
    for (std::size_t c = 0; c < kShapeContext.size(); ++c) {
        const std::int64_t at = std::min(s + kShapeContext[c], newest_);
        const float* f =
            at < 0 ? silence.data() : ring_[static_cast<std::size_t>(at % kRing)].data();
        std::copy(f, f + kShapeFeatureCount,
                  input.begin() + static_cast<std::ptrdiff_t>(c) * kShapeFeatureCount);
    }
    ScoreWindow(input.data(), scores, ShapePriorWeight());
}

void LiveEngine::Decide(std::int64_t t) {
    // The gate: open from the first sustained voice in the look-ahead until a while after the last.
    auto gateOpen = [&](std::int64_t s) { return lastVoiced_ >= s - kGateReleaseWindows; };
    const bool open = gateOpen(t);
    // The offline pass's forward step for window t, now final: each mouth's best running score,
    // changes paying the cost.
    const float cost = ShapeChangeCost();
    std::array<float, kMouthShapeCount> scores{};
    Score(t, open, scores.data());
    auto step = [cost](const std::array<float, kMouthShapeCount>& from, const float* score,
                       std::array<float, kMouthShapeCount>& to, std::uint8_t* back) {
        const int best =
            static_cast<int>(std::max_element(from.begin(), from.end()) - from.begin());
        for (int s = 0; s < kMouthShapeCount; ++s) {
            const bool change = from[best] - cost > from[s];
            to[s] = (change ? from[best] - cost : from[s]) + score[s];
            if (back) back[s] = static_cast<std::uint8_t>(change ? best : s);
        }
        const float top = *std::max_element(to.begin(), to.end());
        for (float& v : to) v -= top;
    };
    if (!started_) {
        totals_ = scores;
        started_ = true;
    } else {
        std::array<float, kMouthShapeCount> next{};
        step(totals_, scores.data(), next, nullptr);
        totals_ = next;
    }
    // The windows heard past t, scored as far as they can be, and the best path back to t: the
    // mouth t gets is the one the whole look-ahead agrees on.
    std::array<float, kMouthShapeCount> path = totals_;
    const int ahead = static_cast<int>(newest_ - t);
    for (int k = 1; k <= ahead; ++k) {
        std::array<float, kMouthShapeCount> next{};
        Score(t + k, gateOpen(t + k), scores.data());
        step(path, scores.data(), next, back_[static_cast<std::size_t>(k)].data());
        path = next;
    }
    std::array<int, LiveSettings::kMaxLookAheadMs / 10 + 2> best{};
    best[static_cast<std::size_t>(ahead)] =
        static_cast<int>(std::max_element(path.begin(), path.end()) - path.begin());
    for (int k = ahead; k >= 1; --k)
        best[static_cast<std::size_t>(k - 1)] =
            back_[static_cast<std::size_t>(k)]
                 [static_cast<std::size_t>(best[static_cast<std::size_t>(k)])];
    const int state = best[0];
    // How long the path stays in the mouth it gives t, within the look-ahead.
    int run = 1;
    while (run <= ahead && best[static_cast<std::size_t>(run)] == state) ++run;
    const auto lead = static_cast<MouthShape>(state);
    // Hysteresis: a new mouth must have been shown its least time already, and the look-ahead
    // must hold the new one for its own least time (or to its end), so a flicker never shows.
    if (lead != shown_ && t - shownSince_ >= hold_ &&
        run >= std::min(LeastShapeWindows(lead), ahead + 1)) {
        before_ = shown_;
        shown_ = lead;
        shownSince_ = t;
    }

    LiveFrame frame;
    frame.window = t;
    frame.time = static_cast<double>(t) / 100.0;
    frame.mouth = shown_;
    const float fade = settings_.fadeMs <= 0
                           ? 1.0f
                           : std::min(1.0f, static_cast<float>(t - shownSince_ + 1) * 10.0f /
                                                static_cast<float>(settings_.fadeMs));
    if (before_ == shown_ || fade >= 1.0f) {
        frame.weights[static_cast<std::size_t>(MouthShapeIndex(shown_))] = 1.0f;
    } else {
        frame.weights[static_cast<std::size_t>(MouthShapeIndex(shown_))] = fade;
        frame.weights[static_cast<std::size_t>(MouthShapeIndex(before_))] = 1.0f - fade;
    }
    const auto slot = static_cast<std::size_t>(t % kRing);
    const double level = levels_[slot] - kFullScaleDb;
    const double gate = GateDb();
    const double top = features_.VoiceDb() - kFullScaleDb;
    const float target =
        open && top > gate ? static_cast<float>(std::clamp((level - gate) / (top - gate), 0.0, 1.0))
                           : 0.0f;
    opening_ = std::max(target, opening_ * kOpeningRelease);
    frame.opening = opening_;
    frame.levelDb = static_cast<float>(std::max(level, -90.0));
    frame.gateOpen = open;
    frame.gateDb = static_cast<float>(std::max(gate, -90.0));
    frame.decidedAt = samplesIn_;
    if (onFrame_) onFrame_(frame);
}

}  // namespace vokra

#include "shapes/shape_estimator.h"

#include <algorithm>
#include <array>

#include "platform/trunc_int.h"
#include "shapes/shape_features.h"
#include "shapes/shape_lead.h"
#include "shapes/shape_model.h"

namespace vokra {
namespace {

constexpr double kWindowsPerSecond = 100.0;

// Whatever the model says, a window with nothing around it that rises 3 dB over the recording's
// noise floor is a mouth at rest.
bool IsStill(const float* input) {
    for (std::size_t c = 0; c < kShapeContext.size(); ++c)
        if (input[c * kShapeFeatureCount + kShapeAbove] > 0.15f) return false;
    return true;
}

}  // namespace

void ScoreWindow(const float* input, float* scores, float priorWeight) {
    if (IsStill(input)) {
        std::fill(scores, scores + kMouthShapeCount, -20.0f);
        scores[MouthShapeIndex(MouthShape::X)] = 0.0f;
        return;
    }
    ScoreShapes(input, scores);
    RemoveShapePrior(scores, priorWeight);
}

ShapeViterbi::ShapeViterbi(float changeCost, std::int32_t expectedWindows)
    : changeCost_(changeCost) {
    if (expectedWindows > 0)
        back_.reserve(static_cast<std::size_t>(expectedWindows) * kMouthShapeCount);
}

void ShapeViterbi::Push(const float* scores) {
    if (total_.empty()) {
        total_.assign(scores, scores + kMouthShapeCount);
        back_.insert(back_.end(), kMouthShapeCount, 0);
        for (int s = 0; s < kMouthShapeCount; ++s)
            back_[back_.size() - kMouthShapeCount + s] = static_cast<std::uint8_t>(s);
        return;
    }
    int best = 0;
    for (int s = 1; s < kMouthShapeCount; ++s)
        if (total_[s] > total_[best]) best = s;
    const float switched = total_[best] - changeCost_;
    std::array<float, kMouthShapeCount> next{};
    for (int s = 0; s < kMouthShapeCount; ++s) {
        std::uint8_t from = static_cast<std::uint8_t>(s);
        float t = total_[s];
        if (switched > t) {
            t = switched;
            from = static_cast<std::uint8_t>(best);
        }
        next[s] = t + scores[s];
        back_.push_back(from);
    }
    // Keep the totals near zero so a long sound loses no precision.
    const float top = *std::max_element(next.begin(), next.end());
    for (int s = 0; s < kMouthShapeCount; ++s) total_[s] = next[s] - top;
}

std::vector<MouthShape> ShapeViterbi::Finish() {
    const std::size_t windows = back_.size() / kMouthShapeCount;
    std::vector<MouthShape> path(windows, MouthShape::X);
    if (windows == 0) return path;
    int s = static_cast<int>(std::max_element(total_.begin(), total_.end()) - total_.begin());
    for (std::size_t w = windows; w-- > 0;) {
        path[w] = static_cast<MouthShape>(s);
        s = back_[w * kMouthShapeCount + s];
    }
    back_.clear();
    back_.shrink_to_fit();
    total_.clear();
    return path;
}

std::vector<MouthShape> GuessShapes(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ShapeTuning& tuning) {
    ShapeInputStream stream(samples, count, sampleRate);
    const std::int32_t windows = stream.WindowCount();
    if (windows == 0) return {};
    ShapeViterbi viterbi(tuning.changeCost, windows);
    std::array<float, kShapeInputCount> input{};
    std::array<float, kMouthShapeCount> scores{};
    while (stream.Next(input.data())) {
        ScoreWindow(input.data(), scores.data(), tuning.priorWeight);
        viterbi.Push(scores.data());
    }
    std::vector<MouthShape> shapes = viterbi.Finish();
    if (tuning.timing) ApplyShapeTiming(shapes);
    return shapes;
}

std::vector<MouthShape> SoundShapes::WindowShapes(const std::int16_t* samples, std::int32_t count,
                                                  std::int32_t sampleRate) const {
    ShapeTuning tuning;
    tuning.timing = false;  // a step of its own in the chain
    return GuessShapes(samples, count, sampleRate, tuning);
}

std::vector<MouthShape> GuessShapes(const ShapeSource& source, const std::int16_t* samples,
                                    std::int32_t count, std::int32_t sampleRate,
                                    const ShapeOptions& options) {
    // Guess (or align): one mouth per 10 ms window, as the voice sounds.
    std::vector<MouthShape> shapes = source.WindowShapes(samples, count, sampleRate);
    // Timing: no mouth too short to be seen, lips closed before M, B, P.
    ApplyShapeTiming(shapes);
    // Lead: mouths shown before their sound, by as much as the animator asked.
    ApplyShapeLead(shapes, options.leadMs);
    // Shape set: mouths the rig lacks become the basic mouths it draws.
    ApplyShapeSet(shapes, options.extended);
    return shapes;
}

std::vector<MouthShape> GuessShapes(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ShapeOptions& options) {
    return GuessShapes(SoundShapes(), samples, count, sampleRate, options);
}

std::vector<MouthShape> ShapesForFrames(const std::vector<MouthShape>& per10ms,
                                        std::int32_t sampleRate, double frameRate,
                                        std::int32_t first, std::int32_t last) {
    (void)sampleRate;  // windows are 10 ms at any rate; kept so callers state what they hold
    if (first > last || !(frameRate > 0.0)) return {};
    const double f = frameRate;
    auto at = [&](std::int64_t j) {
        if (j < 0 || j >= static_cast<std::int64_t>(per10ms.size())) return MouthShape::X;
        return per10ms[static_cast<std::size_t>(j)];
    };
    std::vector<MouthShape> frames;
    frames.reserve(static_cast<std::size_t>(std::int64_t{last} - first + 1));
    // The same walk as AutoKey: frame `first` opens with the window its start falls in, each
    // frame gathers the windows that start before it ends, and the window that ends the
    // gathering opens the next frame.
    // A hair of slack against rounding: at 100 fps frame f must open with window f exactly, not
    // one early because f * 100 / 100 came out a little below f.
    constexpr double kSlack = 1e-9;
    std::int64_t j = TruncToInt32((first * kWindowsPerSecond) / f + kSlack);
    MouthShape cur = at(j);
    for (std::int64_t frame = first; frame <= last; ++frame) {
        std::array<int, kMouthShapeCount> votes{};
        std::array<std::int64_t, kMouthShapeCount> firstSeen{};
        std::int64_t order = 0;
        auto vote = [&](MouthShape s) {
            const int i = MouthShapeIndex(s);
            if (votes[i] == 0) firstSeen[i] = order;
            votes[i] += s == MouthShape::A ? 2 : 1;
            ++order;
        };
        vote(cur);
        ++j;
        cur = at(j);
        // Multiplied before dividing: j * 100 / 100 is j exactly, (j / 100) * 100 may be less.
        double t = static_cast<double>(j) * f / kWindowsPerSecond;
        while (static_cast<double>(frame) + 1 - t > kSlack) {
            vote(cur);
            ++j;
            cur = at(j);
            t = static_cast<double>(j) * f / kWindowsPerSecond;
        }
        int best = -1;
        for (int s = 0; s < kMouthShapeCount; ++s) {
            if (votes[s] == 0) continue;
            if (best < 0 || votes[s] > votes[best] ||
                (votes[s] == votes[best] && firstSeen[s] < firstSeen[best]))
                best = s;
        }
        frames.push_back(static_cast<MouthShape>(best));
    }
    return frames;
}

}  // namespace vokra

#include "live/live_features.h"

#include <algorithm>
#include <cmath>

#include "shapes/shape_window.h"

namespace vokra {
using namespace shape_window;
namespace {

// The window's spectral arithmetic is the offline features' own (shape_window.h), so the model
// sees live what it was trained on; only the levels it is read against differ.
constexpr double kDbFloor = kShapeLevelFloor * 20.0;

// The levels' memory: the histogram forgets with this time constant, the noise average with the
// shorter one, so a floor that changes (a fan switched on) is followed within seconds.
constexpr double kLevelMemorySeconds = 20.0;
constexpr double kNoiseMemorySeconds = 3.0;
constexpr double kDcMemorySeconds = 1.0;
constexpr double kLowest = -30.0;
constexpr int kSteps = 280;

double Db(double meanSquare) {
    return 10.0 * std::log10(meanSquare + 1e-3);
}

}  // namespace

LiveFeatures::LiveFeatures(std::int32_t sampleRate)
    : rate_(std::clamp(sampleRate, kMinRate, kMaxRate)) {
    span_ = static_cast<std::int32_t>(rate_ / 100);
    refDb_ = quietDb_ + kShapeLeastFloorDb;
    floorDb_ = refDb_ - kShapeLeastFloorDb;
    floorMs_ = std::pow(10.0, floorDb_ / 10.0);
}

double LiveFeatures::LevelDb(double meanSquare) const {
    return Db(meanSquare);
}

float LiveFeatures::Relative(double meanSquare) const {
    return static_cast<float>(std::max(kDbFloor, Db(meanSquare + floorMs_) - refDb_) / 20.0);
}

void LiveFeatures::Silence(float* out) const {
    std::fill(out, out + kShapeFeatureCount, 0.0f);
    out[kShapeEnergy] = Relative(0.0);
    out[kShapeHigh] = Relative(0.0);
}

bool LiveFeatures::Push(std::int16_t sample, float* out) {
    samples_[static_cast<std::size_t>(filled_++)] = sample;
    if (filled_ < span_) return false;
    CloseWindow();
    if (completed_ < 2) return false;
    Features(out);
    return true;
}

// Window w covers samples [w*rate/100, (w+1)*rate/100), as offline.
void LiveFeatures::CloseWindow() {
    const std::int32_t n = filled_;
    double sum = 0.0, squares = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double v = samples_[static_cast<std::size_t>(i)];
        sum += v;
        squares += v * v;
    }
    const double mean = sum / n;
    const double offset = std::abs(dc_) < 16.0 ? 0.0 : dc_;
    const double ms = std::max(0.0, (squares - 2.0 * offset * sum + n * offset * offset) / n);
    // The offset follows the window means slowly; the window is read against the one before it.
    dc_ += (mean - dc_) * (1.0 - std::exp(-0.01 / kDcMemorySeconds));

    std::copy(frame_.begin() + kPerWindow, frame_.end(), frame_.begin());
    float* dst = frame_.data() + 2 * kPerWindow;
    std::int64_t a = 0;
    double low = 0.0;
    for (int k = 0; k < kPerWindow; ++k) {
        const std::int64_t b = std::int64_t{n} * (k + 1) / kPerWindow;
        if (b > a) {
            double s = 0.0;
            for (std::int64_t i = a; i < b; ++i) s += samples_[static_cast<std::size_t>(i)];
            held_ = s / static_cast<double>(b - a) - offset;
        }
        dst[k] = static_cast<float>(held_);
        low += held_ * held_;
        a = b;
    }
    energy_ = {energy_[1], energy_[2], ms};
    low_ = {low_[1], low_[2], low / kPerWindow};
    FollowLevels(ms);
    completed_ = std::min(completed_ + 1, 2);
    ++window_;
    span_ = static_cast<std::int32_t>((window_ + 1) * rate_ / 100 - window_ * rate_ / 100);
    filled_ = 0;
}

// The floor is where the quietest 5 % of the recent windows are, the voice's level the 90th
// percentile of those 12 dB over it (the offline rule, over a memory that fades).
void LiveFeatures::FollowLevels(double meanSquare) {
    const float decay = static_cast<float>(std::exp(-0.01 / kLevelMemorySeconds));
    for (float& h : histogram_) h *= decay;
    const double db = Db(meanSquare);
    histogram_[static_cast<std::size_t>(
        std::clamp(static_cast<int>((db - kLowest) * 2.0), 0, kSteps - 1))] += 1.0f;
    auto percentile = [&](int from, double p, double none) {
        double counted = 0.0;
        for (int i = from; i < kSteps; ++i) counted += histogram_[static_cast<std::size_t>(i)];
        if (counted < 1.0) return none;
        const double target = p * (counted - 1.0);
        double seen = 0.0;
        for (int i = from; i < kSteps; ++i) {
            seen += histogram_[static_cast<std::size_t>(i)];
            if (seen > target) return kLowest + i * 0.5 + 0.25;
        }
        return kLowest + kSteps * 0.5;
    };
    quietDb_ = percentile(0, 0.05, kLowest);
    const int voiced = std::min(static_cast<int>((quietDb_ + 12.0 - kLowest) * 2.0), kSteps);
    refDb_ = percentile(voiced, 0.90, quietDb_ + kShapeLeastFloorDb);
    floorDb_ = refDb_ - kShapeLeastFloorDb;
    floorMs_ = std::pow(10.0, floorDb_ / 10.0);

    // Two quiet windows in a row: their frame is the floor's noise.
    const double limit = quietDb_ + 3.0;
    if (completed_ >= 1 && Db(energy_[1]) <= limit && db <= limit) {
        std::array<float, kLags> s{};
        FrameSums(frame_.data() + kPerWindow, s.data());
        const double rate = haveNoise ? 1.0 - std::exp(-0.01 / kNoiseMemorySeconds) : 1.0;
        for (int l = 0; l < kLags; ++l)
            noiseSums_[static_cast<std::size_t>(l)] += static_cast<float>(
                rate * (s[static_cast<std::size_t>(l)] - noiseSums_[static_cast<std::size_t>(l)]));
        noiseMs_ += rate * (kOverSubtract * meanSquare - noiseMs_);
        noiseHighMs_ += rate * (kOverSubtract * std::max(0.0, meanSquare - low_[2]) - noiseHighMs_);
        SpectrumOf(noiseSums_.data(), noiseSpectrum_.data());
        noiseSpectrum_[kBands + 1] = noiseSums_[0];
        haveNoise = true;
    }
}

void LiveFeatures::Features(float* out) {
    SpectralFeatures(frame_.data() + kPerWindow / 2, noiseSpectrum_.data(), floorMs_, out);
    const double energy = std::max(0.0, energy_[1] - noiseMs_);
    out[kShapeEnergy] = Relative(energy);
    out[kShapeHigh] = Relative(std::max(0.0, energy_[1] - low_[1] - noiseHighMs_));
    out[kShapeAbove] = static_cast<float>(std::max(0.0, Db(energy) - floorDb_) / 20.0);
    lastLevelDb_ = Db(energy_[1]);
}

}  // namespace vokra

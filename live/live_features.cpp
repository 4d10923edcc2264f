#include "live/live_features.h"

#include <algorithm>
#include <cmath>

namespace vokra {
namespace {

// The arithmetic below is the offline features' own (shape_features.cpp), window for window, so
// the model sees live what it was trained on; only the levels it is read against differ.
constexpr int kFrame = ShapeFeatureStream::kFrame;
constexpr int kLags = 12;
constexpr int kBands = 32;
constexpr double kDbFloor = kShapeLevelFloor * 20.0;
constexpr double kOverSubtract = 1.5;
constexpr float kSubtract = 2.0f;
constexpr float kKeep = 0.1f;
constexpr double kPi = 3.14159265358979;

// The levels' memory: the histogram forgets with this time constant, the noise average with the
// shorter one, so a floor that changes (a fan switched on) is followed within seconds.
constexpr double kLevelMemorySeconds = 20.0;
constexpr double kNoiseMemorySeconds = 3.0;
constexpr double kDcMemorySeconds = 1.0;
constexpr double kLowest = -30.0;
constexpr int kSteps = 280;

const std::array<float, kFrame>& Hamming() {
    static const auto table = [] {
        std::array<float, kFrame> w{};
        for (int i = 0; i < kFrame; ++i)
            w[i] = static_cast<float>(0.54 - 0.46 * std::cos(2 * kPi * (i + 0.5) / kFrame));
        return w;
    }();
    return table;
}

void FrameSums(const float* src, float* sums) {
    const auto& hamming = Hamming();
    std::array<float, kFrame + kLags> x{};
    for (int i = 0; i < kFrame; ++i) x[i] = (src[i] - 0.9f * src[i - 1]) * hamming[i];
    for (int lag = 0; lag < kLags; ++lag) {
        float acc[8] = {};
        for (int i = 0; i < kFrame; i += 8)
            for (int j = 0; j < 8; ++j) acc[j] += x[i + j] * x[i + j + lag];
        sums[lag] =
            ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
    }
}

const std::array<std::array<float, kLags>, kBands + 1>& Cosines() {
    static const auto table = [] {
        std::array<std::array<float, kLags>, kBands + 1> t{};
        for (int k = 0; k <= kBands; ++k)
            for (int l = 0; l <= kShapeLpcOrder; ++l)
                t[k][l] = static_cast<float>(std::cos(kPi * k * l / kBands));
        return t;
    }();
    return table;
}

const std::array<float, kLags>& LagWindow() {
    static const auto table = [] {
        std::array<float, kLags> w{};
        for (int l = 0; l <= kShapeLpcOrder; ++l) {
            const double a = 2 * kPi * 100.0 * l / ShapeFeatureStream::kRate;
            w[l] = static_cast<float>(std::exp(-0.5 * a * a));
        }
        return w;
    }();
    return table;
}

void SpectrumOf(const float* sums, float* spectrum) {
    const auto& c = Cosines();
    const auto& taper = LagWindow();
    for (int k = 0; k <= kBands; ++k) {
        float acc = 0.0f;
        for (int l = 1; l < kLags; ++l) acc += c[k][l] * taper[l] * sums[l];
        spectrum[k] = sums[0] + 2.0f * acc;
    }
}

void Compensate(float* sums, const float* noise, float subtract, float keep) {
    std::array<float, kBands + 1> p{};
    SpectrumOf(sums, p.data());
    for (int k = 0; k <= kBands; ++k) {
        const float weight = (k == 0 || k == kBands) ? 0.5f / kBands : 1.0f / kBands;
        p[k] = weight * std::max(p[k] - subtract * noise[k], keep * (noise[k] + noise[kBands + 1]));
    }
    const auto& c = Cosines();
    for (int l = 0; l < kLags; ++l) {
        float acc = 0.0f;
        for (int k = 0; k <= kBands; ++k) acc += c[k][l] * p[k];
        sums[l] = acc;
    }
}

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
    std::array<float, kLags> sums{};
    FrameSums(frame_.data() + kPerWindow / 2, sums.data());
    Compensate(sums.data(), noiseSpectrum_.data(), kSubtract, kKeep);
    sums[0] += static_cast<float>(floorMs_ * 1.81 * 0.397 * kFrame);
    std::array<float, kShapeLpcOrder + 1> lpc{}, prev{};
    lpc[0] = 1.0f;
    const float total = sums[0] * (1.0f + 1e-6f) + 1e-3f;
    float error = total;
    for (int i = 1; i <= kShapeLpcOrder; ++i) {
        float acc = sums[i];
        for (int j = 1; j < i; ++j) acc += lpc[j] * sums[i - j];
        const float k = std::clamp(-acc / error, -0.9999f, 0.9999f);
        prev = lpc;
        for (int j = 1; j < i; ++j) lpc[j] = prev[j] + k * prev[i - j];
        lpc[i] = k;
        error = std::max(error * (1.0f - k * k), total * 1e-7f);
    }
    std::array<float, kShapeCepstra + 1> c{};
    for (int n = 1; n <= kShapeCepstra; ++n) {
        float acc = n <= kShapeLpcOrder ? -lpc[n] : 0.0f;
        for (int k = std::max(1, n - kShapeLpcOrder); k < n; ++k)
            acc -= static_cast<float>(k) / static_cast<float>(n) * c[k] * lpc[n - k];
        c[n] = acc;
        out[n - 1] = acc;
    }
    const double energy = std::max(0.0, energy_[1] - noiseMs_);
    out[kShapeEnergy] = Relative(energy);
    out[kShapeHigh] = Relative(std::max(0.0, energy_[1] - low_[1] - noiseHighMs_));
    out[kShapeCrossings] =
        std::acos(std::clamp(sums[1] / std::max(sums[0], 1e-9f), -1.0f, 1.0f)) / 3.14159265f;
    out[kShapeNoise] = std::max(-4.0f, std::log10(error / total));
    out[kShapeAbove] = static_cast<float>(std::max(0.0, Db(energy) - floorDb_) / 20.0);
    lastLevelDb_ = Db(energy_[1]);
}

}  // namespace vokra

#include "shapes/shape_features.h"

#include <algorithm>
#include <cmath>

namespace vokra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBins = ShapeFeatureStream::kFft / 2 + 1;
constexpr double kDbFloor = -80.0;  // everything quieter than this below the voice looks alike

// The tables every stream shares, built once on first use: the Hann window, the FFT's twiddles
// and bit reversal, and the mel filters.
struct Tables {
    std::array<float, ShapeFeatureStream::kFrame> hann{};
    std::array<std::complex<float>, ShapeFeatureStream::kFft / 2> twiddle{};
    std::array<std::uint16_t, ShapeFeatureStream::kFft> reversed{};
    struct Band {
        int first = 0;
        std::vector<float> weights;
    };
    std::array<Band, kShapeMelBands> bands;

    Tables() {
        constexpr int n = ShapeFeatureStream::kFrame;
        constexpr int fft = ShapeFeatureStream::kFft;
        for (int i = 0; i < n; ++i)
            hann[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * kPi * (i + 0.5) / n));
        for (int i = 0; i < fft / 2; ++i)
            twiddle[i] = std::polar(1.0f, static_cast<float>(-2 * kPi * i / fft));
        int bits = 0;
        while ((1 << bits) < fft) ++bits;
        for (int i = 0; i < fft; ++i) {
            int r = 0;
            for (int b = 0; b < bits; ++b)
                if (i & (1 << b)) r |= 1 << (bits - 1 - b);
            reversed[i] = static_cast<std::uint16_t>(r);
        }
        auto mel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
        auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
        const double lo = mel(80.0), hi = mel(3900.0);
        const double binHz = static_cast<double>(ShapeFeatureStream::kRate) / fft;
        for (int b = 0; b < kShapeMelBands; ++b) {
            const double left = hz(lo + (hi - lo) * b / (kShapeMelBands + 1));
            const double centre = hz(lo + (hi - lo) * (b + 1) / (kShapeMelBands + 1));
            const double right = hz(lo + (hi - lo) * (b + 2) / (kShapeMelBands + 1));
            Band& band = bands[b];
            band.first = std::max(0, static_cast<int>(std::ceil(left / binHz)));
            for (int k = band.first; k < kBins && k * binHz < right; ++k) {
                const double f = k * binHz;
                const double w =
                    f < centre ? (f - left) / (centre - left) : (right - f) / (right - centre);
                band.weights.push_back(static_cast<float>(std::max(0.0, w)));
            }
            // Narrow low bands may fall between bins: give them the nearest bin.
            if (band.weights.empty()) {
                band.first = std::min(kBins - 1, static_cast<int>(std::lround(centre / binHz)));
                band.weights.push_back(1.0f);
            }
        }
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

std::int32_t ShapeWindowCount(std::int32_t count, std::int32_t sampleRate) {
    if (count <= 0 || sampleRate <= 0) return 0;
    return static_cast<std::int32_t>((std::int64_t{count} * 100 + sampleRate - 1) / sampleRate);
}

ShapeFeatureStream::ShapeFeatureStream(const std::int16_t* samples, std::int32_t count,
                                       std::int32_t sampleRate)
    : samples_(samples),
      count_(samples ? std::max(count, 0) : 0),
      rate_(std::max(sampleRate, 0)),
      windows_(ShapeWindowCount(count_, rate_)) {
    if (windows_ == 0) return;
    MeasureLevels();
    raw_[2] = Decimate(0, frame_.data() + 2 * kPerWindow);
}

double ShapeFeatureStream::Db(double meanSquare) const {
    return 10.0 * std::log10(meanSquare + 1e-3);
}

// The voice's level is where its loud windows are (95th percentile of the windows that are not
// digital silence) and the floor where its pauses are (10th percentile); a histogram in half
// decibels keeps this to one pass and no memory per window.
void ShapeFeatureStream::MeasureLevels() {
    constexpr int kSteps = 220;  // 0 .. 110 dB
    std::array<std::int32_t, kSteps> histogram{};
    std::int32_t counted = 0;
    for (std::int32_t w = 0; w < windows_; ++w) {
        const std::int64_t s = std::int64_t{w} * rate_ / 100;
        const std::int64_t e = std::min<std::int64_t>(count_, std::int64_t{w + 1} * rate_ / 100);
        if (e <= s) continue;
        double sum = 0.0;
        for (std::int64_t i = s; i < e; ++i) sum += static_cast<double>(samples_[i]) * samples_[i];
        const double ms = sum / static_cast<double>(e - s);
        if (ms < 1.0) continue;
        const int step = std::clamp(static_cast<int>(Db(ms) * 2.0), 0, kSteps - 1);
        ++histogram[step];
        ++counted;
    }
    if (counted == 0) return;
    auto percentile = [&](double p) {
        const auto target = static_cast<std::int32_t>(p * (counted - 1));
        std::int32_t seen = 0;
        for (int i = 0; i < kSteps; ++i) {
            seen += histogram[i];
            if (seen > target) return i * 0.5 + 0.25;
        }
        return kSteps * 0.5;
    };
    refDb_ = percentile(0.95);
    floorDb_ = percentile(0.10);
}

ShapeFeatureStream::Raw ShapeFeatureStream::Decimate(std::int32_t w, float* dst) {
    Raw raw;
    if (w < 0 || w >= windows_) {
        std::fill(dst, dst + kPerWindow, 0.0f);
        held_ = 0.0f;
        return raw;
    }
    // The window's nominal span; samples past the end of the sound count as silence.
    const std::int64_t s = std::int64_t{w} * rate_ / 100;
    const std::int64_t span = std::int64_t{w + 1} * rate_ / 100 - s;
    const std::int64_t end = std::min<std::int64_t>(count_, s + span);
    double energy = 0.0, low = 0.0;
    std::int32_t crossings = 0;
    bool negative = s > 0 && samples_[s - 1] < 0;
    for (int k = 0; k < kPerWindow; ++k) {
        const std::int64_t a = s + span * k / kPerWindow;
        const std::int64_t b = s + span * (k + 1) / kPerWindow;
        if (b > a) {
            double sum = 0.0;
            for (std::int64_t i = a; i < std::min(b, end); ++i) {
                const double x = samples_[i];
                sum += x;
                energy += x * x;
                const bool neg = x < 0;
                crossings += neg != negative;
                negative = neg;
            }
            held_ = static_cast<float>(sum / static_cast<double>(b - a));
        }
        dst[k] = held_;
        low += static_cast<double>(held_) * held_;
    }
    if (span > 0) {
        raw.energy = energy / static_cast<double>(span);
        raw.crossings = static_cast<double>(crossings) / static_cast<double>(span) * rate_;
    }
    raw.low = low / kPerWindow;
    return raw;
}

bool ShapeFeatureStream::Next(float* out) {
    if (next_ >= windows_) return false;
    std::copy(frame_.begin() + kPerWindow, frame_.end(), frame_.begin());
    raw_[0] = raw_[1];
    raw_[1] = raw_[2];
    raw_[2] = Decimate(next_ + 1, frame_.data() + 2 * kPerWindow);

    const Tables& t = TheTables();
    std::array<std::complex<float>, kFft> x{};
    for (int i = 0; i < kFrame; ++i) x[t.reversed[i]] = frame_[i] * t.hann[i];
    // The input is already in bit-reversed order, so the transform skips its own reordering.
    {
        constexpr int n = kFft;
        for (int size = 2; size <= n; size *= 2) {
            const int half = size / 2, step = n / size;
            for (int start = 0; start < n; start += size) {
                for (int k = 0; k < half; ++k) {
                    const std::complex<float> w = t.twiddle[k * step];
                    const std::complex<float> a = x[start + k];
                    const std::complex<float> b = x[start + k + half] * w;
                    x[start + k] = a + b;
                    x[start + k + half] = a - b;
                }
            }
        }
    }
    // Scaled so that a band's value is comparable to a mean square of the samples.
    constexpr double kScale = 2.0 / (kFft * 0.375 * kFrame);
    auto rel = [&](double meanSquare) {
        return static_cast<float>(std::max(kDbFloor, Db(meanSquare) - refDb_) / 20.0);
    };
    for (int b = 0; b < kShapeMelBands; ++b) {
        const auto& band = t.bands[b];
        double sum = 0.0;
        for (std::size_t k = 0; k < band.weights.size(); ++k)
            sum += band.weights[k] * std::norm(x[band.first + k]);
        out[b] = rel(sum * kScale);
    }
    const Raw& r = raw_[1];
    out[kShapeMelBands] = rel(r.energy);
    out[kShapeMelBands + 1] = rel(std::max(0.0, r.energy - r.low));
    out[kShapeMelBands + 2] = static_cast<float>(r.crossings / 4000.0);
    out[kShapeMelBands + 3] = static_cast<float>(std::max(kDbFloor, floorDb_ - refDb_) / 20.0);
    ++next_;
    return true;
}

}  // namespace vokra

#include "shapes/shape_features.h"

#include <algorithm>
#include <cmath>

#include "shapes/shape_window.h"

namespace vokra {
using namespace shape_window;
namespace {

constexpr double kDbFloor = kShapeLevelFloor * 20.0;

// A window's sum and sum of squares, in blocks whose 32-bit sums cannot overflow (2^15
// samples), the squares widened to 64 bits: the vector unit takes it as it is.
VOKRA_SHAPES_VECTOR
void WindowSums(const std::int16_t* x, std::int64_t n, std::int64_t& squares, std::int64_t& sum) {
    for (std::int64_t start = 0; start < n; start += 32768) {
        const std::int64_t end = std::min(n, start + 32768);
        std::int32_t s = 0;
        std::int64_t sq = 0;
        for (std::int64_t i = start; i < end; ++i) {
            const std::int32_t v = x[i];
            s += v;
            sq += static_cast<std::uint32_t>(v * v);
        }
        sum += s;
        squares += sq;
    }
}

// The sum of each four samples, widened.
VOKRA_SHAPES_VECTOR
void QuadSums(const std::int16_t* p, std::int64_t quads, std::int64_t* out) {
    for (std::int64_t j = 0; j < quads; ++j)
        out[j] = std::int32_t{p[4 * j]} + p[4 * j + 1] + p[4 * j + 2] + p[4 * j + 3];
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

float ShapeFeatureStream::Relative(double meanSquare) const {
    return static_cast<float>(std::max(kDbFloor, Db(meanSquare + floorMs_) - refDb_) / 20.0);
}

// The noise is what the windows near the quietest level hold: their mean power and mean
// autocorrelation at 8 kHz. Digital silence gives none; a hiss or a hum gives its own colour,
// which is then taken out of every window, so the features see the voice over the same faint
// white floor whatever the recording's noise was.
void ShapeFeatureStream::MeasureNoise(double quietDb) {
    const double limit = quietDb + 3.0;
    const float heldBefore = held_;
    std::array<float, 3 * kPerWindow> frame{};
    std::array<double, kLags> sums{};
    double energy = 0.0, high = 0.0;
    std::int64_t used = 0;
    bool have = false;  // frame holds window w - 1 at 8 kHz
    for (std::int32_t w = 0; w + 1 < windows_; ++w) {
        const auto i = static_cast<std::size_t>(w);
        if (Db(energies_[i]) > limit || Db(energies_[i + 1]) > limit) {
            have = false;
            continue;
        }
        if (!have) Decimate(w, frame.data() + kPerWindow);
        const Raw next = Decimate(w + 1, frame.data() + 2 * kPerWindow);
        std::array<float, kLags> s{};
        FrameSums(frame.data() + kPerWindow, s.data());
        for (int l = 0; l < kLags; ++l)
            sums[static_cast<std::size_t>(l)] += s[static_cast<std::size_t>(l)];
        energy += next.energy;
        high += std::max(0.0, next.energy - next.low);
        ++used;
        std::copy(frame.begin() + kPerWindow, frame.end(), frame.begin());
        have = true;
    }
    held_ = heldBefore;
    if (used == 0) return;
    const auto n = static_cast<double>(used);
    for (int l = 0; l < kLags; ++l)
        noiseSums_[static_cast<std::size_t>(l)] =
            static_cast<float>(sums[static_cast<std::size_t>(l)] / n);
    SpectrumOf(noiseSums_.data(), noiseSpectrum_.data());
    noiseSpectrum_[kBands + 1] = noiseSums_[0];
    noiseMs_ = kOverSubtract * energy / n;
    noiseHighMs_ = kOverSubtract * high / n;
}

void ShapeFeatureStream::Silence(float* out) const {
    std::fill(out, out + kShapeFeatureCount, 0.0f);
    out[kShapeEnergy] = Relative(0.0);
    out[kShapeHigh] = Relative(0.0);
}

// The floor is where the quietest windows are (5th percentile of all windows, digital silence
// counted as a level like any other) and the voice's level where its loud windows are (90th
// percentile of the windows clearly above that floor). Neither depends on the pauses being
// exact zeros, so a hiss under the voice moves neither. A histogram in half decibels keeps this
// to one pass and no memory per window.
void ShapeFeatureStream::MeasureLevels() {
    constexpr double kLowest = -30.0;  // Db(0)
    constexpr int kSteps = 280;        // -30 .. 110 dB
    std::array<std::int32_t, kSteps> histogram{};
    energies_.resize(static_cast<std::size_t>(windows_));
    std::vector<float> means(static_cast<std::size_t>(windows_));
    for (std::int32_t w = 0; w < windows_; ++w) {
        const std::int64_t s = std::int64_t{w} * rate_ / 100;
        const std::int64_t e = std::min<std::int64_t>(count_, std::int64_t{w + 1} * rate_ / 100);
        std::int64_t squares = 0, sum = 0;
        WindowSums(samples_ + s, std::max<std::int64_t>(e - s, 0), squares, sum);
        const double n = static_cast<double>(std::max<std::int64_t>(e - s, 1));
        means[static_cast<std::size_t>(w)] = static_cast<float>(static_cast<double>(sum) / n);
        energies_[static_cast<std::size_t>(w)] =
            static_cast<float>(static_cast<double>(squares) / n);
    }
    std::vector<float> sorted(means);
    std::nth_element(sorted.begin(),
                     sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    dc_ = sorted[sorted.size() / 2];
    if (std::abs(dc_) < 16.0) dc_ = 0.0;
    for (std::int32_t w = 0; w < windows_; ++w) {
        const std::int64_t s = std::int64_t{w} * rate_ / 100;
        const std::int64_t span = std::int64_t{w + 1} * rate_ / 100 - s;
        const std::int64_t e = std::min<std::int64_t>(count_, s + span);
        const double n = static_cast<double>(std::max<std::int64_t>(e - s, 0));
        const auto i = static_cast<std::size_t>(w);
        const double centred = n * (energies_[i] - 2.0 * dc_ * means[i] + dc_ * dc_);
        const double ms = span > 0 ? std::max(0.0, centred) / static_cast<double>(span) : 0.0;
        energies_[i] = static_cast<float>(ms);
        ++histogram[static_cast<std::size_t>(
            std::clamp(static_cast<int>((Db(ms) - kLowest) * 2.0), 0, kSteps - 1))];
    }
    // The level under which a share `p` of the windows from step `from` up lie; `none` if no
    // window is there.
    auto percentile = [&](int from, double p, double none) {
        std::int32_t counted = 0;
        for (int i = from; i < kSteps; ++i) counted += histogram[static_cast<std::size_t>(i)];
        if (counted == 0) return none;
        const auto target = static_cast<std::int32_t>(p * (counted - 1));
        std::int32_t seen = 0;
        for (int i = from; i < kSteps; ++i) {
            seen += histogram[static_cast<std::size_t>(i)];
            if (seen > target) return kLowest + i * 0.5 + 0.25;
        }
        return kLowest + kSteps * 0.5;
    };
    const double quiet = percentile(0, 0.05, kLowest);
    // Windows 12 dB over the floor are the voice; a sound with none is all floor: its floor is
    // then the one every window is read over, so nothing in it rises above it.
    const int voiced = std::min(static_cast<int>((quiet + 12.0 - kLowest) * 2.0), kSteps);
    refDb_ = percentile(voiced, 0.90, quiet + kShapeLeastFloorDb);
    MeasureNoise(quiet);
    floorDb_ = refDb_ - kShapeLeastFloorDb;
    floorMs_ = std::pow(10.0, floorDb_ / 10.0);
}

// Each 8 kHz value is the mean of the samples of its 1/8000 s (the k-th of 80 slices of the
// window, cut as floor(span * k / 80)): a cheap low-pass that needs no filter state, and the
// same at any rate. A rate below 8 kHz holds values over the empty slices.
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
    // Sums of four samples (independent, so the vector unit takes them) and their running sum
    // make each slice's sum two look-ups and at most six additions; the running sum over the
    // fours is the only serial work. Samples past the end of the sound count as silence.
    const std::int64_t have = std::max<std::int64_t>(end - s, 0);
    // Past the end of the sound there is only silence: sums stop growing there, and nothing is
    // held for it, however long a window a strange rate makes.
    const std::int64_t used = std::min(span, have);
    const std::int64_t quads = used / 4 + 1;
    const std::int16_t* p = samples_ + s;
    // Only a window that runs past the end of the sound (or whose last four would) is copied.
    if (have < quads * 4) {
        padded_.assign(static_cast<std::size_t>(quads * 4), 0);
        std::copy(p, p + have, padded_.begin());
        p = padded_.data();
    }
    prefix_.resize(static_cast<std::size_t>(quads + 1));
    std::int64_t* q = prefix_.data();
    q[0] = 0;
    QuadSums(p, quads, q + 1);
    for (std::int64_t j = 0; j < quads; ++j) q[j + 1] += q[j];
    // Without branches: slices of 5.5 samples would make every guess of the predictor a coin
    // toss.
    auto sumTo = [&](std::int64_t b) {
        b = std::min(b, used);
        const std::int16_t* quad = p + (b & ~std::int64_t{3});
        const std::int64_t r = b & 3;
        return q[b >> 2] + quad[0] * (r > 0) + quad[1] * (r > 1) + quad[2] * (r > 2);
    };
    const std::int64_t whole = span / kPerWindow;
    // A slice holds `whole` or `whole + 1` samples: two reciprocals serve every division.
    const float inverse[2] = {whole > 0 ? 1.0f / static_cast<float>(whole) : 0.0f,
                              1.0f / static_cast<float>(whole + 1)};
    const auto offset = static_cast<float>(dc_);
    std::int64_t a = 0, reached = 0;
    float low = 0.0f;
    for (int k = 0; k < kPerWindow; ++k) {
        const std::int64_t b = span * (k + 1) / kPerWindow;
        if (b > a) {
            const std::int64_t upTo = sumTo(b);
            if (b <= used) {
                held_ = static_cast<float>(upTo - reached) * inverse[b - a - whole] - offset;
            } else {
                // The slice runs past the end of the sound: only its real samples lose the offset.
                const std::int64_t real = std::min(b, used) - std::min(a, used);
                held_ = static_cast<float>(
                    (static_cast<double>(upTo - reached) - dc_ * static_cast<double>(real)) /
                    static_cast<double>(b - a));
            }
            reached = upTo;
        }
        dst[k] = held_;
        low += held_ * held_;
        a = b;
    }
    raw.energy = energies_[static_cast<std::size_t>(w)];
    raw.low = low / kPerWindow;
    return raw;
}

bool ShapeFeatureStream::Next(float* out) {
    if (next_ >= windows_) return false;
    std::copy(frame_.begin() + kPerWindow, frame_.end(), frame_.begin());
    raw_[0] = raw_[1];
    raw_[1] = raw_[2];
    raw_[2] = Decimate(next_ + 1, frame_.data() + 2 * kPerWindow);

    // 20 ms centred on the window.
    SpectralFeatures(frame_.data() + kPerWindow / 2, noiseSpectrum_.data(), floorMs_, out);
    const Raw& w = raw_[1];
    const double energy = std::max(0.0, w.energy - noiseMs_);
    out[kShapeEnergy] = Relative(energy);
    out[kShapeHigh] = Relative(std::max(0.0, w.energy - w.low - noiseHighMs_));
    out[kShapeAbove] = static_cast<float>(std::max(0.0, Db(energy) - floorDb_) / 20.0);
    ++next_;
    return true;
}

}  // namespace vokra

namespace vokra {

ShapeInputStream::ShapeInputStream(const std::int16_t* samples, std::int32_t count,
                                   std::int32_t sampleRate)
    : features_(samples, count, sampleRate) {
    if (features_.WindowCount() == 0) return;
    features_.Silence(silence_.data());
    // Read ahead as far as the context reaches.
    while (read_ < std::min(features_.WindowCount(), kShapeContextReach + 1)) {
        features_.Next(ring_[static_cast<std::size_t>(read_ % kRing)].data());
        ++read_;
    }
}

bool ShapeInputStream::Next(float* out) {
    if (next_ >= features_.WindowCount()) return false;
    const std::int32_t ahead = next_ + kShapeContextReach;
    if (ahead >= read_ && read_ < features_.WindowCount()) {
        features_.Next(ring_[static_cast<std::size_t>(read_ % kRing)].data());
        ++read_;
    }
    for (std::size_t c = 0; c < kShapeContext.size(); ++c) {
        const std::int32_t at = next_ + kShapeContext[c];
        const auto& f =
            at < 0 || at >= read_ ? silence_ : ring_[static_cast<std::size_t>(at % kRing)];
        std::copy(f.begin(), f.end(), out + c * kShapeFeatureCount);
    }
    ++next_;
    return true;
}

}  // namespace vokra

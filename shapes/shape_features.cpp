#include "shapes/shape_features.h"

#include <algorithm>
#include <cmath>

namespace vokra {
namespace {

constexpr double kDbFloor = kShapeLevelFloor * 20.0;

// The window the predictor's frame is weighed with, built once on first use.
const std::array<float, ShapeFeatureStream::kFrame>& Hamming() {
    static const auto table = [] {
        std::array<float, ShapeFeatureStream::kFrame> w{};
        for (int i = 0; i < ShapeFeatureStream::kFrame; ++i)
            w[i] = static_cast<float>(0.54 - 0.46 * std::cos(2 * 3.14159265358979 * (i + 0.5) /
                                                             ShapeFeatureStream::kFrame));
        return w;
    }();
    return table;
}

constexpr int kLags = 12;  // 0..kShapeLpcOrder, padded for the vector unit
static_assert(kLags > kShapeLpcOrder);

// Eight partial sums per lag, side by side, so the loop needs no reordering of a float sum to
// run on the vector unit.
VOKRA_SHAPES_VECTOR
void Autocorrelate(const float* x, float* sums) {
    static_assert(ShapeFeatureStream::kFrame % 8 == 0);
    for (int lag = 0; lag < kLags; ++lag) {
        float acc[8] = {};
        for (int i = 0; i < ShapeFeatureStream::kFrame; i += 8)
            for (int j = 0; j < 8; ++j) acc[j] += x[i + j] * x[i + j + lag];
        sums[lag] =
            ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
    }
}

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

// The autocorrelation the predictor works from: 20 ms starting at `src`, pre-emphasised so the
// predictor follows the formants rather than the voice's falling slope, Hamming-weighed.
void FrameSums(const float* src, float* sums) {
    const auto& hamming = Hamming();
    std::array<float, ShapeFeatureStream::kFrame + kLags> x{};
    for (int i = 0; i < ShapeFeatureStream::kFrame; ++i)
        x[i] = (src[i] - 0.9f * src[i - 1]) * hamming[i];
    Autocorrelate(x.data(), sums);
}

// The power spectrum the predictor's lags describe, at kBands + 1 frequencies from 0 to 4 kHz,
// and back: a cosine sum each way, exact for the lags the predictor uses.
constexpr int kBands = 32;
const std::array<std::array<float, kLags>, kBands + 1>& Cosines() {
    static const auto table = [] {
        std::array<std::array<float, kLags>, kBands + 1> t{};
        for (int k = 0; k <= kBands; ++k)
            for (int l = 0; l <= kShapeLpcOrder; ++l)
                t[k][l] = static_cast<float>(std::cos(3.14159265358979 * k * l / kBands));
        return t;
    }();
    return table;
}

// The lags are first tapered (a Gaussian lag window, formants widened by about 100 Hz), so the
// envelope's valleys stay above zero and only noise decides where a band is floored.
const std::array<float, kLags>& LagWindow() {
    static const auto table = [] {
        std::array<float, kLags> w{};
        for (int l = 0; l <= kShapeLpcOrder; ++l) {
            const double a = 2 * 3.14159265358979 * 100.0 * l / ShapeFeatureStream::kRate;
            w[l] = static_cast<float>(std::exp(-0.5 * a * a));
        }
        return w;
    }();
    return table;
}

VOKRA_SHAPES_VECTOR
void SpectrumOf(const float* sums, float* spectrum) {
    const auto& c = Cosines();
    const auto& taper = LagWindow();
    for (int k = 0; k <= kBands; ++k) {
        float acc = 0.0f;
        for (int l = 1; l < kLags; ++l) acc += c[k][l] * taper[l] * sums[l];
        spectrum[k] = sums[0] + 2.0f * acc;
    }
}

// The noise's spectrum taken out of the frame's, band by band (spectral subtraction), each band
// keeping at least a share of the noise's power there and of its mean over the bands: no band
// goes negative, so the lags stay those of a real spectrum, and what the noise leaves behind is
// nearly flat, like the floor every frame is read over.
VOKRA_SHAPES_VECTOR
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

// How much of the measured noise is taken out of each window: a little more than all of it, as
// a noisy window carries more or less than the mean.
constexpr double kOverSubtract = 1.5;
// The same for the noise's spectrum in each band (more, as one band of one frame strays further
// from the mean than a whole window's level), and the share of the noise a band keeps at least.
constexpr float kSubtract = 2.0f;
constexpr float kKeep = 0.1f;

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
    std::array<float, kLags> sums{};
    FrameSums(frame_.data() + kPerWindow / 2, sums.data());
    // The recording's noise taken out band by band; then the floor's noise, white, added to what
    // the predictor sees: silence, a faint hiss and a coloured floor get the same flat spectrum.
    // (The pre-emphasis gives white noise 1.81 times its power; the Hamming window keeps 0.397 of
    // it.)
    Compensate(sums.data(), noiseSpectrum_.data(), kSubtract, kKeep);
    sums[0] += static_cast<float>(floorMs_ * 1.81 * 0.397 * kFrame);
    // Levinson-Durbin; a silent frame gets a flat predictor.
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
    // The predictor's cepstrum: the log spectrum's envelope in a few numbers.
    static constexpr auto kRatio = [] {
        std::array<std::array<float, kShapeCepstra + 1>, kShapeCepstra + 1> t{};
        for (int n = 1; n <= kShapeCepstra; ++n)
            for (int k = 1; k < n; ++k) t[n][k] = static_cast<float>(k) / static_cast<float>(n);
        return t;
    }();
    std::array<float, kShapeCepstra + 1> c{};
    for (int n = 1; n <= kShapeCepstra; ++n) {
        float acc = n <= kShapeLpcOrder ? -lpc[n] : 0.0f;
        for (int k = std::max(1, n - kShapeLpcOrder); k < n; ++k)
            acc -= kRatio[n][k] * c[k] * lpc[n - k];
        c[n] = acc;
        out[n - 1] = acc;
    }
    const Raw& w = raw_[1];
    const double energy = std::max(0.0, w.energy - noiseMs_);
    out[kShapeEnergy] = Relative(energy);
    out[kShapeHigh] = Relative(std::max(0.0, w.energy - w.low - noiseHighMs_));
    // How often the voice band crosses zero, read from what the predictor sees (its first lag
    // against its power) rather than counted: the recording's noise is then already out of it.
    out[kShapeCrossings] =
        std::acos(std::clamp(sums[1] / std::max(sums[0], 1e-9f), -1.0f, 1.0f)) / 3.14159265f;
    out[kShapeNoise] = std::max(-4.0f, std::log10(error / total));
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

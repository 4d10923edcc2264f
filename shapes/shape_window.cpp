#include "shapes/shape_window.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vokra::shape_window {

namespace {

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

}  // namespace

// The autocorrelation the predictor works from: 20 ms starting at `src`, pre-emphasised so the
// predictor follows the formants rather than the voice's falling slope, Hamming-weighed.
void FrameSums(const float* src, float* sums) {
    const auto& hamming = Hamming();
    std::array<float, ShapeFeatureStream::kFrame + kLags> x{};
    for (int i = 0; i < ShapeFeatureStream::kFrame; ++i)
        x[i] = (src[i] - 0.9f * src[i - 1]) * hamming[i];
    Autocorrelate(x.data(), sums);
}

namespace {

// The power spectrum the predictor's lags describe, at kBands + 1 frequencies from 0 to 4 kHz,
// and back: a cosine sum each way, exact for the lags the predictor uses.
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

}  // namespace

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

void SpectralFeatures(const float* src, const float* noiseSpectrum, double floorMs, float* out) {
    constexpr int kFrame = ShapeFeatureStream::kFrame;
    std::array<float, kLags> sums{};
    FrameSums(src, sums.data());
    // The recording's noise taken out band by band; then the floor's noise, white, added to what
    // the predictor sees: silence, a faint hiss and a coloured floor get the same flat spectrum.
    // (The pre-emphasis gives white noise 1.81 times its power; the Hamming window keeps 0.397 of
    // it.)
    Compensate(sums.data(), noiseSpectrum, kSubtract, kKeep);
    sums[0] += static_cast<float>(floorMs * 1.81 * 0.397 * kFrame);
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
    // How often the voice band crosses zero, read from what the predictor sees (its first lag
    // against its power) rather than counted: the recording's noise is then already out of it.
    out[kShapeCrossings] =
        std::acos(std::clamp(sums[1] / std::max(sums[0], 1e-9f), -1.0f, 1.0f)) / 3.14159265f;
    out[kShapeNoise] = std::max(-4.0f, std::log10(error / total));
}

}  // namespace vokra::shape_window

#pragma once
// One window's spectral arithmetic: the predictor's lags of 20 ms, the recording's noise taken
// out of them band by band, the floor's white noise added, the predictor and its cepstrum. The
// offline features and the live ones both call it, so the model reads live exactly what it was
// trained on.
#include "shapes/shape_features.h"

namespace vokra::shape_window {

constexpr int kLags = 12;  // 0..kShapeLpcOrder, padded for the vector unit
static_assert(kLags > kShapeLpcOrder);
constexpr int kBands = 32;
// How much of the measured noise is taken out of each window: a little more than all of it, as
// a noisy window carries more or less than the mean.
constexpr double kOverSubtract = 1.5;
// The same for the noise's spectrum in each band (more, as one band of one frame strays further
// from the mean than a whole window's level), and the share of the noise a band keeps at least.
constexpr float kSubtract = 2.0f;
constexpr float kKeep = 0.1f;

// The lags 0..kLags-1 of the 20 ms starting at `src` (src[-1] is read by the pre-emphasis).
void FrameSums(const float* src, float* sums);
// The power spectrum those lags describe at kBands + 1 frequencies from 0 to 4 kHz.
void SpectrumOf(const float* sums, float* spectrum);
// The cepstra (out[0..kShapeCepstra-1]), the crossing rate (out[kShapeCrossings]) and what the
// predictor leaves (out[kShapeNoise]) of the 20 ms starting at `src`, with `noiseSpectrum`
// (kBands + 2 values: the bands and the noise's power) taken out and a white floor of mean
// square `floorMs` added.
void SpectralFeatures(const float* src, const float* noiseSpectrum, double floorMs, float* out);

}  // namespace vokra::shape_window

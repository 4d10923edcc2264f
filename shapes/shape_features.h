#pragma once
// The sound described every 10 ms for the shape estimator: the shape of the spectrum of the voice
// band (cepstrum of a linear predictor at 8 kHz, which follows the formants), loudness, the
// energy above the voice band, zero crossings and how noise-like the sound is. The recording's
// own noise (its level, its level above 4 kHz and its spectrum, measured on its quietest windows)
// is taken out of every window first, and what is left is read over a faint white floor 35 dB
// under the voice: digital silence, a hiss and a coloured floor then look alike. Levels are
// relative to the voice's level, a robust percentile over the windows 12 dB over the quietest, so
// that a quiet and a loud recording of the same line look alike too. The estimator and the
// training tool share this code, so the model sees at run time exactly what it was trained on.
#include <array>
#include <complex>
#include <cstdint>
#include <vector>

// The few loops that carry the arithmetic are also compiled for AVX2, picked at run time where
// the processor has it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VOKRA_SHAPES_VECTOR __attribute__((target_clones("avx2", "default")))
#else
#define VOKRA_SHAPES_VECTOR
#endif

namespace vokra {

constexpr int kShapeLpcOrder = 10;
constexpr int kShapeCepstra = 12;
// Cepstra 1..12, then these:
constexpr int kShapeEnergy = kShapeCepstra;         // the window's level over the floor
constexpr int kShapeHigh = kShapeCepstra + 1;       // its level above 4 kHz
constexpr int kShapeCrossings = kShapeCepstra + 2;  // zero-crossing rate of the voice band, 0..1
constexpr int kShapeNoise = kShapeCepstra + 3;      // what the predictor leaves, 0 (tone) .. -4
constexpr int kShapeAbove = kShapeCepstra + 4;      // how far the window rises above the floor
constexpr int kShapeFeatureCount = kShapeCepstra + 5;
// Levels are in decibels relative to the voice, divided by 20, never below this.
constexpr float kShapeLevelFloor = -4.0f;
// The floor every window is read over, in decibels under the voice's level, once the
// recording's own noise is taken out: digital silence and any floor read as this.
constexpr double kShapeLeastFloorDb = 35.0;

// The number of 10 ms windows of a sound: window i covers samples [i*rate/100, (i+1)*rate/100),
// the last one possibly cut short.
std::int32_t ShapeWindowCount(std::int32_t count, std::int32_t sampleRate);

// Walks the windows of a sound in order, one feature vector per window. Memory stays constant
// whatever the length: the signal is brought to 8 kHz a window at a time and only the last three
// windows are kept for the spectrum.
class ShapeFeatureStream {
public:
    static constexpr int kRate = 8000;              // the working rate
    static constexpr int kPerWindow = kRate / 100;  // 80 samples per 10 ms
    static constexpr int kFrame = 2 * kPerWindow;   // the predictor sees 20 ms around the window

    ShapeFeatureStream(const std::int16_t* samples, std::int32_t count, std::int32_t sampleRate);

    std::int32_t WindowCount() const { return windows_; }
    // The features of the next window into `out` (kShapeFeatureCount values); false after the
    // last window.
    bool Next(float* out);
    // The features of a silent window of this sound (for context outside it).
    void Silence(float* out) const;

private:
    struct Raw {
        double energy = 0.0;  // mean square at the sound's own rate
        double low = 0.0;     // mean square at 8 kHz
    };
    void MeasureLevels();
    // Brings window `w` to 8 kHz into `dst` (kPerWindow values) and measures it.
    Raw Decimate(std::int32_t w, float* dst);
    double Db(double meanSquare) const;
    // A level over the floor's noise, relative to the voice, in the features' units.
    float Relative(double meanSquare) const;

    const std::int16_t* samples_;
    std::int32_t count_;
    std::int32_t rate_;
    std::int32_t windows_;
    std::int32_t next_ = 0;
    // The recording's own noise, measured on its quietest windows and taken out of every window
    // (a little more than once, so what is left of it in a pause does not read as sound).
    void MeasureNoise(double quietDb);

    double refDb_ = 60.0;    // a loud part of the voice
    double floorDb_ = 5.0;   // the floor every window is read over, kShapeLeastFloorDb under refDb_
    double floorMs_ = 3.16;  // the same as a mean square
    double noiseMs_ = 0.0;   // the noise taken out of each window: mean square at its own rate
    double noiseHighMs_ = 0.0;               // and above 4 kHz
    std::array<float, 12> noiseSums_{};      // its autocorrelation as the predictor sees it
    std::array<float, 34> noiseSpectrum_{};  // its power at 0..4 kHz in 33 bands, then the mean
    double dc_ = 0.0;                        // the sound's mean: its offset from zero
    float held_ = 0.0f;  // the last 8 kHz value, held where a window is shorter than 80
    std::array<float, 3 * kPerWindow> frame_{};  // the windows before, at and after
    std::array<Raw, 3> raw_{};
    std::vector<float> energies_;       // each window's mean square, from the level pass
    std::vector<std::int16_t> padded_;  // one window's samples, widened, padded to fours
    std::vector<std::int64_t> prefix_;  // running sums of its fours
};

// The windows the scorer looks at, relative to the one it scores.
inline constexpr std::array<int, 11> kShapeContext = {-8, -5, -3, -2, -1, 0, 1, 2, 3, 5, 8};
inline constexpr int kShapeContextReach = 8;
inline constexpr int kShapeInputCount = static_cast<int>(kShapeContext.size()) * kShapeFeatureCount;

// The scorer's input for each window in order: the features of the context windows side by
// side, windows outside the sound described as silence at the sound's own level. Keeps the
// features of the last few windows only.
class ShapeInputStream {
public:
    ShapeInputStream(const std::int16_t* samples, std::int32_t count, std::int32_t sampleRate);
    std::int32_t WindowCount() const { return features_.WindowCount(); }
    // The input of the next window into `out` (kShapeInputCount values); false after the last.
    bool Next(float* out);

private:
    static constexpr int kRing = 2 * kShapeContextReach + 1;
    ShapeFeatureStream features_;
    std::array<std::array<float, kShapeFeatureCount>, kRing> ring_{};
    std::array<float, kShapeFeatureCount> silence_{};
    std::int32_t read_ = 0;  // windows whose features are in the ring
    std::int32_t next_ = 0;  // the window whose input comes next
};

}  // namespace vokra

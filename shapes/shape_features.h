#pragma once
// The sound described every 10 ms for the shape estimator: loudness, a mel spectrum of the voice
// band, the energy above it and the zero-crossing rate, all relative to the sound's own level so
// that a quiet and a loud recording of the same line look alike. The estimator and the training
// tool share this code, so the model sees at run time exactly what it was trained on.
#include <array>
#include <complex>
#include <cstdint>
#include <vector>

namespace vokra {

constexpr int kShapeMelBands = 20;
// Mel bands, then total energy, energy above the voice band, zero crossings, noise floor.
constexpr int kShapeFeatureCount = kShapeMelBands + 4;

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
    static constexpr int kFrame = 3 * kPerWindow;   // the spectrum sees 30 ms around the window
    static constexpr int kFft = 256;

    ShapeFeatureStream(const std::int16_t* samples, std::int32_t count, std::int32_t sampleRate);

    std::int32_t WindowCount() const { return windows_; }
    // The features of the next window into `out` (kShapeFeatureCount values); false after the
    // last window.
    bool Next(float* out);

private:
    struct Raw {
        double energy = 0.0;     // mean square at the sound's own rate
        double low = 0.0;        // mean square at 8 kHz
        double crossings = 0.0;  // zero crossings per second
    };
    void MeasureLevels();
    // Brings window `w` to 8 kHz into `dst` (kPerWindow values) and measures it.
    Raw Decimate(std::int32_t w, float* dst);
    double Db(double meanSquare) const;

    const std::int16_t* samples_;
    std::int32_t count_;
    std::int32_t rate_;
    std::int32_t windows_;
    std::int32_t next_ = 0;
    double refDb_ = 60.0;   // a loud part of the voice
    double floorDb_ = 0.0;  // the quiet between words
    float held_ = 0.0f;     // the last 8 kHz value, held where a window is shorter than 80
    std::array<float, kFrame> frame_{};
    std::array<Raw, 3> raw_{};
};

}  // namespace vokra

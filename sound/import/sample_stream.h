#pragma once
// Mono float blocks made into 16-bit samples: resampled by soxr at high quality when the rates
// differ, with TPDF dither for sources finer than 16 bits, and never longer than planned.
#include <soxr.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace vokra::import_detail {

// TPDF dither from a small fixed-seed generator, so that the same file always converts to the
// same bytes.
class Dither {
public:
    float Next() {
        return (Uniform() + Uniform()) - 1.0f;  // triangular over (-1, 1) LSB
    }

private:
    float Uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ >> 8) * (1.0f / 16777216.0f);
    }
    std::uint32_t state_ = 0x9E3779B9u;
};

class SampleStream {
public:
    // Ready for a source at `fromRate` made into about `planned` samples at `toRate`; false when
    // the resampler cannot be made.
    bool Start(std::int32_t fromRate, std::int32_t toRate, std::size_t planned, bool dither);
    // Takes a block of mono source values; false when the resampler fails.
    bool Push(const float* in, std::size_t count);
    // Drains what the resampler still holds; false when it fails.
    bool Finish();
    // The samples, cut or padded with silence to `length`.
    std::vector<std::int16_t> Take(std::size_t length);

private:
    struct SoxrDeleter {
        void operator()(soxr_t s) const { soxr_delete(s); }
    };
    using SoxrHandle = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

    // Feeds a block to the resampler (null: flush) and emits what comes out.
    bool Resample(const float* in, std::size_t count);
    void Emit(const float* in, std::size_t count);

    SoxrHandle resampler_;
    std::vector<float> resampled_;
    std::vector<std::int16_t> out_;
    std::size_t limit_ = 0;
    bool dither_ = false;
    Dither ditherSource_;
};

}  // namespace vokra::import_detail

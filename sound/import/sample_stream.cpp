#include "sound/import/sample_stream.h"

#include <algorithm>
#include <cmath>

namespace vokra::import_detail {
namespace {

// Room for what the resampler makes in one round, whatever the ratio: Resample drains it in as
// many rounds as needed.
constexpr std::size_t kResampledFloats = 1 << 16;

}  // namespace

bool SampleStream::Start(std::int32_t fromRate, std::int32_t toRate, std::size_t planned,
                         bool dither) {
    if (toRate != fromRate) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler_.reset(soxr_create(fromRate, toRate, 1, &error, &io, &quality, nullptr));
        if (!resampler_ || error) return false;
    }
    // A little room for the resampler's rounding; the length is settled at the end.
    limit_ = planned + 64;
    out_.reserve(limit_);
    dither_ = dither;
    if (resampler_) resampled_.resize(kResampledFloats);
    return true;
}

bool SampleStream::Push(const float* in, std::size_t count) {
    if (resampler_) return Resample(in, count);
    Emit(in, count);
    return true;
}

bool SampleStream::Finish() {
    return !resampler_ || Resample(nullptr, 0);
}

std::vector<std::int16_t> SampleStream::Take(std::size_t length) {
    out_.resize(length, 0);
    return std::move(out_);
}

bool SampleStream::Resample(const float* in, std::size_t count) {
    std::size_t used = 0;
    for (;;) {
        std::size_t consumed = 0;
        std::size_t produced = 0;
        const soxr_error_t error =
            soxr_process(resampler_.get(), in ? in + used : nullptr, in ? count - used : 0,
                         &consumed, resampled_.data(), resampled_.size(), &produced);
        if (error) return false;
        used += consumed;
        Emit(resampled_.data(), produced);
        if (in ? used >= count : produced == 0) return true;
        // Output beyond the planned length is dropped by Emit; nothing more is worth making.
        if (out_.size() >= limit_) return true;
        if (in && consumed == 0 && produced == 0) return true;
    }
}

void SampleStream::Emit(const float* in, std::size_t count) {
    count = std::min(count, limit_ - out_.size());
    for (std::size_t i = 0; i < count; ++i) {
        float v = in[i] * 32768.0f;
        if (dither_) v += ditherSource_.Next();
        v = std::nearbyint(v);
        // NaN from a hostile float file becomes silence.
        if (!(v > -32768.0f)) v = v < 0.0f ? -32768.0f : 0.0f;
        if (v > 32767.0f) v = 32767.0f;
        out_.push_back(static_cast<std::int16_t>(v));
    }
}

}  // namespace vokra::import_detail

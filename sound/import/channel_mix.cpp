#include "sound/import/channel_mix.h"

#include <cstring>

namespace vokra::import_detail {

void MixDown(const float* in, std::size_t frames, std::size_t channels, std::int32_t pick,
             float* out) {
    if (channels == 1) {
        std::memcpy(out, in, frames * sizeof(float));
    } else if (pick > 0) {
        const std::size_t c = static_cast<std::size_t>(pick - 1);
        for (std::size_t i = 0; i < frames; ++i) out[i] = in[i * channels + c];
    } else {
        const float scale = 1.0f / static_cast<float>(channels);
        for (std::size_t i = 0; i < frames; ++i) {
            const float* frame = in + i * channels;
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c) sum += frame[c];
            out[i] = sum * scale;
        }
    }
}

}  // namespace vokra::import_detail

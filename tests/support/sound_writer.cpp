#include "tests/support/sound_writer.h"

#include <cmath>
#include <cstdio>

namespace vokra::test {

SampleFunction Tone(double hz, double rate, float amplitude) {
    return [=](std::int64_t frame, int) {
        return amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * frame / rate));
    };
}

bool WriteSoundFile(const std::string& path, int format, int rate, int channels,
                    std::int64_t frames, const SampleFunction& sample) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "libsndfile: %s\n", sf_strerror(nullptr));
        return false;
    }
    std::vector<float> block(4096 * static_cast<std::size_t>(channels));
    bool ok = true;
    for (std::int64_t done = 0; done < frames && ok;) {
        const std::int64_t n = std::min<std::int64_t>(4096, frames - done);
        for (std::int64_t i = 0; i < n; ++i) {
            for (int c = 0; c < channels; ++c) block[i * channels + c] = sample(done + i, c);
        }
        ok = sf_writef_float(file, block.data(), n) == n;
        done += n;
    }
    return sf_close(file) == 0 && ok;
}

std::vector<SoundSeed> SoundSeedFormats() {
    return {
        {"wav16_stereo_48k", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2},
        {"wav24_stereo_48k", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        {"wav32_mono_96k", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 96000, 1},
        {"wavfloat_6ch_44k", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 6},
        {"wavdouble_3ch_8k", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 8000, 3},
        {"wavu8_stereo_192k", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 192000, 2},
        {"wavulaw_5ch_8k", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 5},
        {"wavex16_mono_22k", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 22050, 1},
        {"rf64_24_stereo_48k", SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 48000, 2},
        {"aiff16_4ch_11k", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 11025, 4},
        {"flac24_stereo_96k", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 2},
        {"flac16_mono_3k", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 3000, 1},
        {"vorbis_stereo_44k", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
        {"opus_mono_48k", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
        {"mp3_mono_44k", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1},
    };
}

}  // namespace vokra::test

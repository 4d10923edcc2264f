// Writes the converter's seed files: a short tone in every container and sample format this
// libsndfile writes, plus a WAV with placeholder sizes as a program writing to a pipe leaves it.
#include <cstdio>
#include <string>

#include "tests/support/sound_writer.h"
#include "tests/support/wav_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int status = 0;
    for (const auto& seed : vokra::test::SoundSeedFormats()) {
        // Just longer than the shortest sound the loader takes, so every step is reached.
        const std::int64_t frames = seed.rate * 26 / 100;
        if (!vokra::test::WriteSoundFile(folder + "/" + seed.name, seed.format, seed.rate,
                                         seed.channels, frames,
                                         vokra::test::Tone(440.0, seed.rate))) {
            status = 1;
        }
    }
    vokra::test::WavFormat stereo;
    stereo.channels = 2;
    stereo.sampleRate = 48000;
    const std::string streamed = vokra::test::WavBuilder()
                                     .Fmt(stereo)
                                     .ChunkDeclared("data", 0xFFFFFFFFu, std::string(57600, '\x11'))
                                     .BuildDeclared(0xFFFFFFFFu);
    vokra::test::WriteFile(folder + "/streamed_placeholder_sizes.wav", streamed);
    return status;
}

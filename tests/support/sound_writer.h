#pragma once
// Writes sound files with libsndfile itself (every container and sample format it writes), for
// the import tests, the benchmarks and the import fuzzer's seeds.
#include <sndfile.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vokra::test {

// The value of channel `channel` at frame `frame`, -1..1.
using SampleFunction = std::function<float(std::int64_t frame, int channel)>;

// A tone of `hz` at `amplitude` in every channel.
SampleFunction Tone(double hz, double rate, float amplitude = 0.5f);

// Writes `frames` frames; false when libsndfile refuses the format (its error on stderr).
bool WriteSoundFile(const std::string& path, int format, int rate, int channels,
                    std::int64_t frames, const SampleFunction& sample);

// One small file of every container and sample format this libsndfile writes, for seeds.
struct SoundSeed {
    std::string name;
    int format;
    int rate;
    int channels;
};
std::vector<SoundSeed> SoundSeedFormats();

}  // namespace vokra::test

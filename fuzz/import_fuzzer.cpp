// The converter on arbitrary bytes through libsndfile's virtual I/O: whatever libsndfile makes of
// them, a conversion either refuses with a status or gives a sound the exact loader accepts, of
// a bounded size.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/riff_reader.h"
#include "sound/import.h"
#include "sound/wave_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // At most two blocks of each input are decoded: that reaches every step (the mix-down, the
    // resampler across a block boundary, the end of a short input), while a few bytes that decode
    // to minutes of audio (a compressed stream of silence) would otherwise spend the run, a tenth
    // of a second and more per input, in the decoder and the resampler.
    int blocks = 0;
    vokra::ImportOptions options;
    options.progress = [&blocks](double fraction) {
        Check(fraction >= 0.0 && fraction <= 1.0);
        return ++blocks < 2;
    };
    // Picking a channel walks other code than the mix-down.
    if (size > 0 && (data[size - 1] & 1)) options.channel = 1;

    const vokra::ImportResult r = vokra::ImportSoundBytes(data, size, options);
    if (!r.ok()) {
        Check(r.samples.empty());
        return 0;
    }
    Check(r.rate >= vokra::kMinLoadableRate && r.rate <= vokra::kMaxLoadableRate);
    Check(!r.samples.empty() &&
          static_cast<std::int64_t>(r.samples.size()) <= vokra::kMaxImportSamples);
    Check(!r.info.Describe().empty());

    const std::string wave = vokra::MakeWaveBytes(r.samples, r.rate);
    vokra::RiffReader reader;
    reader.OpenMemory(wave.data(), wave.size());
    vokra::WaveReadResult loaded = vokra::ReadWave(reader);
    Check(loaded.code == 0);
    Check(loaded.sampleCount == static_cast<std::int32_t>(r.samples.size()));
    std::free(loaded.samples);
    return 0;
}

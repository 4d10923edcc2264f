// Loading the largest accepted sounds costs about as much as reading their bytes, and the
// amplitude scan about as much as one min/max pass over the samples.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "bench/support/baselines.h"
#include "bench/support/ratio.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

struct Files {
    test::TempDir dir;
    std::string wav16 = dir.File("largest16.wav");
    std::string wav8 = dir.File("largest8.wav");
    Files() {
        const auto voice = test::VoiceLike(4'000'000 / 44100.0 + 0.01, 44100);
        std::vector<std::int16_t> s16(voice.begin(), voice.begin() + 4'000'000);
        std::vector<std::uint8_t> s8(4'000'000);
        for (std::size_t i = 0; i < s8.size(); ++i)
            s8[i] = static_cast<std::uint8_t>((s16[i] >> 8) + 128);
        test::WriteFile(wav16, test::MakeWav16(s16, 44100));
        test::WriteFile(wav8, test::MakeWav8(s8, 44100));
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void BM_Load(benchmark::State& state, bool eightBit) {
    const std::string& path = eightBit ? TheFiles().wav8 : TheFiles().wav16;
    for (auto _ : state) {
        SoundData sound;
        if (sound.Load(path) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(sound.GetSamples());
    }
}

// The baseline: the whole file into a fresh buffer with one read.
void BM_ReadBytes(benchmark::State& state, bool eightBit) {
    const std::string& path = eightBit ? TheFiles().wav8 : TheFiles().wav16;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const off_t size = ::lseek(fd, 0, SEEK_END);
        void* buffer = std::malloc(static_cast<std::size_t>(size));
        if (::pread(fd, buffer, static_cast<std::size_t>(size), 0) != size)
            state.SkipWithError("read");
        benchmark::DoNotOptimize(buffer);
        ::close(fd);
        std::free(buffer);
    }
}

BENCHMARK_CAPTURE(BM_Load, 16bit, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadBytes, 16bit, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, 8bit, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadBytes, 8bit, true)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(load16, "load 16-bit 8,000,000 bytes / read", "BM_Load/16bit", "BM_ReadBytes/16bit",
            1.5);
VOKRA_RATIO(load8, "load 8-bit 4,000,000 bytes / read", "BM_Load/8bit", "BM_ReadBytes/8bit", 1.5);
// Widening writes twice the bytes it reads, so the 8-bit load is also set against a read of as
// many bytes as its buffer ends up holding (the 8,000,000-byte file).
VOKRA_RATIO(load8w, "load 8-bit 4,000,000 bytes / read of 8,000,000 bytes", "BM_Load/8bit",
            "BM_ReadBytes/16bit", 1.5);

SoundData& Loaded() {
    static SoundData sound;
    if (!sound.IsLoaded()) sound.Load(TheFiles().wav16);
    return sound;
}

void BM_ComputeMaxAmplitude(benchmark::State& state) {
    SoundData& sound = Loaded();
    for (auto _ : state) {
        ComputeMaxAmplitude(sound, 100);
        benchmark::DoNotOptimize(g_maxAmplitude);
    }
}

// The baseline: one min/max pass over the same samples.
void BM_MinMaxScan(benchmark::State& state) {
    SoundData& sound = Loaded();
    const std::int16_t* s = sound.GetSamples();
    const std::int32_t n = sound.GetSampleCount();
    for (auto _ : state) benchmark::DoNotOptimize(bench::MinMaxScan(s, n));
}

BENCHMARK(BM_ComputeMaxAmplitude)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinMaxScan)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(maxamp, "ComputeMaxAmplitude 4,000,000 samples / min-max scan",
            "BM_ComputeMaxAmplitude", "BM_MinMaxScan", 2.0);

}  // namespace
}  // namespace vokra

// Guessing the mouth shapes of a 90 s voice at 44.1 kHz: at least 1000 times faster than real
// time, at most 20 times AutoKey's scan of the same sound, and under 50 bytes per 10 ms beyond
// the sound (every allocation during the guess counted, the result included); and vokra-cli
// shapes on a 60 s voice as a whole process, at least 300 times faster than real time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "document/keyframe_list.h"
#include "palettes/auto_key.h"
#include "shapes/shape_estimator.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

// Live and peak heap bytes of the whole process, for the memory counter.
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void Count(long long bytes) {
    const long long now = g_live.fetch_add(bytes) + bytes;
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

void* operator new(std::size_t size) {
    // The size sits in front of the block so delete can count it back.
    auto* p = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (!p) throw std::bad_alloc();
    *p = size;
    Count(static_cast<long long>(size));
    return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}
void operator delete(void* block) noexcept {
    if (!block) return;
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(block) - sizeof(std::max_align_t));
    g_live.fetch_sub(static_cast<long long>(*p));
    std::free(p);
}
void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace vokra {
namespace {

constexpr double kSeconds = 90.0;
constexpr std::int32_t kRate = 44100;
constexpr double kFps = 30.0;

SoundData& Voice() {
    static test::TempDir dir;
    static SoundData sound;
    if (!sound.IsLoaded()) {
        const std::string wav = dir.File("voice.wav");
        test::WriteFile(wav, test::MakeWav16(test::VoiceLike(kSeconds, kRate), kRate));
        sound.Load(wav);
        ComputeMaxAmplitude(sound, 100.0);
    }
    return sound;
}

void BM_GuessShapes(benchmark::State& state) {
    SoundData& sound = Voice();
    long long peak = 0;
    std::size_t windows = 0;
    for (auto _ : state) {
        const long long before = g_live.load();
        g_peak.store(before);
        const auto shapes = GuessShapes(sound.GetSamples(), sound.GetSampleCount(), kRate);
        peak = std::max(peak, g_peak.load() - before);
        windows = shapes.size();
        benchmark::DoNotOptimize(shapes.data());
    }
    state.counters["x_real_time"] = benchmark::Counter(
        kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes_per_10ms"] =
        static_cast<double>(peak) / static_cast<double>(std::max<std::size_t>(windows, 1));
}

// AutoKey's scan: every frame of the sound keyed from its loudest window.
void BM_AutoKey(benchmark::State& state) {
    SoundData& sound = Voice();
    const auto last = static_cast<std::int32_t>(kSeconds * kFps);
    for (auto _ : state) {
        KeyframeList keys;
        AutoKeyFrames(sound, g_maxAmplitude, kFps, 0, last, AutoKeySettings{}, keys);
        benchmark::DoNotOptimize(keys.GetCount());
    }
}

// What AutoKey costs from a freshly loaded sound: the sound's loudest window, then the keys.
void BM_LevelAndAutoKey(benchmark::State& state) {
    SoundData& sound = Voice();
    const auto last = static_cast<std::int32_t>(kSeconds * kFps);
    for (auto _ : state) {
        ComputeMaxAmplitude(sound, 100.0);
        KeyframeList keys;
        AutoKeyFrames(sound, g_maxAmplitude, kFps, 0, last, AutoKeySettings{}, keys);
        benchmark::DoNotOptimize(keys.GetCount());
    }
}

// The per-frame shapes of the whole timeline, from the 10 ms shapes.
void BM_ShapesForFrames(benchmark::State& state) {
    SoundData& sound = Voice();
    const auto shapes = GuessShapes(sound.GetSamples(), sound.GetSampleCount(), kRate);
    const auto last = static_cast<std::int32_t>(kSeconds * kFps);
    for (auto _ : state)
        benchmark::DoNotOptimize(ShapesForFrames(shapes, kRate, kFps, 0, last).data());
}

// The whole tool on a 60 s voice: start, load, guess, print the shapes.
void BM_CliShapesProcess(benchmark::State& state) {
    static test::TempDir dir;
    static const std::string wav = [] {
        const std::string path = dir.File("voice60.wav");
        test::WriteFile(path, test::MakeWav16(test::VoiceLike(60.0, kRate), kRate));
        return path;
    }();
    std::vector<std::string> args = {VOKRA_CLI_PATH, "shapes", wav};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("vokra-cli failed");
    }
    state.counters["x_real_time"] = benchmark::Counter(
        60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_GuessShapes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliShapesProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AutoKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LevelAndAutoKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShapesForFrames)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(shapes, "guess shapes of 90 s / AutoKey scan of the same sound", "BM_GuessShapes",
            "BM_AutoKey", 20.0);
VOKRA_RATIO(shapesLoaded, "guess shapes of 90 s / loudest window + AutoKey scan", "BM_GuessShapes",
            "BM_LevelAndAutoKey", 0.0);

}  // namespace
}  // namespace vokra

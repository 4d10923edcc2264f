// AutoKey over the largest accepted sound (4,000,000 samples) costs about one min/max pass over
// it; vokra-cli keys that file and writes its envelope as a whole process.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/support/baselines.h"
#include "bench/support/ratio.h"
#include "document/keyframe_list.h"
#include "palettes/auto_key.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

constexpr std::int32_t kSamples = 4'000'000;
constexpr double kFps = 30.0;

struct Files {
    test::TempDir dir;
    std::string wav = dir.File("largest.wav");
    std::string env = dir.File("out.env");
    Files() {
        const auto voice = test::VoiceLike(kSamples / 44100.0 + 0.01, 44100);
        std::vector<std::int16_t> samples(voice.begin(), voice.begin() + kSamples);
        test::WriteFile(wav, test::MakeWav16(samples, 44100));
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

SoundData& Loaded() {
    static SoundData sound;
    if (!sound.IsLoaded()) {
        sound.Load(TheFiles().wav);
        ComputeMaxAmplitude(sound, 100.0);
    }
    return sound;
}

// Every frame of the timeline, as Apply without a selection keys it.
std::int32_t LastFrame(const SoundData& sound) {
    return static_cast<std::int32_t>(static_cast<double>(sound.GetSampleCount()) /
                                     sound.GetSampleRate() * kFps);
}

void BM_AutoKey(benchmark::State& state) {
    SoundData& sound = Loaded();
    const double maxAmplitude = g_maxAmplitude;
    for (auto _ : state) {
        KeyframeList keys;
        AutoKeyFrames(sound, maxAmplitude, kFps, 0, LastFrame(sound), AutoKeySettings{}, keys);
        benchmark::DoNotOptimize(keys.GetCount());
    }
}

// The baseline: one min/max pass over the same samples.
void BM_MinMaxScan(benchmark::State& state) {
    SoundData& sound = Loaded();
    const std::int16_t* s = sound.GetSamples();
    const std::int32_t n = sound.GetSampleCount();
    for (auto _ : state) benchmark::DoNotOptimize(bench::MinMaxScan(s, n));
}

BENCHMARK(BM_AutoKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinMaxScan)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(autokey, "AutoKey 4,000,000 samples at 30 fps / min-max scan", "BM_AutoKey",
            "BM_MinMaxScan", 2.0);

// The whole tool: start, load, measure, key and write the envelope file.
void BM_CliAutoKeyProcess(benchmark::State& state) {
    std::string exe = VOKRA_CLI_PATH;
    std::vector<std::string> args = {exe,  "autokey", TheFiles().wav, "--fps",
                                     "30", "--env",   TheFiles().env};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("vokra-cli failed");
    }
}

// For comparison: what the tool does, in this process.
void BM_LoadAndAutoKey(benchmark::State& state) {
    for (auto _ : state) {
        SoundData sound;
        sound.Load(TheFiles().wav);
        ComputeMaxAmplitude(sound, 100.0);
        KeyframeList keys;
        AutoKeyFrames(sound, g_maxAmplitude, kFps, 0, LastFrame(sound), AutoKeySettings{}, keys);
        benchmark::DoNotOptimize(keys.GetCount());
    }
}

BENCHMARK(BM_CliAutoKeyProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndAutoKey)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(cli, "vokra-cli autokey process / load + AutoKey in process", "BM_CliAutoKeyProcess",
            "BM_LoadAndAutoKey", 0.0);

}  // namespace
}  // namespace vokra

// vokra-cli shapes as a whole process on a 60 s voice, with the line's script and without: at
// least 300 times faster than real time on one core. espeak-ng speaks the voice (the sentences of
// shapes/training/real/en.txt, over and over) and the same text is its script. Each run's time is
// the child's processor time (user and system), so a busy machine does not count against it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "shapes/script_phonemes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

extern char** environ;

namespace vokra {
namespace {

constexpr double kSeconds = 60.0;

struct Voice {
    test::TempDir dir;
    std::string wav, text;
    double seconds = 0.0;
};

const Voice& SixtySeconds() {
    static Voice voice;
    if (!voice.wav.empty()) return voice;
    std::ifstream in(std::string(VOKRA_SOURCE_DIR) + "/shapes/training/real/en.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    std::vector<std::int16_t> samples;
    std::string script;
    for (std::size_t i = 0; samples.size() < kSeconds * kScriptSpeechRate && !lines.empty(); ++i) {
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 160;
        o.speech = &speech;
        const std::string& line = lines[i % lines.size()];
        PhonemesOfScript(line, "en-us", o);
        samples.insert(samples.end(), speech.begin(), speech.end());
        samples.insert(samples.end(), kScriptSpeechRate / 4, 0);
        script += line + "\n";
    }
    samples.resize(static_cast<std::size_t>(kSeconds * kScriptSpeechRate));
    voice.seconds = kSeconds;
    voice.wav = voice.dir.File("voice.wav");
    voice.text = voice.dir.File("voice.txt");
    test::WriteFile(voice.wav, test::MakeWav16(samples, kScriptSpeechRate));
    test::WriteFile(voice.text, script);
    return voice;
}

// Runs vokra-cli with `args` (output to /dev/null); the child's processor seconds.
double RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), VOKRA_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1.0;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

void Measure(benchmark::State& state, const std::vector<std::string>& args) {
    const Voice& voice = SixtySeconds();
    for (auto _ : state) {
        const double seconds = RunCli(args);
        if (seconds < 0) {
            state.SkipWithError("vokra-cli failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["x_real_time"] = benchmark::Counter(
        voice.seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CliShapesGuess(benchmark::State& state) {
    Measure(state, {"shapes", SixtySeconds().wav});
}

void BM_CliShapesScript(benchmark::State& state) {
    Measure(state,
            {"shapes", SixtySeconds().wav, "--text", SixtySeconds().text, "--language", "en-us"});
}

// 60 s of sound read in 1/300 of it.
void BM_RealTimeOver300(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(kSeconds / 300.0);
}

BENCHMARK(BM_CliShapesGuess)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliShapesScript)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RealTimeOver300)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(cliScript, "vokra-cli shapes --text on 60 s / 1/300 of 60 s (one core)",
            "BM_CliShapesScript/iterations:5/manual_time",
            "BM_RealTimeOver300/iterations:1/manual_time", 1.0);
VOKRA_RATIO(cliScriptVsGuess, "vokra-cli shapes --text / shapes without text, 60 s",
            "BM_CliShapesScript/iterations:5/manual_time",
            "BM_CliShapesGuess/iterations:5/manual_time", 0.0);

}  // namespace
}  // namespace vokra

// vokra-cli batch on 500 short lines (3 to 4 s, each with its script), in one process on one
// worker: at least 300 times faster than real time in processor time, where one process per line
// spends most of a short line starting up. espeak-ng speaks the lines in five voices; the times
// are the children's processor time (user and system), so a busy machine does not count.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "shapes/script_phonemes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

extern char** environ;

namespace vokra {
namespace {

constexpr int kLines = 500;
constexpr int kClips = 50;

const char* const kSentences[] = {
    "Bring the blue box to my mother.",
    "Where are you going so early?",
    "I told you not to touch that.",
    "We should leave before it gets dark.",
    "Nobody knows what happened last night.",
    "Give me a minute to think about it.",
    "The door was open when I came back.",
    "Can you hear the music from here?",
    "Keep your voice down, they are sleeping.",
    "That is the best idea I have heard all day.",
};
const char* const kVoices[] = {"en-us", "en-us+m3", "en-us+f2", "en+m1", "en-us+f4"};

struct Batch {
    test::TempDir dir;
    std::string manifest;
    std::vector<std::pair<std::string, std::string>> clips;  // sound, script
    double seconds = 0.0;                                    // of all 500 lines
    double clipSeconds = 0.0;                                // of the 50 clips
};

const Batch& Lines() {
    static Batch batch;
    if (!batch.manifest.empty()) return batch;
    std::vector<double> lengths;
    for (int c = 0; c < kClips; ++c) {
        const std::string text = kSentences[c % 10];
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 150 + 10 * (c % 4);
        o.speech = &speech;
        PhonemesOfScript(text, kVoices[c / 10], o);
        // 3.0 to 3.9 s: the speech with rest around it, cut to the length if it is longer.
        const auto length = static_cast<std::size_t>((3.0 + 0.1 * (c % 10)) * kScriptSpeechRate);
        std::vector<std::int16_t> samples(kScriptSpeechRate / 5, 0);
        samples.insert(samples.end(), speech.begin(), speech.end());
        samples.resize(length, 0);
        const std::string name = "c" + std::to_string(c);
        test::WriteFile(batch.dir.File(name + ".wav"), test::MakeWav16(samples, kScriptSpeechRate));
        test::WriteFile(batch.dir.File(name + ".txt"), text);
        batch.clips.emplace_back(batch.dir.File(name + ".wav"), batch.dir.File(name + ".txt"));
        lengths.push_back(static_cast<double>(length) / kScriptSpeechRate);
        batch.clipSeconds += lengths.back();
    }
    std::string csv = "sound,text,language,output,format\n";
    for (int l = 0; l < kLines; ++l) {
        const std::string c = "c" + std::to_string(l % kClips);
        csv += c + ".wav," + c + ".txt,en-us,out" + std::to_string(l) + ".tsv,tsv\n";
        batch.seconds += lengths[static_cast<std::size_t>(l % kClips)];
    }
    batch.manifest = batch.dir.File("lines.csv");
    test::WriteFile(batch.manifest, csv);
    return batch;
}

// Runs vokra-cli with `args` (output to /dev/null); the child's processor seconds, or -1.
double Spawn(std::vector<std::string> args) {
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

void BM_Batch500Lines(benchmark::State& state) {
    const Batch& batch = Lines();
    for (auto _ : state) {
        const double seconds = Spawn({"batch", batch.manifest, "-j", "1"});
        if (seconds < 0) {
            state.SkipWithError("vokra-cli batch failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["x_real_time"] = benchmark::Counter(
        batch.seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The same 500 lines as one process each (50 of them measured, counted ten times).
void BM_ProcessPerLine500(benchmark::State& state) {
    const Batch& batch = Lines();
    for (auto _ : state) {
        double total = 0.0;
        for (const auto& [wav, text] : batch.clips) {
            const double seconds = Spawn({"shapes", wav, "--text", text, "--language", "en-us"});
            if (seconds < 0) {
                state.SkipWithError("vokra-cli shapes failed");
                return;
            }
            total += seconds;
        }
        state.SetIterationTime(total * kLines / kClips);
    }
    state.counters["x_real_time"] = benchmark::Counter(
        batch.seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The 500 lines' sound in 1/300 of its length.
void BM_RealTimeOver300(benchmark::State& state) {
    const double seconds = Lines().seconds;
    for (auto _ : state) state.SetIterationTime(seconds / 300.0);
}

BENCHMARK(BM_Batch500Lines)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessPerLine500)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RealTimeOver300)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
VOKRA_RATIO(batch, "vokra-cli batch, 500 lines of 3-4 s with scripts / 1/300 of their length",
            "BM_Batch500Lines/iterations:3/manual_time",
            "BM_RealTimeOver300/iterations:1/manual_time", 1.0);
VOKRA_RATIO(batchVsProcesses, "vokra-cli batch / one vokra-cli shapes per line, 500 lines",
            "BM_Batch500Lines/iterations:3/manual_time",
            "BM_ProcessPerLine500/iterations:1/manual_time", 0.0);

}  // namespace
}  // namespace vokra

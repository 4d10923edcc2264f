// Converting a long recording costs about what sox costs for the same conversion, and keying it
// with vokra-cli (conversion in memory included) not much more. The recordings are 48 kHz stereo
// 24-bit WAV files written here: 500 s, the longest the rule takes (it goes to 8000 Hz), and 90 s,
// which stays at 44100 Hz where resampling costs most per second of sound.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "sound/import.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

struct Recording {
    std::string path;
    std::int32_t rate = 0;  // the rule's rate for it
};

test::TempDir& Dir() {
    static test::TempDir dir;
    return dir;
}

// Syllables of a voice-like tone, so that keying has loud and quiet frames to tell apart.
float Voice(std::int64_t frame, int channel) {
    const double t = frame / 48000.0;
    const double syllable = std::fmod(t, 0.4);
    const double envelope = syllable < 0.3 ? std::sin(M_PI * syllable / 0.3) : 0.0;
    return static_cast<float>((channel ? 0.5 : 0.6) * envelope * std::sin(2.0 * M_PI * 180.0 * t));
}

const Recording& Made(int seconds) {
    static std::vector<std::pair<int, Recording>> made;
    for (const auto& [s, r] : made) {
        if (s == seconds) return r;
    }
    Recording r;
    r.path = Dir().File("voice" + std::to_string(seconds) + ".wav");
    const std::int64_t frames = std::int64_t{48000} * seconds;
    test::WriteSoundFile(r.path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, frames, Voice);
    r.rate = PlanImportRate(48000, frames).rate;
    made.emplace_back(seconds, r);
    return made.back().second;
}

// Runs a program to the end with its output thrown away; false unless it exits with 0.
bool RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_Convert(benchmark::State& state) {
    const Recording& r = Made(static_cast<int>(state.range(0)));
    const std::string out = Dir().File("vokra.wav");
    for (auto _ : state) {
        const ImportResult result = ImportSound(r.path);
        if (!result.ok() || !WriteWaveFile(out, result.samples, result.rate)) {
            state.SkipWithError("conversion failed");
        }
    }
}

// The baseline: sox making the same mono 16-bit file at the same rate.
void BM_Sox(benchmark::State& state) {
    const Recording& r = Made(static_cast<int>(state.range(0)));
    const std::string out = Dir().File("sox.wav");
    for (auto _ : state) {
        if (!RunProgram(
                {"sox", r.path, "-c", "1", "-b", "16", "-r", std::to_string(r.rate), out})) {
            state.SkipWithError("sox failed (is it installed?)");
        }
    }
}

void BM_CliAutoKey(benchmark::State& state) {
    const Recording& r = Made(static_cast<int>(state.range(0)));
    const std::string env = Dir().File("keys.env");
    for (auto _ : state) {
        if (!RunProgram({VOKRA_CLI_PATH, "autokey", r.path, "--env", env})) {
            state.SkipWithError("vokra-cli failed");
        }
    }
}

BENCHMARK(BM_Convert)->Arg(500)->Arg(90)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Sox)->Arg(500)->Arg(90)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CliAutoKey)->Arg(500)->Arg(90)->Unit(benchmark::kMillisecond)->Iterations(3);

VOKRA_RATIO(convert500, "convert 500 s 48 kHz stereo 24-bit to 8000 Hz / sox",
            "BM_Convert/500/iterations:3", "BM_Sox/500/iterations:3", 1.2);
VOKRA_RATIO(convert90, "convert 90 s 48 kHz stereo 24-bit to 44100 Hz / sox",
            "BM_Convert/90/iterations:3", "BM_Sox/90/iterations:3", 1.2);
VOKRA_RATIO(autokey500, "vokra-cli autokey 500 s recording / sox conversion",
            "BM_CliAutoKey/500/iterations:3", "BM_Sox/500/iterations:3", 1.5);
VOKRA_RATIO(autokey90, "vokra-cli autokey 90 s recording / sox conversion",
            "BM_CliAutoKey/90/iterations:3", "BM_Sox/90/iterations:3", 1.5);

}  // namespace
}  // namespace vokra

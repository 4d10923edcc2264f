// Live lip sync, measured on espeak-ng voices in six languages with a microphone's noise under
// them, brought to 48 kHz:
// - latency: from the arrival of a sample (its 10 ms block written by the wall clock, as a
//   device's callback would) to the moment the VMC packet of its frame has left the socket, at
//   the default settings: median and 99th percentile (budget 60 and 80 ms);
// - processor: the analysis thread's CPU time over the sound's duration (budget 3 % of a core);
// - memory: resident size after 6 and after 60 minutes of sound read as fast as possible (flat);
// - quality: the live mouths against the offline guess of the same sound, window by window, and
//   the mouth changes per second of each, at the defaults, at look-ahead 0 and with shorter holds.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "live/live_engine.h"
#include "live/live_net_sinks.h"
#include "live/live_session.h"
#include "shapes/script_phonemes.h"
#include "shapes/shape_estimator.h"
#include "tests/shapes/speech_like.h"

namespace vokra {
namespace {

constexpr std::int32_t kRate = 48000;

// About `seconds` of each language's sentences spoken by espeak-ng, a quarter second apart.
std::vector<std::int16_t> Voice(const std::string& language, double seconds) {
    std::ifstream in(std::string(VOKRA_SOURCE_DIR) + "/shapes/training/real/" + language + ".txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    std::vector<std::int16_t> speech22;
    for (std::size_t i = 0; speech22.size() < seconds * kScriptSpeechRate && !lines.empty(); ++i) {
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 160;
        o.speech = &speech;
        PhonemesOfScript(lines[i % lines.size()], language, o);
        speech22.insert(speech22.end(), speech.begin(), speech.end());
        speech22.insert(speech22.end(), kScriptSpeechRate / 4, 0);
    }
    // Linear interpolation to 48 kHz, then a microphone's pink noise 35 dB under the voice.
    std::vector<std::int16_t> out(speech22.size() * kRate / kScriptSpeechRate);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double at = static_cast<double>(i) * kScriptSpeechRate / kRate;
        const auto j = static_cast<std::size_t>(at);
        const double f = at - static_cast<double>(j);
        const double a = speech22[j], b = j + 1 < speech22.size() ? speech22[j + 1] : 0;
        out[i] = static_cast<std::int16_t>(a + (b - a) * f);
    }
    return test::WithNoise(out, kRate, test::NoiseKind::Pink, 0.0, 35.0);
}

const std::vector<std::string>& Languages() {
    static const std::vector<std::string> l = {"en", "de", "es", "fr", "it", "cs"};
    return l;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// 10 ms blocks written by the wall clock, each block's arrival noted.
class PacedSource final : public LiveSource {
public:
    explicit PacedSource(const std::vector<std::int16_t>& s) : samples_(s) {
        arrival_.resize(samples_.size() / (kRate / 100) + 2);
    }
    ~PacedSource() override { Stop(); }
    std::int32_t Rate() const override { return kRate; }
    bool Start(LiveRing& ring, std::string&) override {
        thread_ = std::thread([this, &ring] {
            const auto start = std::chrono::steady_clock::now();
            const std::size_t block = kRate / 100;
            for (std::size_t b = 0; (b + 1) * block <= samples_.size() && !stop_; ++b) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (b + 1)));
                arrival_[b] = std::chrono::steady_clock::now();
                ring.Write(samples_.data() + b * block, block);
            }
            ended_ = true;
            ring.Wake();
        });
        return true;
    }
    void Stop() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Ended() const override { return ended_; }
    std::size_t Pull(std::int16_t*, std::size_t) override { return 0; }
    std::chrono::steady_clock::time_point Arrival(std::size_t block) const {
        return arrival_[block];
    }

private:
    const std::vector<std::int16_t>& samples_;
    std::vector<std::chrono::steady_clock::time_point> arrival_;
    std::atomic<bool> stop_{false}, ended_{false};
    std::thread thread_;
};

// The VMC sink, and when each frame's packet had left.
class Timed final : public LiveSink {
public:
    Timed(LiveSink& inner, std::size_t frames) : inner_(inner) { left_.resize(frames + 64); }
    std::string Name() const override { return inner_.Name(); }
    void Frame(const LiveFrame& f) override {
        inner_.Frame(f);
        if (static_cast<std::size_t>(f.window) < left_.size())
            left_[static_cast<std::size_t>(f.window)] = std::chrono::steady_clock::now();
        last_ = std::max(last_, f.window);
    }
    std::vector<std::chrono::steady_clock::time_point> left_;
    std::int64_t last_ = -1;

private:
    LiveSink& inner_;
};

void BM_LiveLatencyAndCpu(benchmark::State& state) {
    const auto voice = Voice("en", 30.0);
    // A receiver that is there and never reads: the packets only have to leave.
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    std::vector<double> latencies;
    double cpu = 0.0, seconds = 0.0;
    for (auto _ : state) {
        std::string error;
        auto vmc = MakeVmcSink("127.0.0.1:" + std::to_string(ntohs(a.sin_port)),
                               DefaultLiveVrmMap(), false, error);
        PacedSource source(voice);
        Timed timed(*vmc, voice.size() / (kRate / 100));
        LiveRunOptions options;
        std::atomic<bool> stop{false};
        LiveRunStats stats;
        const double cpu0 = ThreadCpuSeconds();
        RunLive(source, {&timed}, options, stop, stats, error);
        cpu = ThreadCpuSeconds() - cpu0;
        seconds = static_cast<double>(voice.size()) / kRate;
        const std::size_t block = kRate / 100;
        // Every sample of a window, by the block it came in, to its frame's packet.
        for (std::int64_t w = 0;
             w <= timed.last_ && static_cast<std::size_t>(w) < timed.left_.size(); ++w) {
            const std::size_t first = static_cast<std::size_t>(w) * block;
            if (first + block > voice.size()) break;
            const auto arrived = source.Arrival(static_cast<std::size_t>(w));
            latencies.push_back(std::chrono::duration<double, std::milli>(
                                    timed.left_[static_cast<std::size_t>(w)] - arrived)
                                    .count());
        }
    }
    ::close(fd);
    state.counters["latency_median_ms"] = Percentile(latencies, 0.5);
    state.counters["latency_p99_ms"] = Percentile(latencies, 0.99);
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / seconds;
}
BENCHMARK(BM_LiveLatencyAndCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

std::int64_t ResidentKb() {
    std::ifstream in("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// An hour of the voice over and over, pulled as fast as the CPU allows.
class LoopSource final : public LiveSource {
public:
    LoopSource(const std::vector<std::int16_t>& s, std::int64_t total)
        : samples_(s), total_(total) {}
    std::int32_t Rate() const override { return kRate; }
    bool Start(LiveRing&, std::string&) override { return false; }
    void Stop() override {}
    bool Ended() const override { return given_ >= total_; }
    std::size_t Pull(std::int16_t* out, std::size_t max) override {
        std::size_t n = 0;
        while (n < max && given_ < total_) {
            out[n++] = samples_[static_cast<std::size_t>(given_) % samples_.size()];
            ++given_;
        }
        return n;
    }

private:
    const std::vector<std::int16_t>& samples_;
    std::int64_t total_;
    std::int64_t given_ = 0;
};

class Counter final : public LiveSink {
public:
    std::string Name() const override { return "count"; }
    void Frame(const LiveFrame&) override { ++frames; }
    std::int64_t frames = 0;
};

void BM_LiveMemoryOverAnHour(benchmark::State& state) {
    const auto voice = Voice("en", 60.0);
    std::int64_t at6 = 0, at60 = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        LoopSource source(voice, std::int64_t{kRate} * 3600);
        Counter counter;
        LiveRunOptions options;
        options.fastest = true;
        options.watch = [&](const LiveFrame& f) {
            if (f.window == 6 * 60 * 100) at6 = ResidentKb();
        };
        std::atomic<bool> stop{false};
        LiveRunStats stats;
        std::string error;
        const double cpu0 = ThreadCpuSeconds();
        RunLive(source, {&counter}, options, stop, stats, error);
        cpu = ThreadCpuSeconds() - cpu0;
        at60 = ResidentKb();
    }
    state.counters["rss_kb_at_6_min"] = static_cast<double>(at6);
    state.counters["rss_kb_at_60_min"] = static_cast<double>(at60);
    state.counters["times_real_time"] = 3600.0 / cpu;
}
BENCHMARK(BM_LiveMemoryOverAnHour)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int Changes(const std::vector<MouthShape>& s) {
    int n = 0;
    for (std::size_t i = 1; i < s.size(); ++i) n += s[i] != s[i - 1];
    return n;
}

void BM_LiveQuality(benchmark::State& state) {
    LiveSettings settings;
    settings.lookAheadMs = static_cast<int>(state.range(0));
    settings.holdMs = static_cast<int>(state.range(1));
    std::int64_t agree = 0, total = 0;
    int liveChanges = 0, offlineChanges = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        for (const std::string& language : Languages()) {
            const auto voice = Voice(language, 40.0);
            const auto offline =
                GuessShapes(voice.data(), static_cast<std::int32_t>(voice.size()), kRate);
            std::vector<MouthShape> live;
            LiveEngine engine(kRate, settings,
                              [&](const LiveFrame& f) { live.push_back(f.mouth); });
            engine.Push(voice.data(), static_cast<std::int64_t>(voice.size()));
            engine.Finish();
            const std::size_t n = std::min(live.size(), offline.size());
            for (std::size_t i = 0; i < n; ++i) agree += live[i] == offline[i];
            total += static_cast<std::int64_t>(n);
            live.resize(n);
            liveChanges += Changes(live);
            offlineChanges += Changes(std::vector<MouthShape>(
                offline.begin(), offline.begin() + static_cast<std::ptrdiff_t>(n)));
            seconds += static_cast<double>(n) / 100.0;
        }
    }
    state.counters["agreement_percent"] =
        100.0 * static_cast<double>(agree) / static_cast<double>(std::max<std::int64_t>(total, 1));
    state.counters["live_changes_per_s"] = liveChanges / seconds;
    state.counters["offline_changes_per_s"] = offlineChanges / seconds;
}
// Look-ahead and least hold in ms: the defaults, look-ahead 0, and shorter holds.
BENCHMARK(BM_LiveQuality)
    ->Args({40, 80})
    ->Args({0, 80})
    ->Args({40, 30})
    ->Args({40, 0})
    ->Args({0, 0})
    ->Args({80, 30})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vokra

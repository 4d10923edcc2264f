// The live run's thread and the record it shares with the window.
#include "live/live_background_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

namespace vokra {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLatencyFrames = 50;  // half a second of frames in the shown mean
// The audio clock's origin is re-learnt this often, so a device running fast or slow against the
// wall clock does not drift the figure.
constexpr std::int64_t kAnchorFrames = 1000;

}  // namespace

struct LiveBackgroundRun::State {
    std::unique_ptr<LiveSource> source;
    std::vector<std::unique_ptr<LiveSink>> sinks;
    LiveSettings settings;
    std::atomic<bool> stop{false};
    std::thread thread;

    std::mutex mutex;  // guards what follows
    std::condition_variable ended;
    LiveSnapshot shared;

    // The run thread's own: when the input's sample 0 arrived at the earliest, judged from the
    // frames so far (a sample has arrived by the time its frame is decided, never before its
    // place on the audio clock).
    double anchor = 0.0;
    std::int64_t anchorSince = -1;
    std::array<double, kLatencyFrames> latencies{};
    int latencyCount = 0;

    void Watch(const LiveFrame& f, std::int32_t rate, Clock::time_point t0) {
        const double now = std::chrono::duration<double>(Clock::now() - t0).count();
        const double origin = now - static_cast<double>(f.decidedAt) / rate;
        if (anchorSince < 0 || f.window - anchorSince >= kAnchorFrames) {
            anchor = origin;
            anchorSince = f.window;
        } else {
            anchor = std::min(anchor, origin);
        }
        // From the arrival of the window's first sample to now, when its frame has left.
        const double shown = anchor + static_cast<double>(f.window) * 0.01;
        latencies[static_cast<std::size_t>(latencyCount++ % kLatencyFrames)] = (now - shown) * 1e3;
        const int n = std::min(latencyCount, kLatencyFrames);
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += latencies[static_cast<std::size_t>(i)];

        std::vector<LiveSinkStatus> statuses;
        statuses.reserve(sinks.size());
        for (const auto& s : sinks) statuses.push_back(s->Status());
        std::lock_guard lock(mutex);
        shared.hasFrame = true;
        shared.frame = f;
        shared.peakDb = std::max(shared.peakDb, f.levelDb);
        shared.latencyMs = sum / n;
        shared.statuses = std::move(statuses);
    }

    void Run() {
        std::vector<LiveSink*> raw;
        for (auto& s : sinks) raw.push_back(s.get());
        LiveRunOptions options;
        options.settings = settings;
        const auto t0 = Clock::now();
        // A device's rate is known once it is open, which the run does.
        options.watch = [this, t0](const LiveFrame& f) {
            const std::int32_t rate = source->Rate();
            if (rate > 0) Watch(f, rate, t0);
        };
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            if (shared.log.size() < 100) shared.log.push_back(line);
        };
        LiveRunStats stats;
        std::string error;
        const bool ok = RunLive(*source, raw, options, stop, stats, error);
        std::vector<LiveSinkStatus> statuses;
        for (const auto& s : sinks) statuses.push_back(s->Status());
        std::lock_guard lock(mutex);
        shared.statuses = std::move(statuses);
        shared.finished = true;
        shared.ok = ok;
        shared.error = error;
        shared.stats = stats;
        ended.notify_all();
    }
};

LiveBackgroundRun::LiveBackgroundRun(std::unique_ptr<LiveSource> source,
                                     std::vector<std::unique_ptr<LiveSink>> sinks,
                                     LiveSettings settings)
    : state_(std::make_shared<State>()) {
    state_->source = std::move(source);
    state_->sinks = std::move(sinks);
    state_->settings = settings;
    state_->shared.statuses.resize(state_->sinks.size());
    // The thread holds the record too: let go, it still has everything it touches.
    state_->thread = std::thread([s = state_] { s->Run(); });
}

LiveBackgroundRun::~LiveBackgroundRun() {
    Stop();
    if (!Wait(5000)) {
        std::cerr << "vokra: the live run did not end in time; it is left to finish alone\n";
        state_->thread.detach();
    }
}

void LiveBackgroundRun::Stop() {
    state_->stop.store(true);
}

LiveSnapshot LiveBackgroundRun::Take() {
    std::lock_guard lock(state_->mutex);
    LiveSnapshot copy = state_->shared;
    state_->shared.peakDb = -90.0f;
    state_->shared.log.clear();
    return copy;
}

bool LiveBackgroundRun::Wait(int timeoutMs) {
    if (joined_) return true;
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return state_->shared.finished; }))
            return false;
    }
    state_->thread.join();
    joined_ = true;
    return true;
}

}  // namespace vokra

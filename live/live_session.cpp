#include "live/live_session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "live/live_engine.h"

namespace vokra {
namespace {

constexpr std::size_t kRingSeconds = 4;
constexpr int kFirstRetryMs = 250;
constexpr int kLastRetryMs = 4000;

}  // namespace

bool RunLive(LiveSource& source, const std::vector<LiveSink*>& sinks, const LiveRunOptions& options,
             const std::atomic<bool>& stop, LiveRunStats& stats, std::string& error) {
    auto say = [&](const std::string& text) {
        if (options.log) options.log(text);
    };
    LiveRing ring(static_cast<std::size_t>(std::max(source.Rate(), 8000)) * kRingSeconds);
    if (!options.fastest && !source.Start(ring, error)) return false;
    const std::int32_t rate = source.Rate();
    if (rate < LiveFeatures::kMinRate || rate > LiveFeatures::kMaxRate) {
        source.Stop();
        error = "a sample rate of " + std::to_string(rate) + " Hz cannot be followed live (" +
                std::to_string(LiveFeatures::kMinRate) + "-" +
                std::to_string(LiveFeatures::kMaxRate) + " Hz)";
        return false;
    }
    for (LiveSink* sink : sinks) sink->Begin(rate);
    LiveEngine engine(rate, options.settings, [&](const LiveFrame& frame) {
        for (LiveSink* sink : sinks) sink->Frame(frame);
        if (options.watch) options.watch(frame);
        ++stats.frames;
    });

    std::array<std::int16_t, 4096> block{};
    auto feed = [&](std::size_t n) {
        for (LiveSink* sink : sinks) sink->Samples(block.data(), n);
        engine.Push(block.data(), static_cast<std::int64_t>(n));
        stats.samples += static_cast<std::int64_t>(n);
    };
    if (options.fastest) {
        // Blocks of 10 ms, as a device would give them (the frames do not depend on it).
        const auto step = static_cast<std::size_t>(std::max(rate / 100, 1));
        while (!stop.load(std::memory_order_relaxed)) {
            const std::size_t n = source.Pull(block.data(), std::min(step, block.size()));
            if (n == 0) break;
            feed(n);
        }
    } else {
        int retryMs = kFirstRetryMs;
        auto retryAt = std::chrono::steady_clock::time_point::max();
        while (!stop.load(std::memory_order_relaxed)) {
            ring.Wait(20);
            std::size_t n = 0;
            while ((n = ring.Read(block.data(), block.size())) > 0) feed(n);
            if (source.Ended()) {
                while ((n = ring.Read(block.data(), block.size())) > 0) feed(n);
                break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (retryAt == std::chrono::steady_clock::time_point::max()) {
                const std::string fault = source.Fault();
                if (!fault.empty()) {
                    say(fault + "; trying again");
                    source.Stop();
                    retryAt = now + std::chrono::milliseconds(retryMs);
                }
            } else if (now >= retryAt) {
                std::string why;
                if (source.Start(ring, why) && source.Rate() == rate) {
                    say("the input is back");
                    ++stats.restarts;
                    retryMs = kFirstRetryMs;
                    retryAt = std::chrono::steady_clock::time_point::max();
                } else {
                    // A device that came back at another rate is reopened at ours next time.
                    if (source.Rate() != rate) source.Stop();
                    retryMs = std::min(retryMs * 2, kLastRetryMs);
                    retryAt = now + std::chrono::milliseconds(retryMs);
                }
            }
        }
        source.Stop();
        std::size_t n = 0;
        while ((n = ring.Read(block.data(), block.size())) > 0) feed(n);
    }
    engine.Finish();
    stats.dropped = ring.Dropped();
    bool ok = true;
    for (LiveSink* sink : sinks) {
        std::string why;
        if (!sink->End(why)) {
            ok = false;
            if (error.empty()) error = why;
        }
    }
    return ok;
}

}  // namespace vokra

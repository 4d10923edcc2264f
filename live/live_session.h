#pragma once
// One live run: a source's samples through the engine to every sink. The source writes into a
// bounded ring from its own thread or callback; the run's thread (the caller's) reads the ring,
// analyses and feeds the sinks, so nothing the sinks do can hold up the audio. The fastest run
// pulls from the source directly on the same thread. A device that stops is reopened with a
// growing pause, and the run carries on where it was.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "live/live_settings.h"
#include "live/live_sink.h"
#include "live/live_source.h"

namespace vokra {

struct LiveRunStats {
    std::int64_t frames = 0;
    std::int64_t samples = 0;
    std::uint64_t dropped = 0;  // samples the ring had no room for
    int restarts = 0;
};

struct LiveRunOptions {
    LiveSettings settings;
    bool fastest = false;  // pull from the source as fast as the CPU allows
    // Told of faults and recoveries as they happen (from the run's thread).
    std::function<void(const std::string&)> log;
    // Called for every frame after the sinks (the window's palette, a benchmark).
    std::function<void(const LiveFrame&)> watch;
};

// Runs until the source ends or `stop` becomes true; false with a reason when the source cannot
// start or a sink cannot finish (every sink is still finished).
bool RunLive(LiveSource& source, const std::vector<LiveSink*>& sinks, const LiveRunOptions& options,
             const std::atomic<bool>& stop, LiveRunStats& stats, std::string& error);

}  // namespace vokra

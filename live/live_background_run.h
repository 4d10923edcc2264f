#pragma once
// A live run on a thread of its own, for a window that must never wait on it: the run's thread
// leaves the newest frame, the loudest level since the last look, each sink's status and a
// measured latency in a small shared record (copied under a lock, nothing more), and the window
// looks at it on its own timer. The thread owns the source and the sinks, so a run that does not
// end in time can be let go without anything it uses being freed under it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "live/live_session.h"

namespace vokra {

struct LiveSnapshot {
    bool hasFrame = false;
    LiveFrame frame;                       // the newest
    float peakDb = -90.0f;                 // the loudest window since the last look
    double latencyMs = -1.0;               // the newest frames' mean; negative until measured
    std::vector<LiveSinkStatus> statuses;  // in the order the sinks were given
    std::vector<std::string> log;          // faults and recoveries since the last look
    bool finished = false;
    bool ok = true;
    std::string error;
    LiveRunStats stats;
};

class LiveBackgroundRun {
public:
    // Starts `source` into `sinks` at once; the run ends with the source or on Stop().
    LiveBackgroundRun(std::unique_ptr<LiveSource> source,
                      std::vector<std::unique_ptr<LiveSink>> sinks, LiveSettings settings);
    // Asks the run to stop and waits for it at most a few seconds (a take being written).
    ~LiveBackgroundRun();
    LiveBackgroundRun(const LiveBackgroundRun&) = delete;
    LiveBackgroundRun& operator=(const LiveBackgroundRun&) = delete;

    void Stop();
    // What happened since the last look (the peak and the log start again).
    LiveSnapshot Take();
    // Waits up to `timeoutMs` for the run to end; true when it has (its thread is joined).
    bool Wait(int timeoutMs);

private:
    struct State;
    std::shared_ptr<State> state_;
    bool joined_ = false;
};

}  // namespace vokra

#pragma once
// Where live frames go, behind one interface: a VMC receiver, VTube Studio, JSON lines, a take.
// The session calls every sink from its one worker thread; a sink never blocks it (a network
// sink hands the frame to its own thread or a socket that does not wait).
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "live/live_frame.h"

namespace vokra {

// How a sink's link stands, for its status light.
enum class LiveLink { Off, Connecting, Connected, NoReply, Refused };
const char* LiveLinkName(LiveLink link);

struct LiveSinkStatus {
    LiveLink link = LiveLink::Off;
    std::string reason;  // what the receiver said, or why it cannot be reached
};

class LiveSink {
public:
    virtual ~LiveSink() = default;
    virtual std::string Name() const = 0;
    // The run begins at this sample rate.
    virtual void Begin(std::int32_t /*rate*/) {}
    // The samples in the order analysed (a take keeps them).
    virtual void Samples(const std::int16_t* /*samples*/, std::size_t /*count*/) {}
    virtual void Frame(const LiveFrame& frame) = 0;
    // The run has ended (the input ended or a stop was asked); false with a reason when what the
    // sink had to finish failed.
    virtual bool End(std::string& /*error*/) { return true; }
    virtual LiveSinkStatus Status() const { return {LiveLink::Connected, {}}; }
};

// One JSON object per frame and line: time, mouth, weights (by letter), opening, level (dBFS).
std::unique_ptr<LiveSink> MakeJsonLinesSink(std::ostream& out);
// The line the JSON sink writes for a frame (without its newline).
std::string LiveFrameJson(const LiveFrame& frame);
// The same appended to `line`.
void AppendFrameJson(std::string& line, const LiveFrame& frame);

}  // namespace vokra

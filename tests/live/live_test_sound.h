#pragma once
// Sounds and a frame collector the live tests share.
#include <cstdint>
#include <string>
#include <vector>

#include "live/live_frame.h"
#include "live/live_sink.h"

namespace vokra::test {

// The shape tests' spoken line with a microphone's faint pink noise under it.
std::vector<std::int16_t> LiveLine(std::int32_t rate);

// Keeps every frame it is given.
class FrameCollector final : public LiveSink {
public:
    std::string Name() const override { return "collector"; }
    void Frame(const LiveFrame& frame) override { frames.push_back(frame); }
    std::vector<LiveFrame> frames;
};

}  // namespace vokra::test

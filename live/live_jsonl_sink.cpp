#include <charconv>
#include <cmath>

#include "live/live_sink.h"

namespace vokra {
namespace {

void AppendNumber(std::string& s, double v, int decimals) {
    char buf[32];
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(v * scale) / scale;
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, r == 0.0 ? 0.0 : r);
    s.append(buf, ec == std::errc() ? p : buf);
}

class JsonLinesSink final : public LiveSink {
public:
    explicit JsonLinesSink(std::ostream& out) : out_(out) { line_.reserve(256); }
    std::string Name() const override { return "JSON lines"; }
    void Frame(const LiveFrame& frame) override {
        if (failed_) return;
        line_.clear();
        AppendFrameJson(line_, frame);
        line_ += '\n';
        out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
        out_.flush();
        // The reader went away: the other outputs (and a take) carry on without this one.
        failed_ = !out_;
    }
    LiveSinkStatus Status() const override {
        if (failed_) return {LiveLink::Refused, "the output was closed"};
        return {LiveLink::Connected, {}};
    }

private:
    std::ostream& out_;
    std::string line_;
    bool failed_ = false;
};

}  // namespace

const char* LiveLinkName(LiveLink link) {
    switch (link) {
        case LiveLink::Off:
            return "off";
        case LiveLink::Connecting:
            return "connecting";
        case LiveLink::Connected:
            return "connected";
        case LiveLink::NoReply:
            return "no reply";
        case LiveLink::Refused:
            return "refused";
    }
    return "off";
}

std::string LiveFrameJson(const LiveFrame& frame) {
    std::string s;
    AppendFrameJson(s, frame);
    return s;
}

// Into a string that keeps its room from frame to frame: nothing is allocated once it has grown.
void AppendFrameJson(std::string& s, const LiveFrame& frame) {
    s += "{\"time\":";
    AppendNumber(s, frame.time, 2);
    s += ",\"mouth\":\"";
    s += MouthShapeLetter(frame.mouth);
    s += "\",\"weights\":{";
    for (int m = 0; m < kMouthShapeCount; ++m) {
        if (m > 0) s += ',';
        s += '"';
        s += MouthShapeLetter(static_cast<MouthShape>(m));
        s += "\":";
        AppendNumber(s, frame.weights[static_cast<std::size_t>(m)], 3);
    }
    s += "},\"opening\":";
    AppendNumber(s, frame.opening, 3);
    s += ",\"level\":";
    AppendNumber(s, frame.levelDb, 1);
    s += '}';
}

std::unique_ptr<LiveSink> MakeJsonLinesSink(std::ostream& out) {
    return std::make_unique<JsonLinesSink>(out);
}

}  // namespace vokra

// The microphone path through SDL's disk audio driver, which reads the capture from a raw file:
// the device listed, opened, its samples analysed into frames that follow the line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "live/live_engine.h"
#include "live/live_session.h"
#include "tests/live/live_test_sound.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

TEST(LiveCapture, DiskDriverCaptureGivesTheLinesMouths) {
    test::TempDir dir;
    const std::int32_t rate = 48000;
    const auto line = test::LiveLine(rate);
    const std::string raw = dir.File("capture.raw");
    {
        std::ofstream out(raw, std::ios::binary);
        out.write(reinterpret_cast<const char*>(line.data()),
                  static_cast<std::streamsize>(line.size() * sizeof(std::int16_t)));
    }
    // SDL reads these once, when its audio starts: before the first use in this process.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", raw.c_str(), 1);
    setenv("SDL_DISKAUDIOFILE", dir.File("unused-out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1);

    std::string error;
    const auto devices = LiveCaptureDevices(error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_FALSE(devices.empty());
    auto source = OpenLiveCapture(devices.front(), rate, error);
    ASSERT_TRUE(source) << error;
    test::FrameCollector frames;
    LiveRunOptions options;
    std::atomic<bool> stop{false};
    const auto windows = static_cast<std::int64_t>(line.size() * 100 / rate);
    options.watch = [&](const LiveFrame& f) {
        if (f.window + 1 >= windows) stop = true;
    };
    LiveRunStats stats;
    ASSERT_TRUE(RunLive(*source, {&frames}, options, stop, stats, error)) << error;
    EXPECT_EQ(source->Rate(), rate);
    ASSERT_GE(static_cast<std::int64_t>(frames.frames.size()), windows);
    // The same samples read from a file as fast as possible: the capture gave exactly them.
    std::vector<LiveFrame> direct;
    LiveEngine engine(rate, {}, [&](const LiveFrame& f) { direct.push_back(f); });
    engine.Push(line.data(), static_cast<std::int64_t>(line.size()));
    ASSERT_GE(direct.size(), static_cast<std::size_t>(windows - 5));
    std::size_t same = 0;
    for (std::size_t i = 0; i < direct.size(); ++i)
        same += direct[i].mouth == frames.frames[i].mouth;
    EXPECT_EQ(same, direct.size());
}

}  // namespace
}  // namespace vokra

// The VMC output against a real OSC receiver (liblo's server): one bundle per frame holding a
// Val (name, value) for each of the five vowels in order, zeros included, then Apply; the values
// those of the frame the engine decided.
#include <gtest/gtest.h>
#include <lo/lo.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "live/live_net_sinks.h"
#include "live/live_session.h"
#include "sound/import/wave_bytes.h"
#include "tests/live/live_test_sound.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

struct Received {
    std::string path;
    std::string types;
    std::string name;
    float value = -1.0f;
};

// What the receiver saw, bundle by bundle.
struct Receiver {
    std::mutex mutex;
    std::vector<std::vector<Received>> bundles;
    int depth = 0;
    int loose = 0;  // messages outside any bundle

    static int Start(lo_timetag, void* self) {
        auto* r = static_cast<Receiver*>(self);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->bundles.emplace_back();
        ++r->depth;
        return 0;
    }
    static int End(void* self) {
        auto* r = static_cast<Receiver*>(self);
        std::lock_guard<std::mutex> lock(r->mutex);
        --r->depth;
        return 0;
    }
    static int Message(const char* path, const char* types, lo_arg** argv, int argc, lo_message,
                       void* self) {
        auto* r = static_cast<Receiver*>(self);
        std::lock_guard<std::mutex> lock(r->mutex);
        Received m{path, types, {}, -1.0f};
        if (argc == 2 && types[0] == 's' && types[1] == 'f') {
            // liblo's arguments are 4-aligned, not as its union would need: read as bytes.
            m.name = static_cast<const char*>(static_cast<void*>(argv[0]));
            std::memcpy(&m.value, static_cast<void*>(argv[1]), sizeof(float));
        }
        if (r->depth == 0 || r->bundles.empty())
            ++r->loose;
        else
            r->bundles.back().push_back(m);
        return 0;
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return bundles.size();
    }
};

TEST(LiveVmc, OneBundlePerFrameWithEveryVowelThenApply) {
    test::TempDir dir;
    const std::int32_t rate = 16000;
    const std::string path = dir.File("line.wav");
    ASSERT_TRUE(WriteWaveFile(path, test::LiveLine(rate), rate));
    for (bool vrm1 : {false, true}) {
        SCOPED_TRACE(vrm1);
        Receiver receiver;
        lo_server_thread server = lo_server_thread_new_with_proto(nullptr, LO_UDP, nullptr);
        ASSERT_TRUE(server);
        lo_server_add_bundle_handlers(lo_server_thread_get_server(server), &Receiver::Start,
                                      &Receiver::End, &receiver);
        lo_server_thread_add_method(server, nullptr, nullptr, &Receiver::Message, &receiver);
        lo_server_thread_start(server);
        const int port = lo_server_thread_get_port(server);

        std::string error;
        const LiveVrmMap map = DefaultLiveVrmMap();
        auto sink = MakeVmcSink("127.0.0.1:" + std::to_string(port), map, vrm1, error);
        ASSERT_TRUE(sink) << error;
        auto source = OpenLiveFile(path, error);
        ASSERT_TRUE(source) << error;
        test::FrameCollector frames;
        LiveRunOptions options;
        options.fastest = true;
        // A pause per frame, as a live run has, so the receiver's socket never overflows.
        options.watch = [](const LiveFrame&) {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        };
        std::atomic<bool> stop{false};
        LiveRunStats stats;
        ASSERT_TRUE(RunLive(*source, {sink.get(), &frames}, options, stop, stats, error)) << error;
        EXPECT_EQ(sink->Status().link, LiveLink::Connected);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (receiver.Count() < frames.frames.size() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lo_server_thread_stop(server);
        lo_server_thread_free(server);

        ASSERT_EQ(receiver.bundles.size(), frames.frames.size());
        EXPECT_EQ(receiver.loose, 0);
        const auto& names = VrmVowelNames(vrm1);
        int opened = 0;
        for (std::size_t f = 0; f < frames.frames.size(); ++f) {
            const auto& bundle = receiver.bundles[f];
            ASSERT_EQ(bundle.size(), 6u) << "frame " << f;
            const auto expected = VrmVowelValues(map, frames.frames[f]);
            for (std::size_t v = 0; v < 5; ++v) {
                EXPECT_EQ(bundle[v].path, "/VMC/Ext/Blend/Val");
                EXPECT_EQ(bundle[v].types, "sf");
                EXPECT_EQ(bundle[v].name, names[v]);
                EXPECT_EQ(bundle[v].value, expected[v]) << "frame " << f << " " << names[v];
                opened += bundle[v].value > 0.1f;
            }
            EXPECT_EQ(bundle[5].path, "/VMC/Ext/Blend/Apply");
            EXPECT_EQ(bundle[5].types, "");
        }
        EXPECT_GT(opened, 50);  // the mouth did move
    }
}

// No receiver at all: sending never blocks and never fails the run.
TEST(LiveVmc, NoReceiverDoesNotHoldTheRun) {
    std::string error;
    auto sink = MakeVmcSink("127.0.0.1:9", DefaultLiveVrmMap(), false, error);
    ASSERT_TRUE(sink) << error;
    LiveFrame frame;
    frame.weights[0] = 1.0f;
    for (int i = 0; i < 200; ++i) sink->Frame(frame);
    EXPECT_NE(sink->Status().link, LiveLink::Refused);
    for (const char* bad : {"127.0.0.1:0", "host:70000", "host:x"}) {
        EXPECT_FALSE(MakeVmcSink(bad, DefaultLiveVrmMap(), false, error)) << bad;
    }
}

}  // namespace
}  // namespace vokra

// Playback against a fake device whose position, done flag and failures the test controls.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/audio_device.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

// What the fake devices do and what was asked of them, shared with the test.
struct FakeState {
    bool openOk = true, prepareOk = true, writeOk = true, resetOk = true;
    bool resetMarksDone = true;
    std::int64_t position = 0;
    bool done = false;
    int openRate = 0;
    const std::int16_t* samples = nullptr;
    std::int32_t count = 0;
    std::vector<std::string> calls;
    int alive = 0;  // devices not yet destroyed
};

class FakeDevice final : public AudioDevice {
public:
    explicit FakeDevice(FakeState& s) : s_(s) { ++s_.alive; }
    ~FakeDevice() override { --s_.alive; }
    bool Open(int rate) override {
        s_.calls.push_back("Open");
        s_.openRate = rate;
        return s_.openOk;
    }
    bool Prepare(const std::int16_t* samples, std::int32_t count) override {
        s_.calls.push_back("Prepare");
        s_.samples = samples, s_.count = count;
        return s_.prepareOk;
    }
    bool Write() override {
        s_.calls.push_back("Write");
        s_.done = false;
        return s_.writeOk;
    }
    std::int64_t GetPosition() override { return s_.position; }
    bool Reset() override {
        s_.calls.push_back("Reset");
        if (s_.resetOk && s_.resetMarksDone) s_.done = true;
        return s_.resetOk;
    }
    bool IsDone() override { return s_.done; }
    void Unprepare() override { s_.calls.push_back("Unprepare"); }
    void Close() override { s_.calls.push_back("Close"); }

private:
    FakeState& s_;
};

using Calls = std::vector<std::string>;
const Calls kStarted{"Open", "Prepare", "Write"};

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        SetAudioDeviceFactory([this] { return std::make_unique<FakeDevice>(fake); });
        std::vector<std::int16_t> v(2000);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(i);
        test::WriteFile(dir.File("s.wav"), test::MakeWav16(v, 8000));
        ASSERT_EQ(sound.Load(dir.File("s.wav")), 0);
    }
    void TearDown() override { SetAudioDeviceFactory(nullptr); }
    Calls TakeCalls() { return std::exchange(fake.calls, {}); }

    test::TempDir dir;
    FakeState fake;
    test::ScriptedMessages messages;
    SoundData sound;
};

struct RangeCase {
    const char* name;
    std::int32_t first, last;
    std::int32_t playedFirst, playedCount;  // count 0: nothing opened
};

void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class Playback_Range : public Playback, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(Playback_Range, ClampsAndQueuesInPlace) {
    const RangeCase& c = GetParam();
    EXPECT_EQ(sound.Play(c.first, c.last), 0);
    if (c.playedCount == 0) {
        EXPECT_TRUE(fake.calls.empty());
        EXPECT_FALSE(sound.IsPlaying());
        return;
    }
    EXPECT_EQ(TakeCalls(), kStarted);
    EXPECT_EQ(fake.openRate, 8000);
    EXPECT_EQ(fake.samples, sound.GetSamples() + c.playedFirst) << "the samples are not copied";
    EXPECT_EQ(fake.count, c.playedCount);
    EXPECT_TRUE(sound.IsPlaying());
    fake.position = c.playedCount / 2;
    EXPECT_EQ(sound.GetPosition(), c.playedFirst + c.playedCount / 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, Playback_Range,
                         ::testing::Values(RangeCase{"Whole", 0, 1999, 0, 2000},
                                           RangeCase{"ClampedBothEnds", -5, 20000, 0, 2000},
                                           RangeCase{"Middle", 100, 199, 100, 100},
                                           RangeCase{"OneSample", 1999, 1999, 1999, 1},
                                           RangeCase{"Backwards", 10, 9, 0, 0},
                                           RangeCase{"PastTheEnd", 2000, 2005, 0, 0},
                                           RangeCase{"BeforeTheStart", -10, -1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    bool FakeState::*fails;
    std::int32_t code;
    const char* message;
    Calls calls;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class Playback_Fails : public Playback, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Playback_Fails, ReportsAndLeavesDeviceClosed) {
    const FailureCase& c = GetParam();
    fake.*c.fails = false;
    messages.Expect(c.message);
    EXPECT_EQ(sound.Play(0, 1999), c.code);
    EXPECT_EQ(TakeCalls(), c.calls);
    EXPECT_EQ(fake.alive, 0);
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(sound.GetPosition(), 0);  // the first sample, where it would have started
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Playback_Fails,
    ::testing::Values(
        FailureCase{"Open", &FakeState::openOk, 3, "Open sound device failed!", {"Open"}},
        FailureCase{"Prepare",
                    &FakeState::prepareOk,
                    4,
                    "Play fails - PrepareHeader failed",
                    {"Open", "Prepare", "Close"}},
        FailureCase{"Write",
                    &FakeState::writeOk,
                    5,
                    "Play failed. calling waveOutWrite",
                    {"Open", "Prepare", "Write", "Unprepare", "Close"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Playback, RunningOutIsNoticedByThePollThatClosesTheDevice) {
    ASSERT_EQ(sound.Play(100, 499), 0);
    TakeCalls();
    fake.position = 400;
    fake.done = true;
    EXPECT_TRUE(fake.calls.empty()) << "nothing releases the device on its own";
    EXPECT_EQ(sound.GetPosition(), 499);
    EXPECT_EQ(TakeCalls(), (Calls{"Unprepare", "Close"}));
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(fake.alive, 0);
}

TEST_F(Playback, StopKeepsThePositionReached) {
    ASSERT_EQ(sound.Play(100, 499), 0);
    TakeCalls();
    fake.position = 150;
    sound.Stop();
    EXPECT_EQ(TakeCalls(), (Calls{"Reset", "Unprepare", "Close"}));
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(sound.GetPosition(), 250);
    sound.Stop();
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Playback, PositionNeverGoesBackwardsAndUnreadableIsZero) {
    ASSERT_EQ(sound.Play(100, 499), 0);
    fake.position = 50;
    EXPECT_EQ(sound.GetPosition(), 150);
    fake.position = 40;
    EXPECT_EQ(sound.GetPosition(), 150);
    fake.position = -1;
    EXPECT_EQ(sound.GetPosition(), 0);
}

TEST_F(Playback, FailedResetStillEndsTheWait) {
    ASSERT_EQ(sound.Play(0, 1999), 0);
    fake.resetOk = false;
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(fake.alive, 0);
}

TEST_F(Playback, ResetThatNeverCompletesStillEndsTheWait) {
    ASSERT_EQ(sound.Play(0, 1999), 0);
    fake.resetMarksDone = false;
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(fake.alive, 0);
}

TEST_F(Playback, PlayWhilePlayingStopsFirst) {
    ASSERT_EQ(sound.Play(0, 999), 0);
    TakeCalls();
    ASSERT_EQ(sound.Play(1000, 1999), 0);
    EXPECT_EQ(TakeCalls(), (Calls{"Reset", "Unprepare", "Close", "Open", "Prepare", "Write"}));
    EXPECT_EQ(fake.alive, 1);
}

TEST_F(Playback, LoadAndUnloadStopFirst) {
    ASSERT_EQ(sound.Play(0, 1999), 0);
    TakeCalls();
    messages.Expect("Failed to open file");
    EXPECT_EQ(sound.Load(dir.File("missing.wav")), 1);
    EXPECT_EQ(TakeCalls(), (Calls{"Reset", "Unprepare", "Close"}));
    EXPECT_EQ(sound.Play(0, 10), 1);  // nothing loaded any more

    ASSERT_EQ(sound.Load(dir.File("s.wav")), 0);
    ASSERT_EQ(sound.Play(0, 1999), 0);
    TakeCalls();
    sound.Unload();
    EXPECT_EQ(TakeCalls(), (Calls{"Reset", "Unprepare", "Close"}));
    EXPECT_EQ(sound.GetPosition(), 0);
    EXPECT_EQ(sound.GetSamples(), nullptr);
}

// A device whose driver thread is stuck: closing it joins that thread, and so does not return
// until the test lets go. It reads the samples it was given when it finally closes.
struct StuckGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int closed = 0;
    std::int64_t sum = 0;
};

class StuckDevice final : public AudioDevice {
public:
    explicit StuckDevice(std::shared_ptr<StuckGate> gate, bool openBlocks = false)
        : gate_(std::move(gate)), openBlocks_(openBlocks) {}
    // A driver stuck while opening (a server that never answers) returns once the test lets go.
    bool Open(int) override {
        std::unique_lock<std::mutex> lock(gate_->mutex);
        if (openBlocks_) gate_->changed.wait(lock, [&] { return gate_->released; });
        return true;
    }
    bool Prepare(const std::int16_t* samples, std::int32_t count) override {
        samples_ = samples, count_ = count;
        return true;
    }
    bool Write() override { return true; }
    std::int64_t GetPosition() override { return 0; }
    bool Reset() override { return reset_ = true; }
    bool IsDone() override { return reset_; }
    void Unprepare() override {}
    void Close() override {
        std::unique_lock<std::mutex> lock(gate_->mutex);
        gate_->changed.wait(lock, [&] { return gate_->released; });
        for (std::int32_t i = 0; i < count_; ++i) gate_->sum += samples_[i];
        ++gate_->closed;
        gate_->changed.notify_all();
    }

private:
    std::shared_ptr<StuckGate> gate_;
    const std::int16_t* samples_ = nullptr;
    std::int32_t count_ = 0;
    bool reset_ = false;
    bool openBlocks_ = false;
};

TEST(Playback_StuckDriver, StopEndsReportsOnceAndTheNextPlayOpensANewDevice) {
    auto gate = std::make_shared<StuckGate>();
    int opened = 0;
    SetAudioDeviceFactory([&] {
        ++opened;
        return std::make_unique<StuckDevice>(gate);
    });
    test::TempDir dir;
    test::WriteFile(dir.File("s.wav"), test::MakeWav16(std::vector<std::int16_t>(2000, 3), 8000));
    test::ScriptedMessages messages;
    {
        SoundData sound;
        ASSERT_EQ(sound.Load(dir.File("s.wav")), 0);
        ASSERT_EQ(sound.Play(0, 1999), 0);
        messages.Expect(
            "The sound device stopped responding.\nPlayback has ended; the next play opens the "
            "device again.");
        sound.Stop();
        EXPECT_FALSE(sound.IsPlaying());
        ASSERT_EQ(sound.Play(0, 999), 0);
        sound.Stop();  // stuck again: said once is enough
        EXPECT_FALSE(sound.IsPlaying());
        EXPECT_EQ(opened, 2);
        messages.VerifyAllShown();
    }  // the sound is gone; the stuck devices still hold its samples
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->released = true;
    gate->changed.notify_all();
    EXPECT_TRUE(
        gate->changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate->closed == 2; }));
    EXPECT_EQ(gate->sum, 3 * 3000);
    SetAudioDeviceFactory(nullptr);
}

TEST(Playback_StuckDriver, AnOpenThatNeverAnswersIsReportedOnceAndPlaybackIsRefused) {
    auto gate = std::make_shared<StuckGate>();
    int opened = 0;
    SetAudioDeviceFactory([&] { return std::make_unique<StuckDevice>(gate, ++opened == 1); });
    test::TempDir dir;
    test::WriteFile(dir.File("s.wav"), test::MakeWav16(std::vector<std::int16_t>(2000, 3), 8000));
    test::ScriptedMessages messages;
    SoundData sound;
    ASSERT_EQ(sound.Load(dir.File("s.wav")), 0);
    messages.Expect(
        "The sound device did not respond.\nPlayback is not available until it does; everything "
        "else works as usual.");
    EXPECT_EQ(sound.Play(0, 1999), 3);
    EXPECT_EQ(sound.Play(0, 1999), 3);  // still under way: refused, said once, no second device
    EXPECT_EQ(opened, 1);
    messages.VerifyAllShown();
    {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->released = true;
        gate->changed.notify_all();
        // The late device is closed by the thread that opened it.
        ASSERT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(10),
                                           [&] { return gate->closed == 1; }));
    }
    EXPECT_EQ(sound.Play(0, 1999), 0);
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    SetAudioDeviceFactory(nullptr);
}

TEST_F(Playback, DestructionStopsAndReleases) {
    {
        SoundData other;
        ASSERT_EQ(other.Load(dir.File("s.wav")), 0);
        ASSERT_EQ(other.Play(0, 1999), 0);
        TakeCalls();
    }
    EXPECT_EQ(TakeCalls(), (Calls{"Reset", "Unprepare", "Close"}));
    EXPECT_EQ(fake.alive, 0);
}

TEST(Playback_NoSound, PlaysNothingAndShowsNothing) {
    test::ScriptedMessages messages;
    SoundData sound;
    EXPECT_EQ(sound.Play(0, 100), 1);
    EXPECT_EQ(sound.GetPosition(), 0);
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
}

}  // namespace
}  // namespace vokra

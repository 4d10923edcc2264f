// Playback end to end through SDL: the disk driver writes what it is given to a file, so the test
// sees exactly which samples reached the device.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/audio_device.h"
#include "platform/sdl_audio_device.h"
#include "platform/sdl_audio_factory.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

// SDL reads the driver's name when its audio subsystem starts, so each test starts it afresh with
// its own environment and puts everything back afterwards.
class SdlPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE"}) {
            const char* v = std::getenv(name);
            saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        SetAudioDeviceFactory(nullptr);
        UseSdlAudioDevice();
        ShutdownSdlAudio();
    }
    void TearDown() override {
        sound.Unload();
        ShutdownSdlAudio();
        for (auto& [name, value] : saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void LoadRamp() {
        // No sample is zero, so the device's silence cannot be mistaken for the sound.
        std::vector<std::int16_t> v(4000);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(i + 1);
        samples = v;
        test::WriteFile(dir.File("ramp.wav"), test::MakeWav16(v, 8000));
        ASSERT_EQ(sound.Load(dir.File("ramp.wav")), 0);
    }
    bool WaitUntilStopped(std::vector<std::int32_t>* positions = nullptr) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sound.IsPlaying()) {
            if (positions) positions->push_back(sound.GetPosition());
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    test::TempDir dir;
    test::ScriptedMessages messages;
    SoundData sound;
    std::vector<std::int16_t> samples;
};

std::vector<std::int16_t> ReadSamples(const std::string& path) {
    const std::string bytes = test::ReadFile(path);
    std::vector<std::int16_t> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.data(), v.size() * 2);
    return v;
}

TEST_F(SdlPlayback, DiskDriverReceivesExactlyTheRangeThenSilence) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str(), 1);
    LoadRamp();
    ASSERT_EQ(sound.Play(1000, 2999), 0);
    std::vector<std::int32_t> positions;
    ASSERT_TRUE(WaitUntilStopped(&positions));
    EXPECT_EQ(sound.GetPosition(), 2999);
    for (std::size_t i = 1; i < positions.size(); ++i) {
        ASSERT_GE(positions[i], positions[i - 1]) << "position went backwards";
    }
    for (std::int32_t p : positions) {
        ASSERT_GE(p, 1000);
        ASSERT_LE(p, 3000);
    }
    ShutdownSdlAudio();  // the disk driver's file is complete once the device is closed

    const std::vector<std::int16_t> out = ReadSamples(dir.File("out.raw"));
    std::size_t start = 0;
    while (start < out.size() && out[start] == 0) ++start;  // silence while the device was paused
    ASSERT_LE(start + 2000, out.size());
    const std::vector<std::int16_t> played(out.begin() + static_cast<std::ptrdiff_t>(start),
                                           out.begin() + static_cast<std::ptrdiff_t>(start + 2000));
    EXPECT_EQ(played, std::vector<std::int16_t>(samples.begin() + 1000, samples.begin() + 3000));
    for (std::size_t i = start + 2000; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "at " << i;
}

TEST_F(SdlPlayback, StopMidwayReturnsPromptlyWithPositionInRange) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    LoadRamp();
    ASSERT_EQ(sound.Play(0, 3999), 0);  // half a second
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto before = std::chrono::steady_clock::now();
    sound.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(sound.IsPlaying());
    const std::int32_t stopped = sound.GetPosition();
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, 3999);
    EXPECT_EQ(sound.GetPosition(), stopped);
    // Playing again from there works on a fresh device.
    ASSERT_EQ(sound.Play(stopped, 3999), 0);
    EXPECT_TRUE(WaitUntilStopped());
    EXPECT_EQ(sound.GetPosition(), 3999);
}

TEST_F(SdlPlayback, DriverThatCannotOpenIsReportedNotReplaced) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    LoadRamp();
    messages.Expect("Open sound device failed!");
    EXPECT_EQ(sound.Play(0, 3999), 3);
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_TRUE(sound.IsLoaded());
    messages.Expect("Open sound device failed!");
    EXPECT_EQ(sound.Play(0, 3999), 3);
}

}  // namespace
}  // namespace vokra

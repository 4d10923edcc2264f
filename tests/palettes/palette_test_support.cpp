#include "tests/palettes/palette_test_support.h"

#include <cmath>

#include "platform/ini_file.h"
#include "sound/sound_data.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {
namespace {

class FakeAudioDevice final : public AudioDevice {
public:
    explicit FakeAudioDevice(std::shared_ptr<FakeAudio> audio) : audio_(std::move(audio)) {}
    bool Open(int) override { return !audio_->openFails; }
    bool Prepare(const std::int16_t* samples, std::int32_t count) override {
        audio_->plays.push_back({samples - g_sound.GetSamples(), count});
        return true;
    }
    bool Write() override {
        audio_->heard = 0;
        audio_->done = false;
        return true;
    }
    std::int64_t GetPosition() override { return audio_->heard; }
    bool Reset() override {
        ++audio_->resets;
        audio_->done = true;
        return true;
    }
    bool IsDone() override { return audio_->done; }
    void Unprepare() override {}
    void Close() override {}

private:
    std::shared_ptr<FakeAudio> audio_;
};

}  // namespace

FakeAudioScope::FakeAudioScope() : audio_(std::make_shared<FakeAudio>()) {
    auto audio = audio_;
    SetAudioDeviceFactory([audio] { return std::make_unique<FakeAudioDevice>(audio); });
}

FakeAudioScope::~FakeAudioScope() {
    g_sound.Unload();
    SetAudioDeviceFactory(nullptr);
}

DocWithSound::DocWithSound(double seconds, std::uint32_t rate, double frameRate,
                           std::int32_t preset) {
    // Defaults only: no settings file is read or written.
    Profile().SetPath(std::string());
    doc_.OnNewDocument();
    if (seconds > 0) {
        const auto count = static_cast<std::size_t>(seconds * rate);
        std::vector<std::int16_t> samples(count);
        for (std::size_t i = 0; i < count; ++i) {
            samples[i] = static_cast<std::int16_t>(8000.0 * std::sin(i * 0.05));
        }
        wav_ = dir_.File("voice.wav");
        WriteFile(wav_, MakeWav16(samples, rate));
        doc_.LoadSoundFrom(wav_);
    }
    doc_.SetFrameRate(frameRate, preset);
}

DocWithSound::~DocWithSound() {
    g_sound.Unload();
}

void DocWithSound::SelectFrames(std::int32_t first, std::int32_t last) {
    doc_.GetTimeRange().SetAnchor(first - 0.5);
    doc_.GetTimeRange().SetCursor(last + 0.5);
}

void DocWithSound::PlaceCursor(double edge) {
    doc_.GetTimeRange().SetAnchor(edge);
    doc_.GetTimeRange().SetCursor(edge);
}

void DocWithSound::SetKey(std::int32_t frame, float opening) {
    doc_.GetKeys().SetKey(Keyframe(frame, opening));
}

}  // namespace vokra::test

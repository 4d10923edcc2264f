#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "live/live_source.h"

namespace vokra {
namespace {

// SDL's audio subsystem, started once for the process and never taking over its signals.
bool StartSdlAudio(std::string& error) {
    static std::once_flag once;
    static bool ok = false;
    static std::string reason;
    std::call_once(once, [] {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!ok) reason = std::string("audio: ") + SDL_GetError();
    });
    if (!ok) error = reason;
    return ok;
}

// The device's callback only brings its samples to mono and copies them into the ring.
class CaptureSource final : public LiveSource {
public:
    CaptureSource(std::string device, std::int32_t rate) : name_(std::move(device)), want_(rate) {}
    ~CaptureSource() override { Stop(); }
    std::int32_t Rate() const override { return rate_; }
    bool Start(LiveRing& ring, std::string& error) override {
        Stop();
        ring_ = &ring;
        SDL_AudioSpec want{}, have{};
        // A device reopened after a fault keeps the run's rate (SDL converts if it changed).
        const bool first = rate_ == 0;
        want.freq = first ? want_ : rate_;
        want.format = AUDIO_S16SYS;
        want.channels = 1;
        want.samples = 256;  // about 5 ms: a block is never longer than 10 ms
        want.callback = &CaptureSource::Callback;
        want.userdata = this;
        // SDL converts the format and the channels; the first rate is the device's own, so
        // nothing is resampled.
        device_ = SDL_OpenAudioDevice(name_.empty() ? nullptr : name_.c_str(), 1, &want, &have,
                                      first ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE : 0);
        if (device_ == 0) {
            error = (name_.empty() ? std::string("the default microphone") : name_) + ": " +
                    SDL_GetError();
            return false;
        }
        rate_ = have.freq;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }
    void Stop() override {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    bool Ended() const override { return false; }
    std::string Fault() const override {
        if (device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED)
            return (name_.empty() ? std::string("the microphone") : name_) +
                   " stopped (unplugged or taken by another program)";
        return {};
    }
    std::size_t Pull(std::int16_t*, std::size_t) override { return 0; }

private:
    static void SDLCALL Callback(void* self, Uint8* stream, int len) {
        auto* source = static_cast<CaptureSource*>(self);
        const auto count = static_cast<std::size_t>(std::max(len, 0)) / sizeof(std::int16_t);
        std::array<std::int16_t, 2048> block{};
        for (std::size_t at = 0; at < count; at += block.size()) {
            const std::size_t n = std::min(block.size(), count - at);
            std::memcpy(block.data(), stream + at * sizeof(std::int16_t), n * sizeof(std::int16_t));
            const std::size_t written = source->ring_->Write(block.data(), n);
            if (written < n) source->ring_->CountDropped(n - written);
        }
    }

    std::string name_;
    std::int32_t want_;
    std::int32_t rate_ = 0;
    SDL_AudioDeviceID device_ = 0;
    LiveRing* ring_ = nullptr;
};

}  // namespace

std::unique_ptr<LiveSource> OpenLiveCapture(const std::string& device, std::int32_t rate,
                                            std::string& error) {
    if (!StartSdlAudio(error)) return nullptr;
    auto source = std::make_unique<CaptureSource>(device, rate > 0 ? rate : 48000);
    return source;
}

std::vector<std::string> LiveCaptureDevices(std::string& error) {
    std::vector<std::string> names;
    if (!StartSdlAudio(error)) return names;
    const int count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 1)) names.emplace_back(name);
    return names;
}

}  // namespace vokra

#pragma once
// SdlAudioDevice plays one buffer of mono 16-bit samples through SDL's audio subsystem. SDL's
// audio thread runs the callback, which copies straight from the caller's samples into SDL's
// buffer (no copy of the whole range is ever made) and only touches atomics shared with the
// user-interface thread. Silence follows the end of the buffer until the device is closed.
//
// SDL is initialised on the first Open, never before: a program that never plays never touches
// the sound system. Which driver SDL uses comes from SDL_AUDIODRIVER at that moment.
#include <atomic>
#include <cstdint>

#include "platform/audio_device.h"

namespace vokra {

class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice() = default;
    ~SdlAudioDevice() override;
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

    bool Open(int sampleRate) override;
    bool Prepare(const std::int16_t* samples, std::int32_t count) override;
    bool Write() override;
    std::int64_t GetPosition() override;
    bool Reset() override;
    bool IsDone() override;
    void Unprepare() override;
    void Close() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    void Fill(std::uint8_t* stream, int length) noexcept;

    std::uint32_t m_device = 0;  // SDL_AudioDeviceID, 0 when closed
    int m_sampleRate = 0;
    bool m_prepared = false;
    std::int64_t m_lastReported = 0;  // user-interface thread only

    // Shared with the audio thread.
    std::atomic<const std::int16_t*> m_samples{nullptr};
    std::atomic<std::int64_t> m_count{0};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_done{false};
    std::atomic<std::int64_t> m_handed{0};      // samples given to SDL, trailing silence included
    std::atomic<std::int64_t> m_lastBuffer{0};  // samples in the latest callback's buffer
    std::atomic<std::int64_t> m_callbackNanos{0};  // steady clock at the latest callback
};

// Initialises SDL's audio subsystem if it is not yet (false when no driver can start).
bool InitSdlAudio();
// Shuts the audio subsystem down again if InitSdlAudio started it, so that the next Open reads
// SDL_AUDIODRIVER afresh. No device may be open.
void ShutdownSdlAudio();

}  // namespace vokra

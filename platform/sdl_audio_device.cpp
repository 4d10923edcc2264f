#include "platform/sdl_audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vokra {
namespace {

bool g_weStartedSdlAudio = false;

std::int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// About 20 ms per callback, a power of two as drivers prefer.
Uint16 BufferSamples(int sampleRate) {
    Uint16 n = 256;
    while (n < sampleRate / 50 && n < 4096) n = static_cast<Uint16>(n * 2);
    return n;
}

}  // namespace

bool InitSdlAudio() {
    if (SDL_WasInit(SDL_INIT_AUDIO)) return true;
    // SDL would otherwise take over SIGINT and SIGTERM from the application.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    g_weStartedSdlAudio = true;
    return true;
}

void ShutdownSdlAudio() {
    if (!g_weStartedSdlAudio) return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_weStartedSdlAudio = false;
}

SdlAudioDevice::~SdlAudioDevice() {
    Close();
}

bool SdlAudioDevice::Open(int sampleRate) {
    if (m_device != 0 || sampleRate <= 0) return false;
    if (!InitSdlAudio()) return false;
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = BufferSamples(sampleRate);
    want.callback = &SdlAudioDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware wants, so the callback always
    // deals in our own format. The device starts paused.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) return false;
    m_sampleRate = sampleRate;
    m_lastBuffer.store(have.samples, std::memory_order_relaxed);
    return true;
}

bool SdlAudioDevice::Prepare(const std::int16_t* samples, std::int32_t count) {
    if (m_device == 0 || m_prepared || !samples || count <= 0) return false;
    m_running.store(false, std::memory_order_relaxed);
    m_done.store(false, std::memory_order_relaxed);
    m_handed.store(0, std::memory_order_relaxed);
    m_count.store(count, std::memory_order_relaxed);
    m_samples.store(samples, std::memory_order_release);
    m_lastReported = 0;
    m_prepared = true;
    return true;
}

bool SdlAudioDevice::Write() {
    if (m_device == 0 || !m_prepared) return false;
    m_callbackNanos.store(NowNanos(), std::memory_order_relaxed);
    m_running.store(true, std::memory_order_release);
    SDL_PauseAudioDevice(m_device, 0);
    return true;
}

void SdlAudioDevice::Callback(void* self, std::uint8_t* stream, int length) {
    static_cast<SdlAudioDevice*>(self)->Fill(stream, length);
}

void SdlAudioDevice::Fill(std::uint8_t* stream, int length) noexcept {
    if (length <= 0) return;
    const std::int64_t n = length / 2;
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    if (!m_running.load(std::memory_order_acquire)) {
        std::memset(stream, 0, static_cast<std::size_t>(length));
        return;
    }
    const std::int16_t* samples = m_samples.load(std::memory_order_acquire);
    const std::int64_t count = m_count.load(std::memory_order_relaxed);
    const std::int64_t handed = m_handed.load(std::memory_order_relaxed);
    std::int64_t copied = 0;
    if (samples && handed < count) {
        copied = std::min(n, count - handed);
        std::memcpy(out, samples + handed, static_cast<std::size_t>(copied) * 2);
    }
    std::memset(out + copied, 0,
                static_cast<std::size_t>(length) - static_cast<std::size_t>(copied) * 2);
    m_lastBuffer.store(n, std::memory_order_relaxed);
    m_callbackNanos.store(NowNanos(), std::memory_order_relaxed);
    m_handed.store(handed + n, std::memory_order_release);
    // What this call hands over is heard one buffer later; once that buffer starts with silence,
    // every sample of the range has been heard.
    if (handed >= count) m_done.store(true, std::memory_order_release);
}

std::int64_t SdlAudioDevice::GetPosition() {
    if (m_device == 0 || !m_prepared) return -1;
    const std::int64_t count = m_count.load(std::memory_order_relaxed);
    const std::int64_t when = m_callbackNanos.load(std::memory_order_relaxed);
    const std::int64_t handed = m_handed.load(std::memory_order_acquire);
    const std::int64_t buffer = m_lastBuffer.load(std::memory_order_relaxed);
    // The callback works one buffer ahead of the loudspeaker: the latest buffer handed over starts
    // being heard about now, and plays out over its own length. Between callbacks the position
    // moves on with the clock, never past what SDL has actually received.
    std::int64_t heard = handed - buffer;
    if (m_running.load(std::memory_order_relaxed) && handed > 0) {
        const std::int64_t elapsed = std::max<std::int64_t>(0, NowNanos() - when);
        const std::int64_t moved = elapsed / 1000 * m_sampleRate / 1000000;
        heard += std::min(moved, buffer);
    }
    heard = std::clamp<std::int64_t>(heard, 0, count);
    if (m_done.load(std::memory_order_acquire)) heard = count;
    if (heard < m_lastReported) heard = m_lastReported;
    m_lastReported = heard;
    return heard;
}

bool SdlAudioDevice::Reset() {
    if (m_device == 0) return false;
    // The callback hears of this on its next run and plays silence from then on. Nothing here
    // waits for the audio thread: a device that has gone away may never call back again.
    m_running.store(false, std::memory_order_release);
    m_done.store(true, std::memory_order_release);
    return true;
}

bool SdlAudioDevice::IsDone() {
    return m_done.load(std::memory_order_acquire);
}

void SdlAudioDevice::Unprepare() {
    if (!m_prepared) return;
    m_running.store(false, std::memory_order_release);
    if (m_device != 0) {
        // The callback may be copying from the samples right now; taking the device lock waits
        // for it to finish so the caller can free them afterwards.
        SDL_LockAudioDevice(m_device);
        m_samples.store(nullptr, std::memory_order_release);
        m_count.store(0, std::memory_order_relaxed);
        SDL_UnlockAudioDevice(m_device);
    } else {
        m_samples.store(nullptr, std::memory_order_release);
        m_count.store(0, std::memory_order_relaxed);
    }
    m_prepared = false;
}

void SdlAudioDevice::Close() {
    if (m_device == 0) return;
    m_running.store(false, std::memory_order_release);
    SDL_CloseAudioDevice(m_device);  // joins SDL's audio thread
    m_device = 0;
    m_prepared = false;
    m_samples.store(nullptr, std::memory_order_release);
}

}  // namespace vokra

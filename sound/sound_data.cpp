#include "sound/sound_data.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/audio_device.h"
#include "platform/message_service.h"
#include "platform/riff_reader.h"
#include "sound/wave_reader.h"

namespace vokra {

// A device being closed on its own thread. Closing joins the driver's thread, which a stuck
// driver never lets go; the user-interface thread waits a moment and then carries on without it.
// Samples the stuck device may still read are freed by that thread once the close returns.
struct SoundData::PendingClose {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::shared_ptr<void> samples;  // kept alive for the stuck device after an unload
};

// A device being opened on its own thread. The thread hands the open device over when the wait
// is not over yet, and closes it itself when the user-interface thread has given up on it.
struct SoundData::PendingOpen {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    std::unique_ptr<AudioDevice> device;  // the opened device, or null when opening failed
};

namespace {

// How long closing a device may take before it is taken for stuck. A working driver closes in a
// buffer or two.
constexpr auto kCloseWait = std::chrono::milliseconds(500);
// Opening may start the sound system and connect to a sound server, which takes longer.
constexpr auto kOpenWait = std::chrono::seconds(2);

}  // namespace

SoundData g_sound;

SoundData::SoundData() = default;

SoundData::~SoundData() {
    if (IsPlaying()) Stop();
    if (m_bLoaded) Unload();
}

std::int32_t SoundData::Load(const std::string& path) {
    std::string refusal;
    const std::int32_t code = Load(path, refusal);
    if (code != 0) AfxMessageBox(refusal);
    return code;
}

std::int32_t SoundData::Load(const std::string& path, std::string& refusal) {
    // The previous sound is gone whatever happens to the new one; playback reads from its buffer,
    // so it ends first.
    Stop();
    Unload();

    RiffReader reader;
    if (!reader.Open(path)) {
        refusal = "Failed to open file";
        return 1;
    }
    return Adopt(reader, &refusal);
}

std::int32_t SoundData::LoadMemory(const void* data, std::size_t size) {
    Stop();
    Unload();
    RiffReader reader;
    reader.OpenMemory(data, size);
    return Adopt(reader, nullptr);
}

std::int32_t SoundData::LoadMemory(const void* data, std::size_t size, std::string& refusal) {
    Stop();
    Unload();
    RiffReader reader;
    reader.OpenMemory(data, size);
    return Adopt(reader, &refusal);
}

std::int32_t SoundData::Adopt(RiffReader& reader, std::string* refusal) {
    WaveReadResult wave = ReadWave(reader);
    reader.Close();
    if (wave.code != 0) {
        if (refusal) {
            *refusal = wave.message;
        } else {
            AfxMessageBox(wave.message);
        }
        return wave.code;
    }
    m_nSampleRate = wave.sampleRate;
    m_nSampleCount = wave.sampleCount;
    m_pSamples = wave.samples;
    m_bLoaded = 1;
    return 0;
}

void SoundData::Unload() {
    if (!m_bLoaded) return;
    Stop();
    // Stuck devices may still read these samples: the last of their closing threads frees them.
    std::shared_ptr<void> shared;
    for (const auto& pending : m_stuckCloses) {
        std::lock_guard<std::mutex> lock(pending->mutex);
        if (pending->finished) continue;
        if (!shared) shared = std::shared_ptr<void>(std::exchange(m_pSamples, nullptr), std::free);
        pending->samples = shared;
    }
    m_stuckCloses.clear();
    std::free(m_pSamples);
    m_pSamples = nullptr;
    m_nSampleCount = 0;
    m_nSampleRate = 0;
    m_bLoaded = 0;
}

void SoundData::TakeFrom(SoundData& other) {
    if (&other == this) return;
    Unload();
    other.Stop();
    m_pSamples = std::exchange(other.m_pSamples, nullptr);
    m_nSampleCount = std::exchange(other.m_nSampleCount, 0);
    m_nSampleRate = std::exchange(other.m_nSampleRate, 0);
    m_bLoaded = std::exchange(other.m_bLoaded, 0);
}

std::int32_t SoundData::Play(std::int32_t first, std::int32_t last) {
    if (!m_bLoaded) return 1;
    if (m_bPlaying) Stop();
    if (first < 0) first = 0;
    if (last >= m_nSampleCount) last = m_nSampleCount - 1;
    if (last < first) return 0;

    m_nPlayStart = first;
    m_nPosition = first;
    m_lastHeard = 0;
    m_bForcedDone = false;

    std::int32_t failure = 0;
    m_hWaveOut = OpenDevice(failure);
    if (!m_hWaveOut) return failure;
    if (!m_hWaveOut->Prepare(m_pSamples + first, last - first + 1)) {
        ReleaseDevice(false);
        AfxMessageBox("Play fails - PrepareHeader failed");
        return 4;
    }
    if (!m_hWaveOut->Write()) {
        ReleaseDevice();
        AfxMessageBox("Play failed. calling waveOutWrite");
        return 5;
    }
    m_bPlaying = 1;
    m_nPosition = last;
    return 0;
}

std::unique_ptr<AudioDevice> SoundData::OpenDevice(std::int32_t& failure) {
    failure = 3;
    if (m_stuckOpen) {
        std::lock_guard<std::mutex> lock(m_stuckOpen->mutex);
        if (!m_stuckOpen->finished) return nullptr;  // reported when it got stuck
    }
    m_stuckOpen.reset();
    std::unique_ptr<AudioDevice> created = CreateAudioDevice();
    if (!created) {
        AfxMessageBox("Open sound device failed!");
        return nullptr;
    }
    auto pending = std::make_shared<PendingOpen>();
    auto open = [pending, rate = m_nSampleRate](std::unique_ptr<AudioDevice> device) {
        // A device that failed is gone before anyone hears of it.
        if (!device->Open(rate)) device.reset();
        std::unique_lock<std::mutex> lock(pending->mutex);
        pending->finished = true;
        if (pending->abandoned) {
            // Nobody waits for it any more: it goes as it came.
            lock.unlock();
            if (device) device->Close();
            return;
        }
        pending->device = std::move(device);
        pending->done.notify_all();
    };
    auto job = std::make_shared<std::unique_ptr<AudioDevice>>(std::move(created));
    try {
        std::thread([open, job]() mutable { open(std::move(*job)); }).detach();
    } catch (const std::system_error&) {
        open(std::move(*job));  // no thread to spare: open here, as before
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (!pending->done.wait_for(lock, kOpenWait, [&] { return pending->finished; })) {
        pending->abandoned = true;
        lock.unlock();
        m_stuckOpen = std::move(pending);
        if (!m_bReportedStuckOpen) {
            m_bReportedStuckOpen = true;
            AfxMessageBox(
                "The sound device did not respond.\nPlayback is not available until it does; "
                "everything else works as usual.");
        }
        return nullptr;
    }
    if (!pending->device) AfxMessageBox("Open sound device failed!");
    return std::move(pending->device);
}

void SoundData::FinishIfDone() {
    if (!m_bPlaying) return;
    if (!m_bForcedDone && m_hWaveOut && !m_hWaveOut->IsDone()) return;
    ReleaseDevice();
    m_bForcedDone = false;
    m_bPlaying = 0;
}

void SoundData::ReleaseDevice(bool prepared) {
    if (!m_hWaveOut) return;
    auto pending = std::make_shared<PendingClose>();
    auto close = [device = std::move(m_hWaveOut), pending, prepared]() mutable {
        if (prepared) device->Unprepare();
        device->Close();
        device.reset();
        std::shared_ptr<void> samples;
        {
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->finished = true;
            samples = std::move(pending->samples);
            pending->done.notify_all();
        }
    };
    // Shared, so that the device is still at hand if no thread can be started.
    auto job = std::make_shared<decltype(close)>(std::move(close));
    try {
        std::thread([job] { (*job)(); }).detach();
    } catch (const std::system_error&) {
        (*job)();  // no thread to spare: close here, as before
        return;
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (pending->done.wait_for(lock, kCloseWait, [&] { return pending->finished; })) return;
    lock.unlock();
    // The next Play opens a new device; this one is left to its thread.
    std::erase_if(m_stuckCloses, [](const std::shared_ptr<PendingClose>& p) {
        std::lock_guard<std::mutex> guard(p->mutex);
        return p->finished;
    });
    m_stuckCloses.push_back(std::move(pending));
    if (!m_bReportedStuck) {
        m_bReportedStuck = true;
        AfxMessageBox(
            "The sound device stopped responding.\nPlayback has ended; the next play opens the "
            "device again.");
    }
}

bool SoundData::IsPlaying() {
    FinishIfDone();
    return m_bPlaying != 0;
}

std::int32_t SoundData::GetPosition() {
    if (!m_bLoaded) return 0;
    FinishIfDone();
    if (!m_bPlaying) return m_nPosition;
    std::int64_t heard = m_hWaveOut->GetPosition();
    if (heard < 0) return 0;
    // The range is (m_nPosition - m_nPlayStart + 1) samples long while playing.
    const std::int64_t length = static_cast<std::int64_t>(m_nPosition) - m_nPlayStart + 1;
    if (heard > length) heard = length;
    if (heard < m_lastHeard) heard = m_lastHeard;
    m_lastHeard = heard;
    return static_cast<std::int32_t>(heard + m_nPlayStart);
}

void SoundData::Stop() {
    if (!IsPlaying()) return;
    m_nPosition = GetPosition();
    if (m_bPlaying && !m_hWaveOut->Reset()) m_bForcedDone = true;
    // A device that acknowledged the reset but never reports done would keep this loop spinning
    // for ever; after a generous wait it is treated as done.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (IsPlaying()) {
        if (std::chrono::steady_clock::now() > deadline) m_bForcedDone = true;
        std::this_thread::yield();
    }
}

}  // namespace vokra

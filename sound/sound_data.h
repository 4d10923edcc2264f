#pragma once
// The loaded voice: mono signed 16-bit samples whatever the file held, its count and rate, and the
// playback of a range of it on the output device. There is one instance, g_sound.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vokra {

class AudioDevice;
class RiffReader;

class SoundData {
public:
    SoundData();
    ~SoundData();
    SoundData(const SoundData&) = delete;
    SoundData& operator=(const SoundData&) = delete;

    // 0 on success, else the code 1..11 of the failure, which has been reported already.
    std::int32_t Load(const std::string& path);
    // The same, but a failure is not shown: its message is put in `refusal` for the caller.
    std::int32_t Load(const std::string& path, std::string& refusal);
    // Loads a WAVE file held in memory through the same checks (messages are shown).
    std::int32_t LoadMemory(const void* data, std::size_t size);
    // The same, but a failure is not shown: its message is put in `refusal` for the caller.
    std::int32_t LoadMemory(const void* data, std::size_t size, std::string& refusal);
    void Unload();
    // Unloads this sound and takes over the one `other` holds (which is left empty): a sound is
    // loaded to the side first when the one in use must survive a refusal.
    void TakeFrom(SoundData& other);
    bool IsLoaded() const { return m_bLoaded != 0; }
    std::int32_t GetSampleCount() const { return m_bLoaded ? m_nSampleCount : 0; }
    std::int32_t GetSampleRate() const { return m_bLoaded ? m_nSampleRate : 0; }
    const std::int16_t* GetSamples() const { return m_bLoaded ? m_pSamples : nullptr; }

    // Playback of samples first..last inclusive: 0 started or nothing to play, 1 no sound,
    // 3/4/5 device failures (reported).
    std::int32_t Play(std::int32_t first, std::int32_t last);
    void Stop();
    bool IsPlaying();
    std::int32_t GetPosition();
    void FinishIfDone();

private:
    std::int32_t Adopt(RiffReader& reader, std::string* refusal);

    std::int32_t m_bLoaded = 0;
    std::int32_t m_nSampleCount = 0;
    std::int32_t m_nSampleRate = 0;
    std::int32_t m_nPlayStart = 0;
    std::int32_t m_nPosition = 0;
    std::int16_t* m_pSamples = nullptr;
    std::int32_t m_bPlaying = 0;
    std::unique_ptr<AudioDevice> m_hWaveOut;
    std::int64_t m_lastHeard = 0;  // never report a position behind one already reported
    bool m_bForcedDone = false;    // a failed reset counts as done so that Stop's wait ends

    // Unprepares and closes the device on a thread of its own, waiting a bounded time for it.
    void ReleaseDevice(bool prepared = true);
    struct PendingClose;
    std::vector<std::shared_ptr<PendingClose>> m_stuckCloses;  // devices that would not close
    bool m_bReportedStuck = false;                             // a stuck device is reported once

    // Opens a device for the sound's rate on a thread of its own, waiting a bounded time for it:
    // a driver that blocks while opening must not freeze the window. Null when it failed (said
    // as the device failure), did not answer in time (said once), or an earlier open that did not
    // answer is still under way (playback is refused until it ends).
    std::unique_ptr<AudioDevice> OpenDevice(std::int32_t& failure);
    struct PendingOpen;
    std::shared_ptr<PendingOpen> m_stuckOpen;  // an open still under way on its thread
    bool m_bReportedStuckOpen = false;
};

extern SoundData g_sound;

}  // namespace vokra

#pragma once
// The waveform-audio output stand-in: open for one 16-bit mono format, queue one buffer by pointer
// (no copy), read the position in samples of what is being heard, reset, and a done flag the
// driver side sets. All calls come from the user-interface thread; the driver side (the audio
// callback) only touches atomics.
#include <cstdint>
#include <functional>
#include <memory>

namespace vokra {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Opens the default output for mono signed 16-bit samples at `sampleRate`. False on failure.
    virtual bool Open(int sampleRate) = 0;
    // Prepares a buffer (the samples must stay in place until Unprepare). False on failure.
    virtual bool Prepare(const std::int16_t* samples, std::int32_t count) = 0;
    // Starts playing the prepared buffer. False on failure.
    virtual bool Write() = 0;
    // Samples played (heard) since Write, or -1 when the position cannot be read.
    virtual std::int64_t GetPosition() = 0;
    // Stops playing and marks the buffer done. False on failure.
    virtual bool Reset() = 0;
    // True once the whole buffer has been played or the device was reset.
    virtual bool IsDone() = 0;
    virtual void Unprepare() = 0;
    virtual void Close() = 0;
};

using AudioDeviceFactory = std::function<std::unique_ptr<AudioDevice>()>;

// The factory SoundData uses to open a device: tests install fakes; null restores the default.
void SetAudioDeviceFactory(AudioDeviceFactory factory);
// The device used when no other factory is installed: the program installs SDL's
// (platform/sdl_audio_factory.h). Without one no device opens, which a tool that never plays
// never notices.
void SetDefaultAudioDeviceFactory(AudioDeviceFactory factory);
// A new device, or null when no factory is installed.
std::unique_ptr<AudioDevice> CreateAudioDevice();

}  // namespace vokra

#pragma once
// Where live samples come from, behind one interface: a sound file played in real time or read as
// fast as the CPU allows, raw PCM on standard input, the microphone. A paced source writes mono
// 16-bit samples into the session's ring from its own thread (or the device's callback) as they
// arrive; every source can also be pulled from directly, for the fastest run.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "live/live_ring.h"

namespace vokra {

class LiveSource {
public:
    virtual ~LiveSource() = default;
    // The samples' rate, once open.
    virtual std::int32_t Rate() const = 0;
    // Starts writing samples into `ring` as they arrive; false with a reason when it cannot.
    virtual bool Start(LiveRing& ring, std::string& error) = 0;
    // Stops writing (waits for its thread, closes its device).
    virtual void Stop() = 0;
    // Every sample has been written: the input has ended.
    virtual bool Ended() const = 0;
    // What went wrong since it started (the device unplugged or taken), empty while it works.
    virtual std::string Fault() const { return {}; }
    // Starts again after a fault; false while it still cannot.
    virtual bool Restart(LiveRing& ring, std::string& error) {
        Stop();
        return Start(ring, error);
    }
    // The fastest run: up to `max` samples straight into `out`; 0 at the end.
    virtual std::size_t Pull(std::int16_t* out, std::size_t max) = 0;
};

// A sound file (any the program loads, converted in memory when it must); the real-time run
// writes it in 10 ms blocks by the wall clock. Null with a reason when it cannot be loaded.
std::unique_ptr<LiveSource> OpenLiveFile(const std::string& path, std::string& error);

enum class PcmFormat { S16, F32 };
// Raw little-endian PCM, interleaved, from a file descriptor (standard input: 0).
std::unique_ptr<LiveSource> OpenLivePcm(int fd, std::int32_t rate, int channels, PcmFormat format);

// The microphone through SDL's capture; `device` empty for the default. Null with a reason when
// SDL's audio cannot start.
std::unique_ptr<LiveSource> OpenLiveCapture(const std::string& device, std::int32_t rate,
                                            std::string& error);
// The names of the capture devices SDL offers.
std::vector<std::string> LiveCaptureDevices(std::string& error);

}  // namespace vokra

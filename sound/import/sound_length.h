#pragma once
// What a sound file is, as libsndfile sees it, and how long it really is: the length its header
// gives, the length found by decoding when the header gives none, and where a file cut short
// ends.
#include <cstdint>
#include <string>

namespace vokra {

struct SoundFileInfo {
    std::string container;  // "WAV", "AIFF", "FLAC", "Ogg", "MP3", ...
    std::string encoding;   // "24-bit PCM", "32-bit float", "Vorbis", ...
    std::int32_t sampleRate = 0;
    std::int32_t channels = 0;
    // The length the header gives; when it gives none (a FLAC written to a pipe, an Ogg cut
    // short), the length found by decoding.
    std::int64_t frames = 0;
    bool lengthFromDecoding = false;
    // Decoding stopped once the recording passed the longest Vokra takes: it is longer than
    // `frames`.
    bool longerThanFrames = false;
    // Frames that decode, when the file was read to its end (-1: not read). Fewer than `frames`
    // in a file cut short.
    std::int64_t readableFrames = -1;
    bool finerThan16Bits = false;  // gets dither when made 16-bit

    double Seconds() const;
    // "48000 Hz, 2 channels, 24-bit PCM, 12.4 s" (the container is named unless it is WAV).
    std::string Describe() const;
    // True when the file was read and ends before the length its header gives.
    bool EndsEarly() const { return readableFrames >= 0 && readableFrames < frames; }
};

// Reads the header of a regular file (never blocks on a FIFO or a device); false when libsndfile
// cannot read it. A header that gives no length is followed by decoding, up to a little past the
// longest recording Vokra converts.
bool ProbeSound(const std::string& path, SoundFileInfo& info);
// ProbeSound, then decodes the whole recording (up to that limit) to learn where it really ends.
bool MeasureSound(const std::string& path, SoundFileInfo& info);

}  // namespace vokra

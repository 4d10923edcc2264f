#pragma once
// libsndfile as the import sees it (for the import's own files, not its callers): a file opened
// from a path or from bytes, what its header says, and the frames that really decode.
#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sound/import/sound_length.h"

namespace vokra::import_detail {

// Floats read per block, whatever the channel count: the working set stays small and fixed.
constexpr std::size_t kBlockFloats = 1 << 16;

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndHandle = std::unique_ptr<SNDFILE, SndCloser>;

// "voice.flac" of "/a/voice.flac".
std::string NameOf(const std::string& path);

// Opens a regular file only: a FIFO or a device would block the open or never end.
SndHandle OpenPath(const std::string& path, SF_INFO& info);

// Bytes in memory as a libsndfile virtual file; it must outlive the handle opened on it.
struct MemoryFile {
    const unsigned char* data;
    sf_count_t size;
    sf_count_t position;
};
SndHandle OpenMemory(MemoryFile& memory, SF_INFO& info);

// The header's description: container, encoding, rate, channels, frames.
SoundFileInfo InfoOf(const SF_INFO& sf);
// A rate and a channel count some recording has (a resampler is built for them), and a length.
bool Usable(const SF_INFO& info);
// The header gives no length (a FLAC written to a pipe, an Ogg cut short).
bool LengthUnknown(const SF_INFO& sf);

// The frames a RIFF/WAVE header's data chunk promises (-1 when it promises nothing usable).
// libsndfile gives the length of what is in the file, so a WAV cut short is only seen here.
std::int64_t PromisedWaveFrames(const unsigned char* head, std::size_t size);
std::int64_t PromisedWaveFrames(const std::string& path);
// A little past the longest recording Vokra converts (kMaxImportSamples at 8000 Hz), in frames
// at the source's rate: decoding to learn a length stops there.
sf_count_t CountLimit(int sourceRate);
// Decodes from where the file stands, counting frames, until its end or `limit`. `keepGoing`
// (when given) is asked after every block, so a long count can be cancelled.
sf_count_t CountFrames(SNDFILE* file, int channels, sf_count_t limit,
                       const std::function<bool()>& keepGoing = {});

}  // namespace vokra::import_detail

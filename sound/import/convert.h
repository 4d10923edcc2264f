#pragma once
// The conversion of any recording libsndfile reads into what the exact WAVE loader accepts: mono
// signed 16-bit PCM at a rate of 4000 to 44100 Hz, at most 4,000,000 samples. The source is
// decoded in blocks, so a long recording never exists whole as floats; the result is at most
// 8 MB of samples. Nothing here shows anything: results carry a status and a message.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sound/import/sound_length.h"

namespace vokra {

enum class ImportStatus {
    Ok,
    Unreadable,  // libsndfile cannot read it: the exact loader's message stands
    TooShort,    // empty or shorter than the loader takes: the exact loader's message stands
    TooLong,     // no loadable rate holds it (message says the length and the limit)
    BadOption,   // a channel or rate the caller asked for does not apply (message says why)
    Cancelled,   // the progress callback said stop; nothing was written
    Failed,      // reading or writing went wrong part-way (message says what)
};

struct ImportOptions {
    std::int32_t channel = 0;  // 0: average all channels; 1..n: that channel alone
    std::int32_t rate = 0;     // 0: by the rule; else this rate (4000..44100)
    // Told the fraction done (0..1) after every block; returning false cancels.
    std::function<bool(double)> progress;
};

struct ImportResult {
    ImportStatus status = ImportStatus::Failed;
    std::string message;  // for TooLong, BadOption and Failed
    SoundFileInfo info;
    std::int32_t rate = 0;
    std::vector<std::int16_t> samples;
    bool ok() const { return status == ImportStatus::Ok; }
};

// Converts a file (`name` is how messages call it; the file name when empty).
ImportResult ImportSound(const std::string& path, const ImportOptions& options = {},
                         const std::string& name = {});
// Converts bytes in memory (they must outlive the call).
ImportResult ImportSoundBytes(const void* data, std::size_t size, const ImportOptions& options = {},
                              const std::string& name = "input");

}  // namespace vokra

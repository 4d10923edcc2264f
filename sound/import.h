#pragma once
// Import of any recording libsndfile reads (WAV of every sample format, RF64, AIFF, FLAC, Ogg,
// MP3 ...) into what the exact WAVE loader accepts: mono signed 16-bit PCM at a rate of 4000 to
// 44100 Hz, at most 4,000,000 samples. Channels are averaged (or one is picked), soxr resamples at
// high quality, and sources finer than 16 bits get TPDF dither. The source is read in blocks, so a
// long recording never exists whole as floats; the result is at most 8 MB of samples.
//
// Nothing here shows anything: results carry a status and a message for the caller to report.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vokra {

// The most samples the loader takes, and the rates the rule steps down through to fit them.
constexpr std::int64_t kMaxImportSamples = 4'000'000;
constexpr std::int32_t kMinLoadableRate = 4000;
constexpr std::int32_t kMaxLoadableRate = 44100;

// What a sound file is, as libsndfile sees it.
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
// "voice.flac ends after 2.1 s of the 5.4 s its header promises." (empty unless EndsEarly).
std::string EndsEarlyNotice(const std::string& name, const SoundFileInfo& info);
// Why a path cannot be a sound although it exists: "NAME is a folder, not a sound file.", a
// named pipe, a device, or an empty file. Empty for a regular file with bytes in it or a path
// that does not exist (the loader's own message stands there).
std::string NotASoundReason(const std::string& path, const std::string& expected = "a sound file");
// True for a path that exists but is no regular file (a folder, a pipe, a device).
bool IsNotARegularFile(const std::string& path);
// True when the name ends in an extension of a sound file (".wav", ".flac", ...).
bool HasSoundExtension(const std::string& path);
// True when the file is a sound to load rather than a document: a RIFF/WAVE file, or one
// libsndfile reads.
bool LooksLikeSound(const std::string& path);

// The rate a source is converted to: its own rate when the loader takes it, else 44100 Hz for a
// faster source and 8000 Hz for a slower one; then the highest of 44100, 32000, 22050, 16000,
// 11025 and 8000 Hz at which the result holds at most kMaxImportSamples. `fits` is false when even
// 8000 Hz holds more (longer than 500 s).
struct RatePlan {
    std::int32_t rate = 0;
    std::int64_t samples = 0;
    bool fits = false;
};
RatePlan PlanImportRate(std::int32_t sourceRate, std::int64_t frames);
// Samples at `toRate` of `frames` frames at `fromRate`, rounded to the nearest.
std::int64_t ConvertedLength(std::int64_t frames, std::int32_t fromRate, std::int32_t toRate);
// True when the loader refuses this many 16-bit samples at `rate` as too short.
bool IsTooShortForLoader(std::int64_t samples, std::int32_t rate);

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

// A mono 16-bit PCM WAVE file of the samples, as bytes.
std::string MakeWaveBytes(const std::vector<std::int16_t>& samples, std::int32_t rate);
// Writes that file through a temporary beside `path`, renamed over it when complete: a failure
// leaves nothing behind. False on failure.
// `error`, when given, receives the reason of a failure as saves give it.
bool WriteWaveFile(const std::string& path, const std::vector<std::int16_t>& samples,
                   std::int32_t rate, std::string* error = nullptr);
// "Could not write file PATH", and the reason on a line of its own when there is one.
std::string CouldNotWriteMessage(const std::string& path, const std::string& reason);

// "<stem>-vokra.wav" beside the source ("/a/voice.flac" gives "/a/voice-vokra.wav").
std::string ConvertedCopyPath(const std::string& source);
// True for a refusal of the exact loader (its code) that conversion may cure: every one but a file
// that cannot be opened and a sound too short.
bool IsConvertibleRefusal(std::int32_t code);
// The refusal of a recording longer than any loadable rate holds: its length and the limit.
std::string TooLongForImport(const std::string& name, const SoundFileInfo& info);
// Seconds with as many decimals (1 to 6) as it takes for the text to differ from `other`
// ("500.000125" against 500, "2.1" against 5.4).
std::string SecondsApartFrom(double seconds, double other);
// What the loader works on, for messages.
std::string LoadableSoundSummary();
// The file patterns libsndfile reads, ";"-separated ("*.wav;*.aif;*.aiff;*.flac;...").
std::string ReadableSoundPatterns();

}  // namespace vokra

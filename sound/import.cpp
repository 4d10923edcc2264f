#include "sound/import.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "platform/atomic_file.h"

namespace vokra {
namespace {

// Floats read per block, whatever the channel count: the working set stays small and fixed.
constexpr std::size_t kBlockFloats = 1 << 16;

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Fixed(double value, int decimals) {
    char buf[64];
    auto [ptr, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

// 4000000 -> "4,000,000".
std::string Grouped(std::int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
    return value < 0 ? "-" + digits : digits;
}

std::string FormatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) {
        return info.name;
    }
    return "unknown";
}

std::string ContainerName(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
            return "WAV";
        case SF_FORMAT_RF64:
            return "RF64";
        case SF_FORMAT_W64:
            return "Wave64";
        case SF_FORMAT_AIFF:
            return "AIFF";
        case SF_FORMAT_FLAC:
            return "FLAC";
        case SF_FORMAT_OGG:
            return "Ogg";
        case SF_FORMAT_MPEG:
            return "MP3";
        case SF_FORMAT_CAF:
            return "CAF";
        case SF_FORMAT_AU:
            return "AU";
        default:
            return FormatName(format & SF_FORMAT_TYPEMASK);
    }
}

std::string EncodingName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return "8-bit PCM";
        case SF_FORMAT_PCM_16:
            return "16-bit PCM";
        case SF_FORMAT_PCM_24:
            return "24-bit PCM";
        case SF_FORMAT_PCM_32:
            return "32-bit PCM";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        case SF_FORMAT_DOUBLE:
            return "64-bit float";
        case SF_FORMAT_ULAW:
            return "u-law";
        case SF_FORMAT_ALAW:
            return "A-law";
        case SF_FORMAT_VORBIS:
            return "Vorbis";
        case SF_FORMAT_OPUS:
            return "Opus";
        case SF_FORMAT_MPEG_LAYER_III:
            return "MP3";
        default:
            return FormatName(format & SF_FORMAT_SUBMASK);
    }
}

bool FinerThan16Bits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_DWVW_24:
        case SF_FORMAT_DWVW_N:
        case SF_FORMAT_ALAC_20:
        case SF_FORMAT_ALAC_24:
        case SF_FORMAT_ALAC_32:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
        case SF_FORMAT_MPEG_LAYER_I:
        case SF_FORMAT_MPEG_LAYER_II:
        case SF_FORMAT_MPEG_LAYER_III:
            return true;
        default:
            return false;
    }
}

SoundFileInfo InfoOf(const SF_INFO& sf) {
    SoundFileInfo info;
    info.container = ContainerName(sf.format);
    info.encoding = EncodingName(sf.format);
    info.sampleRate = sf.samplerate;
    info.channels = sf.channels;
    info.frames = sf.frames;
    info.finerThan16Bits = FinerThan16Bits(sf.format);
    return info;
}

// Bytes in memory as a libsndfile virtual file.
struct MemoryFile {
    const unsigned char* data;
    sf_count_t size;
    sf_count_t position;
};

sf_count_t MemLength(void* user) {
    return static_cast<MemoryFile*>(user)->size;
}
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->size : 0;
    if (offset > 0 && base > INT64_MAX - offset) return -1;
    const sf_count_t target = base + offset;
    if (target < 0) return -1;
    m->position = target;
    return target;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    if (count <= 0 || m->position >= m->size) return 0;
    const sf_count_t n = std::min(count, m->size - m->position);
    std::memcpy(ptr, m->data + m->position, static_cast<std::size_t>(n));
    m->position += n;
    return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t MemTell(void* user) {
    return static_cast<MemoryFile*>(user)->position;
}

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndHandle = std::unique_ptr<SNDFILE, SndCloser>;

// Opens a regular file only: a FIFO or a device would block the open or never end.
SndHandle OpenPath(const std::string& path, SF_INFO& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    info = SF_INFO{};
    SNDFILE* f = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!f) ::close(fd);  // libsndfile leaves a descriptor it failed on to the caller
    return SndHandle(f);
}

// The frames a RIFF/WAVE header's data chunk promises (-1 when it promises nothing usable).
// libsndfile gives the length of what is in the file, so a WAV cut short is only seen here.
std::int64_t PromisedWaveFrames(const unsigned char* head, std::size_t size) {
    const auto le32 = [head](std::size_t at) {
        return static_cast<std::uint32_t>(head[at]) |
               static_cast<std::uint32_t>(head[at + 1]) << 8 |
               static_cast<std::uint32_t>(head[at + 2]) << 16 |
               static_cast<std::uint32_t>(head[at + 3]) << 24;
    };
    if (size < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        return -1;
    }
    std::uint32_t blockAlign = 0;
    std::size_t at = 12;
    while (at + 8 <= size) {
        const std::uint32_t chunk = le32(at + 4);
        if (std::memcmp(head + at, "fmt ", 4) == 0 && at + 8 + 14 <= size) {
            blockAlign = static_cast<std::uint32_t>(head[at + 8 + 12]) |
                         static_cast<std::uint32_t>(head[at + 8 + 13]) << 8;
        } else if (std::memcmp(head + at, "data", 4) == 0) {
            // A streamed WAV leaves the size 0 or all ones: no promise.
            if (blockAlign == 0 || chunk == 0 || chunk == 0xFFFFFFFFu) return -1;
            return chunk / blockAlign;
        }
        at += 8 + static_cast<std::size_t>(chunk) + (chunk & 1);
    }
    return -1;
}

std::int64_t PromisedWaveFrames(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    unsigned char head[4096];
    struct stat st {};
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return n > 0 ? PromisedWaveFrames(head, static_cast<std::size_t>(n)) : -1;
}

// A little past the longest recording Vokra converts (kMaxImportSamples at 8000 Hz), in frames
// at the source's rate: decoding to learn a length stops there.
sf_count_t CountLimit(int sourceRate) {
    return static_cast<sf_count_t>(kMaxImportSamples) * sourceRate / 8000 + 1;
}

// Decodes from where the file stands, counting frames, until its end or `limit`. `keepGoing`
// (when given) is asked after every block, so a long count can be cancelled.
sf_count_t CountFrames(SNDFILE* file, int channels, sf_count_t limit,
                       const std::function<bool()>& keepGoing = {}) {
    const sf_count_t blockFrames =
        static_cast<sf_count_t>(std::max<std::size_t>(1, kBlockFloats / channels));
    std::vector<float> block(static_cast<std::size_t>(blockFrames) * channels);
    sf_count_t n = 0;
    while (n < limit) {
        const sf_count_t got = sf_readf_float(file, block.data(), blockFrames);
        if (got <= 0) break;
        n += got;
        if (keepGoing && !keepGoing()) return -1;
    }
    return std::min(n, limit);
}

bool LengthUnknown(const SF_INFO& sf) {
    return sf.frames == SF_COUNT_MAX;
}

// Rates no recording has are refused before a resampler is built for them: its tables grow with
// the ratio of the rates.
constexpr int kLowestSourceRate = 1000;
constexpr int kHighestSourceRate = 768000;
constexpr int kMostChannels = 1024;

bool Usable(const SF_INFO& info) {
    return info.samplerate >= kLowestSourceRate && info.samplerate <= kHighestSourceRate &&
           info.channels > 0 && info.channels <= kMostChannels && info.frames >= 0;
}

// TPDF dither from a small fixed-seed generator, so that the same file always converts to the
// same bytes.
class Dither {
public:
    float Next() {
        return (Uniform() + Uniform()) - 1.0f;  // triangular over (-1, 1) LSB
    }

private:
    float Uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ >> 8) * (1.0f / 16777216.0f);
    }
    std::uint32_t state_ = 0x9E3779B9u;
};

struct SoxrDeleter {
    void operator()(soxr_t s) const { soxr_delete(s); }
};
using SoxrHandle = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

class Converter {
public:
    Converter(SNDFILE* file, const SF_INFO& sf, const ImportOptions& options, std::string name,
              std::int64_t promisedFrames)
        : file_(file),
          sf_(sf),
          options_(options),
          name_(std::move(name)),
          promisedFrames_(promisedFrames) {}

    ImportResult Run() {
        ImportResult r;
        r.info = InfoOf(sf_);
        if (!Usable(sf_)) return Status(r, ImportStatus::Unreadable);
        if (options_.channel < 0 || options_.channel > sf_.channels) {
            r.status = ImportStatus::BadOption;
            r.message = name_ + " has " + Channels(sf_.channels) + "; there is no channel " +
                        std::to_string(options_.channel) + ".";
            return r;
        }
        if (LengthUnknown(sf_)) {
            // Nothing says how long it is: decode it once to learn, then start again.
            const sf_count_t limit = CountLimit(sf_.samplerate);
            const sf_count_t counted = CountFrames(file_, sf_.channels, limit, [this] {
                return !options_.progress || options_.progress(0.0);
            });
            if (counted < 0) return Status(r, ImportStatus::Cancelled);
            sf_.frames = counted;
            r.info.frames = counted;
            r.info.lengthFromDecoding = true;
            r.info.longerThanFrames = counted >= limit;
            if (r.info.longerThanFrames) {
                r.status = ImportStatus::TooLong;
                r.message = TooLongForImport(name_, r.info);
                return r;
            }
            if (sf_seek(file_, 0, SEEK_SET) != 0) {
                r.status = ImportStatus::Failed;
                r.message = "Could not read " + name_ + " a second time after learning its length.";
                return r;
            }
        } else if (promisedFrames_ > sf_.frames) {
            r.info.frames = promisedFrames_;  // the header's word, for the notice at the end
        }
        if (sf_.frames == 0) return Status(r, ImportStatus::TooShort);

        RatePlan plan;
        if (options_.rate != 0) {
            if (options_.rate < kMinLoadableRate || options_.rate > kMaxLoadableRate) {
                r.status = ImportStatus::BadOption;
                r.message = "the rate must be from 4000 to 44100 Hz (got " +
                            std::to_string(options_.rate) + ")";
                return r;
            }
            plan.rate = options_.rate;
            plan.samples = ConvertedLength(sf_.frames, sf_.samplerate, plan.rate);
            plan.fits = plan.samples <= kMaxImportSamples;
        } else {
            plan = PlanImportRate(sf_.samplerate, sf_.frames);
        }
        if (!plan.fits) {
            r.status = ImportStatus::TooLong;
            r.message = TooLongMessage(r.info, plan, options_.rate != 0);
            return r;
        }
        if (IsTooShortForLoader(plan.samples, plan.rate)) return Status(r, ImportStatus::TooShort);
        r.rate = plan.rate;

        if (plan.rate != sf_.samplerate) {
            soxr_error_t error = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            resampler_.reset(
                soxr_create(sf_.samplerate, plan.rate, 1, &error, &io, &quality, nullptr));
            if (!resampler_ || error) {
                r.status = ImportStatus::Failed;
                r.message = "Could not resample " + name_ + ".";
                return r;
            }
        }
        // A little room for the resampler's rounding; the length is settled at the end.
        limit_ = static_cast<std::size_t>(plan.samples) + 64;
        out_.reserve(limit_);
        dither_ = r.info.finerThan16Bits;

        const std::size_t channels = static_cast<std::size_t>(sf_.channels);
        const sf_count_t blockFrames =
            static_cast<sf_count_t>(std::max<std::size_t>(1, kBlockFloats / channels));
        std::vector<float> block(static_cast<std::size_t>(blockFrames) * channels);
        std::vector<float> mono(static_cast<std::size_t>(blockFrames));
        std::vector<float> resampled;
        if (resampler_) {
            // Fixed, whatever the ratio: Resample drains the resampler in as many rounds as needed.
            resampled.resize(kBlockFloats);
        }

        sf_count_t done = 0;
        while (done < sf_.frames) {
            const sf_count_t want = std::min(blockFrames, sf_.frames - done);
            const sf_count_t got = sf_readf_float(file_, block.data(), want);
            if (got <= 0) break;  // a truncated file ends early; what was read is kept
            done += got;
            MixDown(block.data(), static_cast<std::size_t>(got), mono.data());
            if (resampler_) {
                if (!Resample(mono.data(), static_cast<std::size_t>(got), resampled)) {
                    return Fail(r);
                }
            } else {
                Emit(mono.data(), static_cast<std::size_t>(got));
            }
            if (options_.progress &&
                !options_.progress(static_cast<double>(done) / static_cast<double>(sf_.frames))) {
                return Status(r, ImportStatus::Cancelled);
            }
        }
        if (resampler_ && !Resample(nullptr, 0, resampled)) return Fail(r);

        const std::int64_t length = ConvertedLength(done, sf_.samplerate, plan.rate);
        if (length <= 0 || IsTooShortForLoader(length, plan.rate)) {
            return Status(r, ImportStatus::TooShort);
        }
        out_.resize(static_cast<std::size_t>(std::min<std::int64_t>(length, plan.samples)), 0);
        r.info.readableFrames = done;
        r.samples = std::move(out_);
        r.status = ImportStatus::Ok;
        return r;
    }

private:
    static ImportResult Status(ImportResult& r, ImportStatus status) {
        r.status = status;
        r.samples.clear();
        return std::move(r);
    }

    ImportResult Fail(ImportResult& r) {
        r.status = ImportStatus::Failed;
        r.message = "Could not resample " + name_ + ".";
        return std::move(r);
    }

    static std::string Channels(int n) {
        return std::to_string(n) + (n == 1 ? " channel" : " channels");
    }

    std::string TooLongMessage(const SoundFileInfo& info, const RatePlan& plan, bool chosen) {
        const double limitSeconds = static_cast<double>(kMaxImportSamples) / plan.rate;
        if (chosen) {
            return name_ + " is " + Fixed(info.Seconds(), 1) + " s long: at " +
                   std::to_string(plan.rate) + " Hz it would hold " + Grouped(plan.samples) +
                   " samples, and Vokra works on at most " + Grouped(kMaxImportSamples) + " (" +
                   Fixed(limitSeconds, 1) + " s at that rate).";
        }
        return TooLongForImport(name_, info);
    }

    void MixDown(const float* in, std::size_t frames, float* out) const {
        const std::size_t channels = static_cast<std::size_t>(sf_.channels);
        if (channels == 1) {
            std::memcpy(out, in, frames * sizeof(float));
        } else if (options_.channel > 0) {
            const std::size_t c = static_cast<std::size_t>(options_.channel - 1);
            for (std::size_t i = 0; i < frames; ++i) out[i] = in[i * channels + c];
        } else {
            const float scale = 1.0f / static_cast<float>(channels);
            for (std::size_t i = 0; i < frames; ++i) {
                const float* frame = in + i * channels;
                float sum = 0.0f;
                for (std::size_t c = 0; c < channels; ++c) sum += frame[c];
                out[i] = sum * scale;
            }
        }
    }

    // Feeds a block to the resampler (null: flush) and emits what comes out.
    bool Resample(const float* in, std::size_t count, std::vector<float>& buffer) {
        std::size_t used = 0;
        for (;;) {
            std::size_t consumed = 0;
            std::size_t produced = 0;
            const soxr_error_t error =
                soxr_process(resampler_.get(), in ? in + used : nullptr, in ? count - used : 0,
                             &consumed, buffer.data(), buffer.size(), &produced);
            if (error) return false;
            used += consumed;
            Emit(buffer.data(), produced);
            if (in ? used >= count : produced == 0) return true;
            // Output beyond the planned length is dropped by Emit; nothing more is worth making.
            if (out_.size() >= limit_) return true;
            if (in && consumed == 0 && produced == 0) return true;
        }
    }

    void Emit(const float* in, std::size_t count) {
        count = std::min(count, limit_ - out_.size());
        for (std::size_t i = 0; i < count; ++i) {
            float v = in[i] * 32768.0f;
            if (dither_) v += ditherSource_.Next();
            v = std::nearbyint(v);
            // NaN from a hostile float file becomes silence.
            if (!(v > -32768.0f)) v = v < 0.0f ? -32768.0f : 0.0f;
            if (v > 32767.0f) v = 32767.0f;
            out_.push_back(static_cast<std::int16_t>(v));
        }
    }

    SNDFILE* file_;
    SF_INFO sf_;
    const ImportOptions& options_;
    std::string name_;
    std::int64_t promisedFrames_;
    SoxrHandle resampler_;
    std::vector<std::int16_t> out_;
    std::size_t limit_ = 0;
    bool dither_ = false;
    Dither ditherSource_;
};

}  // namespace

double SoundFileInfo::Seconds() const {
    return sampleRate > 0 ? static_cast<double>(frames) / sampleRate : 0.0;
}

std::string SoundFileInfo::Describe() const {
    std::string what = encoding;
    if (container != "WAV" && container != encoding) what = container + " " + encoding;
    return std::to_string(sampleRate) + " Hz, " + std::to_string(channels) +
           (channels == 1 ? " channel, " : " channels, ") + what + ", " +
           (longerThanFrames
                ? std::string("more than 500")
                : SecondsApartFrom(Seconds(), static_cast<double>(kMaxImportSamples) / 8000)) +
           " s";
}

namespace {

// The header alone: cheap, for telling a sound from a document.
bool ProbeHeader(const std::string& path, SF_INFO& sf, SndHandle& file) {
    file = OpenPath(path, sf);
    return file && Usable(sf);
}

}  // namespace

bool ProbeSound(const std::string& path, SoundFileInfo& info) {
    SF_INFO sf{};
    SndHandle file;
    if (!ProbeHeader(path, sf, file)) return false;
    info = InfoOf(sf);
    if (LengthUnknown(sf)) {
        const sf_count_t limit = CountLimit(sf.samplerate);
        info.frames = CountFrames(file.get(), sf.channels, limit);
        info.lengthFromDecoding = true;
        info.longerThanFrames = info.frames >= limit;
        if (!info.longerThanFrames) info.readableFrames = info.frames;
    } else if (info.container == "WAV") {
        const std::int64_t promised = PromisedWaveFrames(path);
        if (promised > info.frames) info.frames = promised;
    }
    return true;
}

bool MeasureSound(const std::string& path, SoundFileInfo& info) {
    if (!ProbeSound(path, info)) return false;
    if (info.lengthFromDecoding) return true;
    SF_INFO sf{};
    SndHandle file = OpenPath(path, sf);
    if (!file) return true;
    const sf_count_t limit = CountLimit(sf.samplerate);
    const sf_count_t counted = CountFrames(file.get(), sf.channels, limit);
    if (counted < limit) info.readableFrames = counted;
    return true;
}

std::string EndsEarlyNotice(const std::string& name, const SoundFileInfo& info) {
    if (!info.EndsEarly() || info.sampleRate <= 0) return {};
    const double readable = static_cast<double>(info.readableFrames) / info.sampleRate;
    return name + " ends after " + SecondsApartFrom(readable, info.Seconds()) + " s of the " +
           SecondsApartFrom(info.Seconds(), readable) + " s its header promises.";
}

std::string NotASoundReason(const std::string& path, const std::string& expected) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const std::string name = NameOf(path);
    const std::string tail = ", not " + expected + ".";
    if (S_ISDIR(st.st_mode)) return name + " is a folder" + tail;
    if (S_ISFIFO(st.st_mode)) return name + " is a named pipe" + tail;
    if (S_ISSOCK(st.st_mode)) return name + " is a socket" + tail;
    if (!S_ISREG(st.st_mode)) return name + " is a device" + tail;
    if (st.st_size == 0) return name + " is empty: it holds no sound.";
    return {};
}

bool IsNotARegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool HasSoundExtension(const std::string& path) {
    const std::string name = NameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string patterns = ReadableSoundPatterns() + ";";
    return patterns.find("*." + extension + ";") != std::string::npos;
}

bool LooksLikeSound(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    unsigned char head[12] = {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // An empty file named as a sound is a sound that holds nothing, not an empty document.
    const bool emptySound = regular && st.st_size == 0 && HasSoundExtension(path);
    const bool riffWave = regular && ::pread(fd, head, sizeof head, 0) == sizeof head &&
                          std::memcmp(head, "RIFF", 4) == 0 &&
                          std::memcmp(head + 8, "WAVE", 4) == 0;
    ::close(fd);
    if (!regular) return false;
    SF_INFO sf{};
    SndHandle file;
    return riffWave || emptySound || ProbeHeader(path, sf, file);
}

std::int64_t ConvertedLength(std::int64_t frames, std::int32_t fromRate, std::int32_t toRate) {
    if (fromRate <= 0 || frames <= 0) return 0;
    if (fromRate == toRate) return frames;
    return std::llround(static_cast<double>(frames) * toRate / fromRate);
}

bool IsTooShortForLoader(std::int64_t samples, std::int32_t rate) {
    // The loader's test on the data chunk of a 16-bit file: bytes < rate * 2 / 4.
    return samples * 2 < static_cast<std::int64_t>(rate) * 2 / 4;
}

RatePlan PlanImportRate(std::int32_t sourceRate, std::int64_t frames) {
    RatePlan plan;
    if (sourceRate <= 0 || frames < 0) return plan;
    plan.rate = sourceRate > kMaxLoadableRate   ? kMaxLoadableRate
                : sourceRate < kMinLoadableRate ? 8000
                                                : sourceRate;
    plan.samples = ConvertedLength(frames, sourceRate, plan.rate);
    if (plan.samples <= kMaxImportSamples) {
        plan.fits = true;
        return plan;
    }
    for (const std::int32_t rate : {44100, 32000, 22050, 16000, 11025, 8000}) {
        if (rate >= plan.rate) continue;  // only ever lower than the first choice
        const std::int64_t samples = ConvertedLength(frames, sourceRate, rate);
        plan.rate = rate;
        plan.samples = samples;
        if (samples <= kMaxImportSamples) {
            plan.fits = true;
            return plan;
        }
    }
    return plan;
}

ImportResult ImportSound(const std::string& path, const ImportOptions& options,
                         const std::string& name) {
    SF_INFO sf{};
    SndHandle file = OpenPath(path, sf);
    if (!file) {
        ImportResult r;
        r.status = ImportStatus::Unreadable;
        return r;
    }
    return Converter(file.get(), sf, options, name.empty() ? NameOf(path) : name,
                     PromisedWaveFrames(path))
        .Run();
}

ImportResult ImportSoundBytes(const void* data, std::size_t size, const ImportOptions& options,
                              const std::string& name) {
    MemoryFile memory{static_cast<const unsigned char*>(data), static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    SF_INFO sf{};
    SndHandle file(sf_open_virtual(&io, SFM_READ, &sf, &memory));
    if (!file) {
        ImportResult r;
        r.status = ImportStatus::Unreadable;
        return r;
    }
    return Converter(file.get(), sf, options, name,
                     PromisedWaveFrames(static_cast<const unsigned char*>(data),
                                        std::min<std::size_t>(size, 4096)))
        .Run();
}

std::string MakeWaveBytes(const std::vector<std::int16_t>& samples, std::int32_t rate) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    auto le32 = [](std::string& s, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
    };
    auto le16 = [](std::string& s, std::uint16_t v) {
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>(v >> 8));
    };
    std::string bytes;
    bytes.reserve(44 + dataBytes);
    bytes += "RIFF";
    le32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    le32(bytes, 16);
    le16(bytes, 1);  // PCM
    le16(bytes, 1);  // mono
    le32(bytes, static_cast<std::uint32_t>(rate));
    le32(bytes, static_cast<std::uint32_t>(rate) * 2);
    le16(bytes, 2);
    le16(bytes, 16);
    bytes += "data";
    le32(bytes, dataBytes);
    for (const std::int16_t s : samples) le16(bytes, static_cast<std::uint16_t>(s));
    return bytes;
}

bool WriteWaveFile(const std::string& path, const std::vector<std::int16_t>& samples,
                   std::int32_t rate, std::string* error) {
    return WriteFileAtomically(path, MakeWaveBytes(samples, rate), error);
}

std::string CouldNotWriteMessage(const std::string& path, const std::string& reason) {
    return reason.empty() ? "Could not write file " + path
                          : "Could not write file " + path + "\n" + reason;
}

std::string ConvertedCopyPath(const std::string& source) {
    const auto slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = source.rfind('.');
    // A leading dot names a hidden file, not an extension.
    const std::size_t stemEnd = dot != std::string::npos && dot > nameStart ? dot : source.size();
    return source.substr(0, stemEnd) + "-vokra.wav";
}

std::string SecondsApartFrom(double seconds, double other) {
    std::string text;
    for (int decimals = 1; decimals <= 6; ++decimals) {
        text = Fixed(seconds, decimals);
        double shown = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), shown);
        if ((seconds > other) == (shown > other) && (seconds < other) == (shown < other)) break;
    }
    return text;
}

std::string TooLongForImport(const std::string& name, const SoundFileInfo& info) {
    const double limit = static_cast<double>(kMaxImportSamples) / 8000;
    const std::string length = info.longerThanFrames
                                   ? "longer than " + Fixed(limit, 0) + " s"
                                   : SecondsApartFrom(info.Seconds(), limit) + " s long";
    return name + " is " + length + "; Vokra works on sounds of at most " +
           Grouped(kMaxImportSamples) + " samples, which is 500 s at 8000 Hz, the lowest rate it " +
           "converts to.";
}

bool IsConvertibleRefusal(std::int32_t code) {
    return code != 0 && code != 1 && code != 8;
}

std::string LoadableSoundSummary() {
    return "Vokra works on mono 8- or 16-bit PCM WAVE files of 4000 to 44100 Hz holding at most "
           "4,000,000 samples.";
}

std::string ReadableSoundPatterns() {
    std::set<std::string> extensions{"wav", "aif", "aiff", "flac", "ogg", "oga", "opus", "mp3"};
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count && i < 256; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        // Raw files have no header to say what they hold.
        if (!info.extension || (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) continue;
        extensions.insert(info.extension);
    }
    std::string patterns = "*.wav";
    for (const std::string& e : extensions) {
        if (e != "wav") patterns += ";*." + e;
    }
    return patterns;
}

}  // namespace vokra

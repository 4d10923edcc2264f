#include "sound/import/sound_length.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/import/rate_rule.h"
#include "sound/import/sndfile_access.h"

namespace vokra {
namespace import_detail {

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

sf_count_t CountLimit(int sourceRate) {
    return static_cast<sf_count_t>(kMaxImportSamples) * sourceRate / 8000 + 1;
}

sf_count_t CountFrames(SNDFILE* file, int channels, sf_count_t limit,
                       const std::function<bool()>& keepGoing) {
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

}  // namespace import_detail

using namespace import_detail;

double SoundFileInfo::Seconds() const {
    return sampleRate > 0 ? static_cast<double>(frames) / sampleRate : 0.0;
}

bool ProbeSound(const std::string& path, SoundFileInfo& info) {
    SF_INFO sf{};
    SndHandle file = OpenPath(path, sf);
    if (!file || !Usable(sf)) return false;
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

}  // namespace vokra

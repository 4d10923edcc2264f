#include "sound/import/sndfile_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vokra::import_detail {
namespace {

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

// Rates no recording has are refused before a resampler is built for them: its tables grow with
// the ratio of the rates.
constexpr int kLowestSourceRate = 1000;
constexpr int kHighestSourceRate = 768000;
constexpr int kMostChannels = 1024;

}  // namespace

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

SndHandle OpenMemory(MemoryFile& memory, SF_INFO& info) {
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    return SndHandle(sf_open_virtual(&io, SFM_READ, &info, &memory));
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

bool Usable(const SF_INFO& info) {
    return info.samplerate >= kLowestSourceRate && info.samplerate <= kHighestSourceRate &&
           info.channels > 0 && info.channels <= kMostChannels && info.frames >= 0;
}

bool LengthUnknown(const SF_INFO& sf) {
    return sf.frames == SF_COUNT_MAX;
}

}  // namespace vokra::import_detail

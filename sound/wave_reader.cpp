#include "sound/wave_reader.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/riff_reader.h"
#include "sound/widen.h"

namespace vokra {
namespace {

// 16-bit samples are read straight into the buffer as they lie in the file.
static_assert(std::endian::native == std::endian::little);

SampleAllocator g_allocator = nullptr;

constexpr std::uint32_t kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr std::uint32_t kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr std::uint32_t kData = MakeFourCC('d', 'a', 't', 'a');

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

WaveReadResult Fail(std::int32_t code, const char* message) {
    WaveReadResult r;
    r.code = code;
    r.message = message;
    return r;
}

}  // namespace

void SetSampleAllocator(SampleAllocator allocator) {
    g_allocator = allocator;
}

WaveReadResult ReadWave(RiffReader& reader) {
    RiffChunk riff;
    if (!reader.DescendRiff(riff, kWave)) return Fail(2, "This is not an audio waveform file.");

    RiffChunk fmt;
    if (!reader.DescendChunk(fmt, kFmt, riff)) return Fail(3, "Cannot find FMT chunk");
    if (fmt.cksize > 18) return Fail(4, "FMT chunk is too big.");
    if (fmt.cksize < 16) return Fail(4, "FMT chunk is too small.");

    // The 18-byte format record with its extra-size field cleared first, so a 16-byte chunk leaves
    // it zero.
    unsigned char format[18] = {};
    if (reader.Read(format, fmt.cksize) != static_cast<std::int64_t>(fmt.cksize)) {
        return Fail(5, "Failed reading FMT chunk.");
    }
    const std::uint16_t formatTag = Le16(format + 0);
    const std::uint16_t channels = Le16(format + 2);
    const std::uint32_t rate = Le32(format + 4);
    const std::uint16_t blockAlign = Le16(format + 12);
    const std::uint16_t bits = Le16(format + 14);
    const std::uint32_t bytesPerSample = bits == 8 ? 1u : bits == 16 ? 2u : 0u;
    const bool supported = formatTag == 1 && channels == 1 && rate >= 4000 && rate <= 44100 &&
                           bytesPerSample != 0 && blockAlign == bytesPerSample;
    if (!supported) return Fail(6, "Wavefile format is not supported by this program.");

    RiffChunk data;
    if (!reader.Ascend(fmt) || !reader.DescendChunk(data, kData, riff)) {
        return Fail(7, "Cannot find data chunk");
    }

    const std::int64_t dataBytes = data.cksize;
    std::int64_t bufferBytes = bytesPerSample == 2 ? dataBytes : 2 * dataBytes;
    if (bufferBytes & 1) ++bufferBytes;
    if (dataBytes < static_cast<std::int64_t>(rate * bytesPerSample / 4)) {
        return Fail(8, "sound data is too short.");
    }
    if (bufferBytes > kMaxSoundBytes) return Fail(9, "sound data is too big.");
    // A data chunk running past the end of the file can only give a short read; finding that out
    // before allocating keeps a lying size from costing memory the file does not justify.
    if (static_cast<std::uint64_t>(dataBytes) > reader.Remaining()) {
        return Fail(11, "Failed reading the sound data.");
    }

    void* raw = g_allocator ? g_allocator(static_cast<std::size_t>(bufferBytes))
                            : std::malloc(static_cast<std::size_t>(bufferBytes));
    if (!raw) return Fail(10, "Failed getting buffer for sound data");
    auto* samples = static_cast<std::int16_t*>(raw);
    // All of it in one read, to the start of the buffer; 8-bit data is widened where it lies.
    if (reader.Read(samples, dataBytes) != dataBytes) {
        std::free(raw);
        return Fail(11, "Failed reading the sound data.");
    }

    WaveReadResult r;
    r.samples = samples;
    r.sampleRate = static_cast<std::int32_t>(rate);
    r.sampleCount = static_cast<std::int32_t>(dataBytes / bytesPerSample);
    if (bytesPerSample == 1) WidenInPlace(samples, dataBytes);
    return r;
}

}  // namespace vokra

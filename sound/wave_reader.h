#pragma once
// WaveReader turns a RIFF/WAVE file into mono signed 16-bit samples, with every acceptance check
// and its message, without showing anything: SoundData::Load reports the outcome, the fuzzer and
// the command-line tool call it directly.
#include <cstddef>
#include <cstdint>

namespace vokra {

class RiffReader;

// The largest sample buffer accepted, in bytes once widened to 16 bits.
constexpr std::int64_t kMaxSoundBytes = 8'000'000;

struct WaveReadResult {
    std::int32_t code = 0;            // 0 on success, else 2..11 (1 is the caller's: open failed)
    const char* message = nullptr;    // the text to show when code != 0
    std::int16_t* samples = nullptr;  // from malloc, owned by the caller on success; else null
    std::int32_t sampleCount = 0;
    std::int32_t sampleRate = 0;
};

// Reads the sound from an open reader positioned at the start of the file.
WaveReadResult ReadWave(RiffReader& reader);

// The sample buffer comes from this function (std::malloc by default; null restores it). Tests use
// it to make the allocation fail. Whatever it returns is released with std::free.
using SampleAllocator = void* (*)(std::size_t bytes);
void SetSampleAllocator(SampleAllocator allocator);

}  // namespace vokra

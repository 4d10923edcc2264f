#pragma once
// Builds RIFF/WAVE files in memory for tests, benchmarks and fuzz seeds, including broken ones.
#include <cstdint>
#include <string>
#include <vector>

namespace vokra::test {

struct WavFormat {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 44100;
    std::uint16_t bitsPerSample = 16;
    std::int32_t blockAlign = -1;  // -1: channels * bytes per sample
    std::int32_t fmtSize = 16;     // 16, 18 (with extra size 0), or other sizes padded with zeros
};

class WavBuilder {
public:
    // Appends a chunk with an id, a declared size and the bytes (pad byte added when `pad`).
    WavBuilder& Chunk(const std::string& id, const std::string& body, bool pad = true);
    WavBuilder& ChunkDeclared(const std::string& id, std::uint32_t declaredSize,
                              const std::string& body);
    WavBuilder& Fmt(const WavFormat& format);
    WavBuilder& Data16(const std::vector<std::int16_t>& samples);
    WavBuilder& Data8(const std::vector<std::uint8_t>& samples);
    WavBuilder& Raw(const std::string& bytes);
    // The whole file: "RIFF", size (declared or computed), form type, chunks.
    std::string Build(const std::string& formType = "WAVE") const;
    std::string BuildDeclared(std::uint32_t riffSize, const std::string& formType = "WAVE") const;

private:
    std::string body_;
};

std::string Le16(std::uint16_t v);
std::string Le32(std::uint32_t v);

// A plain mono PCM file with the given samples.
std::string MakeWav16(const std::vector<std::int16_t>& samples, std::uint32_t rate = 44100);
std::string MakeWav8(const std::vector<std::uint8_t>& samples, std::uint32_t rate = 8000);

// A voice-like test signal: bursts of a tone with silences, `seconds` long.
std::vector<std::int16_t> VoiceLike(double seconds, std::uint32_t rate = 22050);

// Small files that each take the loader down one path (accepted, every refusal, lying and huge
// sizes, odd chunks): the fuzzer's seeds and a fixed corpus for the tests.
struct NamedBytes {
    std::string name;
    std::string bytes;
};
std::vector<NamedBytes> WaveSeeds();

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace vokra::test

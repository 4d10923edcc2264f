#include "tests/support/wav_builder.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vokra::test {

std::string Le16(std::uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string Le32(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

WavBuilder& WavBuilder::Chunk(const std::string& id, const std::string& body, bool pad) {
    body_ += id.substr(0, 4) + Le32(static_cast<std::uint32_t>(body.size())) + body;
    if (pad && (body.size() & 1)) body_.push_back('\0');
    return *this;
}

WavBuilder& WavBuilder::ChunkDeclared(const std::string& id, std::uint32_t declaredSize,
                                      const std::string& body) {
    body_ += id.substr(0, 4) + Le32(declaredSize) + body;
    return *this;
}

WavBuilder& WavBuilder::Fmt(const WavFormat& f) {
    const int bytes = (f.bitsPerSample + 7) / 8;
    const std::uint16_t align = f.blockAlign >= 0 ? static_cast<std::uint16_t>(f.blockAlign)
                                                  : static_cast<std::uint16_t>(f.channels * bytes);
    std::string b = Le16(f.formatTag) + Le16(f.channels) + Le32(f.sampleRate) +
                    Le32(f.sampleRate * align) + Le16(align) + Le16(f.bitsPerSample);
    if (f.fmtSize >= 18) b += Le16(0);
    while (static_cast<std::int32_t>(b.size()) < f.fmtSize) b.push_back('\0');
    b.resize(static_cast<std::size_t>(f.fmtSize));
    return Chunk("fmt ", b);
}

WavBuilder& WavBuilder::Data16(const std::vector<std::int16_t>& samples) {
    std::string b;
    b.reserve(samples.size() * 2);
    for (std::int16_t s : samples) b += Le16(static_cast<std::uint16_t>(s));
    return Chunk("data", b);
}

WavBuilder& WavBuilder::Data8(const std::vector<std::uint8_t>& samples) {
    return Chunk("data", std::string(samples.begin(), samples.end()));
}

WavBuilder& WavBuilder::Raw(const std::string& bytes) {
    body_ += bytes;
    return *this;
}

std::string WavBuilder::Build(const std::string& formType) const {
    return BuildDeclared(static_cast<std::uint32_t>(body_.size() + 4), formType);
}

std::string WavBuilder::BuildDeclared(std::uint32_t riffSize, const std::string& formType) const {
    return "RIFF" + Le32(riffSize) + formType.substr(0, 4) + body_;
}

std::string MakeWav16(const std::vector<std::int16_t>& samples, std::uint32_t rate) {
    WavFormat f;
    f.sampleRate = rate;
    return WavBuilder().Fmt(f).Data16(samples).Build();
}

std::string MakeWav8(const std::vector<std::uint8_t>& samples, std::uint32_t rate) {
    WavFormat f;
    f.sampleRate = rate;
    f.bitsPerSample = 8;
    return WavBuilder().Fmt(f).Data8(samples).Build();
}

std::vector<std::int16_t> VoiceLike(double seconds, std::uint32_t rate) {
    const auto n = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Syllables of about 0.2 s with pauses, loudness rising and falling within each.
        const double syl = std::fmod(t, 0.35);
        double env = syl < 0.22 ? std::sin(3.14159265358979 * syl / 0.22) : 0.0;
        env *= 0.4 + 0.6 * std::fabs(std::sin(t * 1.3));
        const double v = env * (0.6 * std::sin(2 * 3.14159265358979 * 180 * t) +
                                0.3 * std::sin(2 * 3.14159265358979 * 360 * t));
        s[i] = static_cast<std::int16_t>(std::lround(v * 30000.0));
    }
    return s;
}

std::vector<NamedBytes> WaveSeeds() {
    std::vector<std::int16_t> ramp(1100);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i * 59 - 32000);
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const std::string pcm16(2000, '\x11');
    auto fmt = [](auto change) {
        WavFormat f;
        f.sampleRate = 4000;
        change(f);
        return f;
    };
    const WavFormat mono16 = fmt([](WavFormat&) {});
    std::string tiny;
    for (int i = 0; i < 200; ++i) tiny += "junk" + Le32(i & 1) + std::string((i & 1) * 2, '\0');

    std::vector<NamedBytes> seeds = {
        {"ok16", MakeWav16(ramp, 4000)},
        {"ok8", MakeWav8(bytes, 4000)},
        {"odd16", WavBuilder().Fmt(mono16).Chunk("data", pcm16 + "\x22").Build()},
        {"fmt18",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.fmtSize = 18; })).Chunk("data", pcm16).Build()},
        {"fmt17pad",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.fmtSize = 17; })).Chunk("data", pcm16).Build()},
        {"fmt17nopad",
         WavBuilder()
             .Chunk("fmt ", std::string(MakeWav16({}, 4000).substr(20, 16)) + "x", false)
             .Chunk("data", pcm16)
             .Build()},
        {"fmt40",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.fmtSize = 40; })).Chunk("data", pcm16).Build()},
        {"fmt14",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.fmtSize = 14; })).Chunk("data", pcm16).Build()},
        {"list", WavBuilder()
                     .Fmt(mono16)
                     .Chunk("LIST", "INFOISFT\x03\0\0\0ab\0")
                     .Chunk("data", pcm16)
                     .Build()},
        {"databeforefmt", WavBuilder().Chunk("data", pcm16).Fmt(mono16).Build()},
        {"fmtcut", WavBuilder().ChunkDeclared("fmt ", 16, "\x01").BuildDeclared(40)},
        {"nofmt", WavBuilder().Chunk("data", pcm16).Build()},
        {"notriff", "RIFX" + MakeWav16(ramp, 4000).substr(4)},
        {"otherform", WavBuilder().Fmt(mono16).Build("AVI ") + MakeWav16(ramp, 4000)},
        {"stereo",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.channels = 2; })).Chunk("data", pcm16).Build()},
        {"bits24", WavBuilder()
                       .Fmt(fmt([](WavFormat& f) { f.bitsPerSample = 24; }))
                       .Chunk("data", pcm16)
                       .Build()},
        {"float",
         WavBuilder().Fmt(fmt([](WavFormat& f) { f.formatTag = 3; })).Chunk("data", pcm16).Build()},
        {"short", WavBuilder().Fmt(mono16).Chunk("data", pcm16.substr(0, 1999)).Build()},
        {"truncated", MakeWav16(ramp, 4000).substr(0, 1500)},
        {"riffsmall", WavBuilder().Fmt(mono16).Chunk("data", pcm16).BuildDeclared(30)},
        {"riffhuge", WavBuilder().Fmt(mono16).Chunk("data", pcm16).BuildDeclared(0xFFFFFFF0u)},
        {"data4g", WavBuilder()
                       .Fmt(mono16)
                       .ChunkDeclared("data", 0xFFFFFF00u, pcm16)
                       .BuildDeclared(0xFFFFFFFFu)},
        {"tinychunks", WavBuilder().Fmt(mono16).Raw(tiny).Chunk("data", pcm16).Build()},
    };
    return seeds;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vokra::test

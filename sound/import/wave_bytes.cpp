#include "sound/import/wave_bytes.h"

#include "platform/atomic_file.h"

namespace vokra {

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

}  // namespace vokra

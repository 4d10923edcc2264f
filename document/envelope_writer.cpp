#include "document/envelope_writer.h"

#include <charconv>
#include <string>

namespace vokra {
namespace {

void AppendInt(std::string& out, std::int32_t v) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// "%.3f" of the opening widened to double, but with '.' whatever the locale says.
void AppendOpening(std::string& out, float opening) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(opening),
                                 std::chars_format::fixed, 3);
    out.append(buf, r.ptr);
}

}  // namespace

bool WriteEnvelope(const KeyframeList& keys, std::ostream& out) {
    const std::int32_t count = keys.GetCount();
    std::string chunk;
    chunk.reserve(1 << 16);
    chunk += "LWEN\r\n1\r\n1\r\n";
    AppendInt(chunk, count);
    chunk += "\r\n";
    for (std::int32_t i = 0; i < count; ++i) {
        const Keyframe* key = keys.GetAt(i);
        AppendOpening(chunk, key->GetOpening());
        chunk += "\r\n";
        AppendInt(chunk, key->GetFrame());
        chunk += " 1 0 0 0\r\n";
        if (chunk.size() > (1 << 16) - 64) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return static_cast<bool>(out);
}

}  // namespace vokra

#include "document/export/export_text.h"

#include <charconv>

namespace vokra {

void AppendInt(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

bool HasLeadIn(const KeyframeList& keys) {
    return keys.GetCount() > 0 && keys.GetAt(0)->GetFrame() > 0;
}

double TimeOf(std::int32_t frame, double frameRate) {
    return static_cast<double>(frame) / frameRate;
}

bool HasShapes(const KeyExportInfo& info) {
    return info.shapes && !info.shapes->IsEmpty();
}

std::size_t Utf8Sequence(std::string_view s, std::size_t& bad) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        const bool ok =
            i < s.size() && b(i) >= (i == 1 ? lo : 0x80) && b(i) <= (i == 1 ? hi : 0xBF);
        if (!ok) {
            bad = i;
            return 0;
        }
    }
    return need + 1;
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t bad = 0;
        const std::size_t n = Utf8Sequence(s.substr(i), bad);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void AppendShortest(std::string& out, double value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void AppendShortest(std::string& out, float value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

bool AppendJsonString(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    bool clean = true;
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            const char* named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
            if (named) {
                out += named;
            } else {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            ++i;
        } else {
            std::size_t bad = 0;
            const std::size_t n = Utf8Sequence(text.substr(i), bad);
            if (n > 0) {
                out.append(text.substr(i, n));
                i += n;
            } else {
                out += "\xEF\xBF\xBD";
                clean = false;
                i += bad;
            }
        }
    }
    out += '"';
    return clean;
}

}  // namespace vokra

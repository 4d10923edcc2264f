#include "document/script_record.h"

#include <cstdint>

#include "shapes/script_phonemes.h"

namespace vokra {

bool IsPlausibleScriptLanguage(std::string_view language) {
    if (language.empty() || language.size() > kMaxScriptLanguageBytes) return false;
    for (const char c : language) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '+';
        if (!ok) return false;
    }
    return true;
}

std::string WriteScriptRecord(const DocumentScript& script) {
    std::string out;
    const auto length = static_cast<std::uint32_t>(script.language.size());
    for (int i = 0; i < 4; ++i) out += static_cast<char>((length >> (8 * i)) & 0xFF);
    out += script.language;
    out += script.text;
    return out;
}

bool ReadScriptRecord(std::string_view payload, DocumentScript& script) {
    if (payload.size() < 4) return false;
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(payload[i]);
    payload.remove_prefix(4);
    if (length > payload.size()) return false;
    const std::string_view language = payload.substr(0, length);
    const std::string_view text = payload.substr(length);
    if (!IsPlausibleScriptLanguage(language) || text.size() > kMaxScriptBytes ||
        !ScriptTextProblem(text).empty()) {
        return false;
    }
    script.language = std::string(language);
    script.text = std::string(text);
    return true;
}

}  // namespace vokra

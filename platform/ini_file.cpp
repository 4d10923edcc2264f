#include "platform/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/atomic_file.h"
#include "platform/ini_text.h"

namespace vokra {
namespace {

// The whole file; nothing when it cannot be read. A missing file reads as empty.
std::optional<std::string> ReadAll(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::string();
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(text).str();
}

// Reads, edits and writes back; an unreadable file is never overwritten, so a passing read
// failure cannot wipe the user's settings.
template <typename Edit>
bool Rewrite(const std::string& path, Edit edit) {
    if (path.empty()) return false;
    const auto old = ReadAll(path);
    if (!old) return false;
    IniText text(*old);
    if (!edit(text)) return false;
    return WriteFileAtomically(path, text.Text());
}

}  // namespace

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    if (path_.empty()) return defaultValue;
    const auto content = ReadAll(path_);
    if (!content) return defaultValue;
    auto value = IniText(*content).Get(section, key);
    return value ? *value : defaultValue;
}

int IniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    // An empty value counts as missing, as it did on the old platform.
    const std::string value = GetString(section, key);
    if (value.empty()) return defaultValue;
    return IniText::LeadingInt(value);
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return Rewrite(path_, [&](IniText& text) { return text.Set(section, key, value); });
}

bool IniFile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
    return Rewrite(path_, [&](IniText& text) { return text.Remove(section, key); });
}

IniFile& Profile() {
    static IniFile profile([] {
        const char* env = std::getenv("VOKRA_INI");
        return std::string(env ? env : "");
    }());
    return profile;
}

}  // namespace vokra

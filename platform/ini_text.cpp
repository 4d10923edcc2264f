#include "platform/ini_text.h"

#include <climits>

namespace vokra {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// The section name of a header line, or nothing when the line is not one.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    const auto close = line.find(']');
    if (close != std::string_view::npos) line = line.substr(0, close);
    return Trim(line);
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The key name of a "key=value" line, or nothing.
std::optional<std::string_view> KeyName(std::string_view line) {
    if (IsComment(line) || SectionName(line)) return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

bool Breaks(std::string_view s) {
    return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos ||
           s.find('\0') != std::string_view::npos;
}

}  // namespace

IniText::IniText(std::string_view text) {
    std::size_t pos = 0;
    bool sawEnding = false;
    while (pos < text.size()) {
        const auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(pos)), false});
            endsWithNewline_ = false;
            break;
        }
        const bool crlf = nl > pos && text[nl - 1] == '\r';
        lines_.push_back({std::string(text.substr(pos, nl - pos - (crlf ? 1 : 0))), crlf});
        if (!sawEnding) {
            crlf_ = crlf;
            sawEnding = true;
        }
        endsWithNewline_ = true;
        pos = nl + 1;
    }
}

long IniText::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text);
        if (name && SameName(*name, Trim(section))) return static_cast<long>(i);
    }
    return -1;
}

long IniText::FindKey(long header, std::string_view key) const {
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
        if (SectionName(lines_[i].text)) break;
        const auto name = KeyName(lines_[i].text);
        if (name && SameName(*name, Trim(key))) return static_cast<long>(i);
    }
    return -1;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
    const long header = FindSection(section);
    if (header < 0) return std::nullopt;
    const long at = FindKey(header, key);
    if (at < 0) return std::nullopt;
    std::string_view line = lines_[static_cast<std::size_t>(at)].text;
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || Breaks(section) || Breaks(key) || Breaks(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == '[' || key.front() == ';' || key.front() == '#') {
        return false;
    }
    const long header = FindSection(section);
    if (header >= 0) {
        const long at = FindKey(header, key);
        if (at >= 0) {
            // Keep the key as the file spells it; only the value changes.
            std::string& text = lines_[static_cast<std::size_t>(at)].text;
            text = std::string(Trim(text.substr(0, text.find('=')))) + "=" + std::string(value);
            return true;
        }
        // After the section's last key (or its header), before trailing blanks and comments.
        std::size_t insert = static_cast<std::size_t>(header) + 1;
        for (std::size_t i = insert; i < lines_.size() && !SectionName(lines_[i].text); ++i) {
            if (KeyName(lines_[i].text)) insert = i + 1;
        }
        if (insert == lines_.size() && !endsWithNewline_ && !lines_.empty()) {
            lines_.back().crlf = crlf_;
            endsWithNewline_ = true;
        }
        lines_.insert(lines_.begin() + static_cast<long>(insert),
                      Line{std::string(key) + "=" + std::string(value), crlf_});
        if (insert == lines_.size() - 1) endsWithNewline_ = true;
        return true;
    }
    if (!lines_.empty()) {
        if (!endsWithNewline_) lines_.back().crlf = crlf_;
        if (!Trim(lines_.back().text).empty()) lines_.push_back({std::string(), crlf_});
    }
    lines_.push_back({"[" + std::string(section) + "]", crlf_});
    lines_.push_back({std::string(key) + "=" + std::string(value), crlf_});
    endsWithNewline_ = true;
    return true;
}

bool IniText::Remove(std::string_view section, std::string_view key) {
    const long header = FindSection(section);
    if (header < 0) return false;
    const long at = FindKey(header, key);
    if (at < 0) return false;
    const bool wasLast = static_cast<std::size_t>(at) == lines_.size() - 1;
    lines_.erase(lines_.begin() + at);
    if (wasLast && !lines_.empty()) endsWithNewline_ = true;
    return true;
}

std::string IniText::Text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || endsWithNewline_) out += lines_[i].crlf ? "\r\n" : "\n";
    }
    return out;
}

std::int32_t IniText::LeadingInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && (IsBlank(value[i]) || value[i] == '\n')) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<std::int32_t>(n);
}

}  // namespace vokra

#pragma once
// The text of an INI file, read and edited line by line so that an edit keeps every other line
// (sections, keys, comments, blank lines, line endings) exactly as it was. IniFile reads and
// writes the file; this class knows the format.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokra {

class IniText {
public:
    explicit IniText(std::string_view text = {});

    // The value of the first matching key in the first matching section (names compare without
    // case), blanks around it and one pair of enclosing quotes removed; nothing when missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces the key's line, or adds the key at the end of its section, or adds the section at
    // the end of the text. False (nothing changed) for names or values that would break a line.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; false when there was none.
    bool Remove(std::string_view section, std::string_view key);

    std::string Text() const;

    // The integer at the start of a value: blanks, an optional sign, decimal digits; 0 when there
    // are no digits; saturated at the limits of a 32-bit integer.
    static std::int32_t LeadingInt(std::string_view value);

private:
    struct Line {
        std::string text;  // without the line ending
        bool crlf;         // ended by "\r\n" (else "\n", or nothing for the last line)
    };
    // Index of the section's header line, or -1.
    long FindSection(std::string_view section) const;
    // Index of the key's line inside the section that starts at `header`, or -1.
    long FindKey(long header, std::string_view key) const;

    std::vector<Line> lines_;
    bool endsWithNewline_ = false;
    bool crlf_ = false;  // line ending used for added lines: the file's own
};

}  // namespace vokra

#pragma once
// The script of the line, kept in the document so Guess Shapes from Script offers it again: a
// record of the document file's tagged section (vok_section.h), tag "SCRP":
//   uint32 length of the language, the language (an espeak-ng voice name: letters, digits and
//   - _ + only, at most kMaxScriptLanguageBytes), then the text (UTF-8, at most kMaxScriptBytes)
//   up to the end of the record.
// A document without a script has no record.
#include <string>
#include <string_view>
#include <vector>

namespace vokra {

constexpr std::string_view kScriptTag = "SCRP";
constexpr std::size_t kMaxScriptLanguageBytes = 64;

struct DocumentScript {
    std::string text;
    std::string language;
    bool IsEmpty() const { return text.empty() && language.empty(); }
    bool operator==(const DocumentScript&) const = default;
};

// The record's payload (without tag and length).
std::string WriteScriptRecord(const DocumentScript& script);
// False, with `script` untouched, for a payload this program would not write.
bool ReadScriptRecord(std::string_view payload, DocumentScript& script);
// Whether `language` could name an espeak-ng voice (the characters above, 1 to 64 of them).
bool IsPlausibleScriptLanguage(std::string_view language);

// A word of the script where the alignment placed it, in seconds of the sound, for the shape
// lane; `found` false for a word the sound did not support (then start == end where it was
// left out). Kept with the document while it is open, not in its file.
struct ScriptWordPlace {
    std::string text;
    double start = 0.0;
    double end = 0.0;
    bool found = false;
    bool operator==(const ScriptWordPlace&) const = default;
};

}  // namespace vokra

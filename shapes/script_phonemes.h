#pragma once
// The sounds of a script: libespeak-ng reads the text in one of its languages and says which
// phonemes it would speak, word by word, and for how long. Those lengths are the prior the
// alignment (script_alignment.h) places each phoneme with. The library is not thread-safe and
// keeps one voice at a time, so every call here takes one lock; it is started once, on first use,
// with the data the system package installed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

// A script longer than this is refused before anything is read from it: a line for one recording
// (at most 500 s of sound) holds a few thousand characters, so a megabyte is some other file.
constexpr std::size_t kMaxScriptBytes = 1 << 20;

struct ScriptPhoneme {
    std::string name;  // espeak-ng's mnemonic ("aI", "t", "_:")
    MouthShape mouth = MouthShape::X;
    std::int32_t startMs = 0;   // where espeak-ng speaks it, from the start of its speech
    std::int32_t lengthMs = 0;  // how long it speaks it
    std::int32_t word = -1;     // index into ScriptPhonemes::words; -1 for a pause
};

struct ScriptWord {
    std::string text;  // as written in the script (UTF-8)
    std::int32_t firstPhoneme = 0;
    std::int32_t phonemeCount = 0;
    std::int32_t startMs = 0;  // where espeak-ng begins it
};

struct ScriptPhonemes {
    std::vector<ScriptWord> words;
    std::vector<ScriptPhoneme> phonemes;  // in order; pauses between words have word -1
    std::int32_t lengthMs = 0;            // espeak-ng's whole speech
    bool cut = false;   // the speech reached the limit asked for and the rest was not read
    std::string error;  // why there are no phonemes (unknown language); empty otherwise
    bool ok() const { return error.empty(); }
};

struct ScriptSpeechOptions {
    // Reading stops once espeak-ng's speech passes this (and `cut` says so): a script far longer
    // than its recording costs no more than one that fits.
    std::int32_t maxMs = INT32_MAX;
    // Words a minute; 0 for the fast reading used as the prior (its lengths are scaled back to
    // an ordinary pace). Tests and the evaluation make speech at chosen paces.
    std::int32_t wordsPerMinute = 0;
    std::int32_t pitch = 50;  // 0-99, for speech that is kept
    // When set, the speech itself (mono 16-bit at kScriptSpeechRate) is appended here.
    std::vector<std::int16_t>* speech = nullptr;
};
constexpr std::int32_t kScriptSpeechRate = 22050;

// The phonemes of `text` (UTF-8) read in `language`, an espeak-ng voice name ("en-us", "de",
// "fr", "ja", optionally with a variant: "en+f3").
ScriptPhonemes PhonemesOfScript(std::string_view text, const std::string& language,
                                const ScriptSpeechOptions& options = {});

struct ScriptLanguage {
    std::string code;  // what PhonemesOfScript and --language take
    std::string name;  // "English (America)"
};
// Every language espeak-ng has a voice for, sorted by code; empty when its data is missing.
std::vector<ScriptLanguage> ScriptLanguages();
bool IsScriptLanguage(const std::string& code);

// Why a script does not fit its language ("" when it does): most of its words are ones
// espeak-ng cannot read in that language (another writing system, another language's words),
// with what to do about it (Mandarin: pinyin with cmn-latn-pinyin; Japanese: kana).
std::string ScriptReadingProblem(std::string_view text, const std::string& language);

// The words of a script as the window and `info` count them: runs between spaces that hold a
// letter or a digit (a lone dash or an ellipsis is no word).
std::size_t CountScriptWords(std::string_view text);

// Why a script's bytes cannot be read as text ("" when they can): not UTF-8, or control
// characters other than line breaks and tabs (a binary file).
std::string ScriptTextProblem(std::string_view bytes);

}  // namespace vokra

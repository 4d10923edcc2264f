#include "shapes/script_phonemes.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>

#include "shapes/phoneme_mouths.h"

namespace vokra {
namespace {

// The prior is read fast: the library's cost grows with the speech it makes, and twice the
// ordinary pace halves it while keeping which sounds are long and which short. Lengths are then
// scaled back by what that pace shortens a reading by.
constexpr int kReadingWordsPerMinute = 350;
constexpr double kReadingScale = 1.75;
// How much of a script is read to tell whether it is in its language.
constexpr std::size_t kReadingCheckBytes = 4000;

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

// Starts the library once; false when its data cannot be found. Called under the lock.
bool Started() {
    static const bool started = [] {
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                              espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
        return rate == kScriptSpeechRate;
    }();
    return started;
}

const char kNotStarted[] =
    "espeak-ng could not start: its data (the espeak-ng-data package) was not found.";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The voice identifier espeak-ng loads for `language` ("gmw/en-GB-x-rp+m2"), or "" when it has
// none: the library finds voices by identifier or name only, so a language code ("en-gb", "zh",
// "hy-arevela") is taken to the voice that lists it first (its lowest priority number). A
// variant after '+' is kept. Called under the lock.
std::string VoiceOf(const std::string& language) {
    const std::size_t plus = language.find('+');
    const std::string base = Lower(language.substr(0, plus));
    const std::string variant = plus == std::string::npos ? "" : language.substr(plus);
    if (base.empty()) return {};
    const espeak_VOICE* best = nullptr;
    int bestPriority = 256;
    for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
        const std::string id = (*v)->identifier ? Lower((*v)->identifier) : "";
        const std::string file = id.substr(id.rfind('/') + 1);
        if (id == base || ((*v)->name && Lower((*v)->name) == base)) {
            best = *v;
            break;
        }
        for (const char* l = (*v)->languages; l && *l; l += std::strlen(l + 1) + 2) {
            const int priority = static_cast<unsigned char>(*l);
            if ((Lower(l + 1) == base || file == base) && priority < bestPriority) {
                best = *v;
                bestPriority = priority;
            }
        }
    }
    return best && best->identifier ? best->identifier + variant : std::string();
}

bool KnownLanguage(const std::string& language) {
    return !VoiceOf(language).empty();
}

// What one synthesis collects, reached from the library's callback (set under the lock).
struct Reading {
    ScriptPhonemes* out = nullptr;
    std::vector<std::int16_t>* speech = nullptr;
    const std::vector<std::size_t>* charStarts = nullptr;  // byte offset of each character
    std::string_view text;
    double scale = 1.0;
    std::int32_t maxMs = INT32_MAX;
    std::int64_t samples = 0;
};
Reading* g_reading = nullptr;

std::int32_t Ms(const Reading& r, int audioMs) {
    return static_cast<std::int32_t>(std::lround(audioMs * r.scale));
}

void AddWord(Reading& r, const espeak_EVENT& e) {
    const auto& starts = *r.charStarts;
    // Positions count characters from 1; a position outside the text names no word of ours.
    const std::size_t first =
        e.text_position > 0 ? static_cast<std::size_t>(e.text_position - 1) : 0;
    const std::size_t last = first + static_cast<std::size_t>(std::max(e.length, 0));
    if (first >= starts.size()) return;
    const std::size_t from = starts[first];
    const std::size_t to = last < starts.size() ? starts[last] : r.text.size();
    ScriptWord word;
    word.text = std::string(r.text.substr(from, to - from));
    word.firstPhoneme = static_cast<std::int32_t>(r.out->phonemes.size());
    word.startMs = Ms(r, e.audio_position);
    r.out->words.push_back(std::move(word));
}

void AddPhoneme(Reading& r, const espeak_EVENT& e) {
    std::string name(e.id.string, strnlen(e.id.string, sizeof(e.id.string)));
    // A palatalisation mark comes as a phoneme of its own; it belongs to the one before.
    if (name.empty() || name == ";") return;
    ScriptPhoneme p;
    p.mouth = MouthOfEspeakPhoneme(name);
    p.name = std::move(name);
    p.startMs = Ms(r, e.audio_position);
    const bool pause = p.name[0] == '_';
    if (!pause && r.out->words.empty()) return;  // a sound before any word: nothing to place it by
    p.word = pause ? -1 : static_cast<std::int32_t>(r.out->words.size()) - 1;
    auto& phonemes = r.out->phonemes;
    if (!phonemes.empty()) {
        phonemes.back().lengthMs = std::max(0, p.startMs - phonemes.back().startMs);
    }
    if (!pause) ++r.out->words.back().phonemeCount;
    phonemes.push_back(std::move(p));
}

int OnSynth(short* wav, int count, espeak_EVENT* events) {
    Reading& r = *g_reading;
    if (wav && count > 0) {
        r.samples += count;
        if (r.speech) r.speech->insert(r.speech->end(), wav, wav + count);
    }
    for (; events && events->type != espeakEVENT_LIST_TERMINATED; ++events) {
        if (Ms(r, events->audio_position) > r.maxMs) {
            r.out->cut = true;
            return 1;  // stops the synthesis
        }
        if (events->type == espeakEVENT_WORD) AddWord(r, *events);
        if (events->type == espeakEVENT_PHONEME) AddPhoneme(r, *events);
    }
    return 0;
}

// The byte offset where each character of valid UTF-8 starts.
std::vector<std::size_t> CharStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    return starts;
}

}  // namespace

ScriptPhonemes PhonemesOfScript(std::string_view text, const std::string& language,
                                const ScriptSpeechOptions& options) {
    ScriptPhonemes out;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
    if (text.size() > kMaxScriptBytes) text = text.substr(0, kMaxScriptBytes);
    std::lock_guard<std::mutex> hold(Lock());
    if (!Started()) {
        out.error = kNotStarted;
        return out;
    }
    const std::string voice = VoiceOf(language);
    if (voice.empty() || espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        out.error = "espeak-ng has no language '" + language + "'.";
        return out;
    }
    const bool reading = options.wordsPerMinute <= 0;
    espeak_SetParameter(espeakRATE, reading ? kReadingWordsPerMinute : options.wordsPerMinute, 0);
    espeak_SetParameter(espeakPITCH, std::clamp(options.pitch, 0, 99), 0);

    const std::string copy(text);  // the library wants a terminating zero
    const std::vector<std::size_t> starts = CharStarts(copy);
    Reading r;
    r.out = &out;
    r.speech = options.speech;
    r.charStarts = &starts;
    r.text = copy;
    r.scale = reading ? kReadingScale : 1.0;
    r.maxMs = options.maxMs;
    g_reading = &r;
    espeak_SetSynthCallback(OnSynth);
    espeak_Synth(copy.c_str(), copy.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                 nullptr);
    espeak_Synchronize();
    g_reading = nullptr;

    out.lengthMs = static_cast<std::int32_t>(
        std::min<double>(INT32_MAX, std::lround(r.samples * 1000.0 / kScriptSpeechRate * r.scale)));
    if (!out.phonemes.empty()) {
        ScriptPhoneme& last = out.phonemes.back();
        last.lengthMs = std::max(0, out.lengthMs - last.startMs);
    }
    // Words whose sounds all went (a cut reading, a word spoken as nothing) place nothing.
    std::vector<ScriptWord> words;
    std::vector<std::int32_t> renumber(out.words.size(), -1);
    for (std::size_t w = 0; w < out.words.size(); ++w) {
        if (out.words[w].phonemeCount == 0) continue;
        renumber[w] = static_cast<std::int32_t>(words.size());
        words.push_back(std::move(out.words[w]));
    }
    for (ScriptPhoneme& p : out.phonemes) {
        if (p.word >= 0) p.word = renumber[static_cast<std::size_t>(p.word)];
    }
    out.words = std::move(words);
    return out;
}

std::vector<ScriptLanguage> ScriptLanguages() {
    std::lock_guard<std::mutex> hold(Lock());
    static std::vector<ScriptLanguage> languages;
    static bool listed = false;
    if (listed || !Started()) return languages;
    listed = true;
    // Every language any voice is for, named after the voice that speaks it best (the lowest
    // priority number).
    std::vector<int> priorities;
    for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
        for (const char* l = (*v)->languages; l && *l; l += std::strlen(l + 1) + 2) {
            const int priority = static_cast<unsigned char>(*l);
            ScriptLanguage language{Lower(l + 1), (*v)->name ? (*v)->name : ""};
            if (language.code.empty()) continue;
            const auto at =
                std::find_if(languages.begin(), languages.end(),
                             [&](const ScriptLanguage& x) { return x.code == language.code; });
            if (at == languages.end()) {
                languages.push_back(std::move(language));
                priorities.push_back(priority);
            } else if (priority < priorities[static_cast<std::size_t>(at - languages.begin())]) {
                priorities[static_cast<std::size_t>(at - languages.begin())] = priority;
                at->name = language.name;
            }
        }
    }
    // Only what the library then loads is offered.
    std::vector<ScriptLanguage> usable;
    for (ScriptLanguage& l : languages) {
        const std::string voice = VoiceOf(l.code);
        if (!voice.empty() && espeak_SetVoiceByName(voice.c_str()) == EE_OK)
            usable.push_back(std::move(l));
    }
    languages = std::move(usable);
    // Loading voice after voice leaves the library in a state where the next synthesis reports
    // no event for its first word; one short synthesis here takes that loss instead of a script.
    espeak_SetSynthCallback([](short*, int, espeak_EVENT*) { return 0; });
    espeak_Synth("a", 2, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    std::sort(languages.begin(), languages.end(),
              [](const ScriptLanguage& a, const ScriptLanguage& b) { return a.code < b.code; });
    return languages;
}

std::string ScriptReadingProblem(std::string_view text, const std::string& language) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // The first few thousand characters tell; a cut in the middle of a character is dropped.
    std::string head(text.substr(0, kReadingCheckBytes));
    while (!head.empty() && (static_cast<unsigned char>(head.back()) & 0xC0) == 0x80)
        head.pop_back();
    if (!head.empty() && static_cast<unsigned char>(head.back()) >= 0xC0) head.pop_back();
    std::lock_guard<std::mutex> hold(Lock());
    if (!Started()) return kNotStarted;
    const std::string voiceId = VoiceOf(language);
    if (voiceId.empty() || espeak_SetVoiceByName(voiceId.c_str()) != EE_OK)
        return "espeak-ng has no language '" + language + "'.";
    const espeak_VOICE* voice = espeak_GetCurrentVoice();
    const std::string own = voice && voice->languages ? Lower(voice->languages + 1) : "";
    // espeak-ng reads a word it cannot read in the language by switching to another one (and
    // marks it "(en)"): when most words go that way, the script is not in that language.
    std::int32_t words = 0, foreign = 0;
    std::string other;
    const void* at = head.c_str();
    while (at) {
        const char* read = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, 0);
        if (!read) break;
        bool switched = false, wordForeign = false, inWord = false;
        for (const char* c = read;; ++c) {
            if (*c == '(') {
                const char* close = std::strchr(c, ')');
                if (!close) break;
                const std::string name = Lower(std::string(c + 1, close));
                switched = name != own && !own.empty() && own.rfind(name, 0) != 0;
                if (switched) other = name;
                c = close;
                continue;
            }
            const bool space = *c == ' ' || *c == '\0';
            if (!space) {
                inWord = true;
                wordForeign |= switched;
            } else if (inWord) {
                ++words;
                foreign += wordForeign;
                inWord = wordForeign = false;
            }
            if (*c == '\0') break;
        }
    }
    if (words == 0 || foreign * 2 <= words) return {};
    const std::string base = Lower(language.substr(0, language.find('+')));
    const std::string name = voice && voice->name ? voice->name : language;
    if (base == "cmn" || base == "zh" || base == "zh-cmn") {
        return "espeak-ng reads Mandarin here from pinyin only (it would read these words as " +
               other +
               "): write the line in pinyin with tone numbers (\"ni3 hao3\") and choose the "
               "language cmn-latn-pinyin.";
    }
    if (base == "ja") {
        return "espeak-ng reads Japanese from kana only (it would read these words as " + other +
               "): write the line in hiragana or katakana.";
    }
    return "Most words of the script are not " + name + " to espeak-ng (it would read them as " +
           other + "): choose the language the line is written in.";
}

bool IsScriptLanguage(const std::string& code) {
    std::lock_guard<std::mutex> hold(Lock());
    return Started() && KnownLanguage(code);
}

std::string ScriptTextProblem(std::string_view bytes) {
    // UTF-16 (as some editors save "Unicode" text): a byte-order mark, or text where nearly
    // every pair of bytes is a letter and a zero.
    const bool utf16Mark = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 512) / 2;
    std::size_t little = 0, big = 0;
    for (std::size_t k = 0; k < pairs; ++k) {
        little += bytes[2 * k] != '\0' && bytes[2 * k + 1] == '\0';
        big += bytes[2 * k] == '\0' && bytes[2 * k + 1] != '\0';
    }
    if (utf16Mark || (pairs >= 2 && std::max(little, big) * 10 >= pairs * 8)) {
        return "it is UTF-16 text; save it as UTF-8 (in most editors: Save As, Encoding UTF-8)";
    }
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F) {
                return "it holds control characters, as a binary file does, not text";
            }
            ++i;
            continue;
        }
        // The length of a well-formed sequence, and the range of its second byte (which rules
        // out overlong forms, surrogates and values past U+10FFFF).
        int length = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        }
        bool ok = length > 0 && i + static_cast<std::size_t>(length) <= bytes.size();
        for (int k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
        }
        if (!ok) {
            return "it is not UTF-8 text (Latin-1 or another older encoding?); save it as UTF-8 "
                   "(in most editors: Save As, Encoding UTF-8)";
        }
        i += static_cast<std::size_t>(length);
    }
    return {};
}

std::size_t CountScriptWords(std::string_view text) {
    std::size_t words = 0;
    bool inWord = false, counted = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const auto c = i < text.size() ? static_cast<unsigned char>(text[i]) : ' ';
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            inWord = counted = false;
            continue;
        }
        inWord = true;
        // Any letter beyond ASCII counts; the punctuation of U+2000-U+206F (dashes, ellipsis,
        // quotes: E2 80/81 xx) and U+3000-U+303F (E3 80 xx) does not.
        bool letter = std::isalnum(c) != 0;
        if (c >= 0xC2 && (c & 0xC0) == 0xC0) {
            const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
            letter = !(c == 0xC2) && !(c == 0xE2 && (next == 0x80 || next == 0x81)) &&
                     !(c == 0xE3 && next == 0x80);
        }
        if (inWord && letter && !counted) {
            ++words;
            counted = true;
        }
    }
    return words;
}

}  // namespace vokra

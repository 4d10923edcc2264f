#include "shapes/script_alignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "shapes/script_phonemes.h"
#include "shapes/shape_estimator.h"

namespace vokra {
namespace {

constexpr std::int32_t kLeadMs = 400;  // silence before the speech, so a place can be wrong

struct Recording {
    std::vector<std::int16_t> samples;
    std::vector<ScriptWord> words;  // where espeak-ng spoke each word, from the recording's start
    std::vector<MouthShape> truth;  // the mouth of the phoneme under each window's centre
};

// espeak-ng speaks `text` with another voice and pace than the prior's reading, after a pause,
// with a little noise over all of it.
Recording Speak(const std::string& text, const std::string& voice, std::int32_t wpm) {
    Recording r;
    std::vector<std::int16_t> speech;
    ScriptSpeechOptions o;
    o.wordsPerMinute = wpm;
    o.pitch = 40;
    o.speech = &speech;
    const ScriptPhonemes spoken = PhonemesOfScript(text, voice, o);
    EXPECT_TRUE(spoken.ok()) << spoken.error;
    r.words = spoken.words;
    for (ScriptWord& w : r.words) w.startMs += kLeadMs;
    r.samples.assign(static_cast<std::size_t>(kScriptSpeechRate) * kLeadMs / 1000, 0);
    r.samples.insert(r.samples.end(), speech.begin(), speech.end());
    r.samples.insert(r.samples.end(), kScriptSpeechRate / 2, 0);
    std::mt19937 noise(7);
    std::uniform_int_distribution<int> hiss(-40, 40);
    for (std::int16_t& s : r.samples)
        s = static_cast<std::int16_t>(std::clamp(s + hiss(noise), -32768, 32767));
    r.truth.assign((r.samples.size() * 100 + kScriptSpeechRate - 1) / kScriptSpeechRate,
                   MouthShape::X);
    for (const ScriptPhoneme& p : spoken.phonemes) {
        for (std::size_t w = 0; w < r.truth.size(); ++w) {
            const double centre = w * 10.0 + 5.0 - kLeadMs;
            if (centre >= p.startMs && centre < p.startMs + p.lengthMs) r.truth[w] = p.mouth;
        }
    }
    return r;
}

// The share of windows whose mouth is the truth's.
double Exact(const std::vector<MouthShape>& shapes, const std::vector<MouthShape>& truth) {
    std::size_t hit = 0;
    for (std::size_t w = 0; w < std::min(shapes.size(), truth.size()); ++w)
        hit += shapes[w] == truth[w];
    return truth.empty() ? 0.0 : static_cast<double>(hit) / truth.size();
}

ScriptAlignment Align(const Recording& r, const std::string& text, const std::string& language) {
    return AlignShapesToText(r.samples.data(), static_cast<std::int32_t>(r.samples.size()),
                             kScriptSpeechRate, text, language);
}

// --- The alignment on scores made by hand: a recording is a sequence of mouths, the scores say
// it with some windows confidently wrong, as the estimator does.

struct SynthWord {
    const char* text;
    const char* mouths;  // one letter per phoneme
};

ScriptPhonemes SynthScript(const std::vector<SynthWord>& words) {
    ScriptPhonemes script;
    std::int32_t ms = 0;
    for (const SynthWord& w : words) {
        ScriptWord word{w.text, static_cast<std::int32_t>(script.phonemes.size()), 0, ms};
        for (const char* m = w.mouths; *m; ++m) {
            const auto index = static_cast<std::int32_t>(script.words.size());
            script.phonemes.push_back(
                {std::string(1, *m), *MouthShapeFromLetter(*m), ms, 80, index});
            ms += 80;
            ++word.phonemeCount;
        }
        script.words.push_back(word);
    }
    script.lengthMs = ms;
    return script;
}

struct Spoken {
    std::vector<float> scores;
    std::vector<std::int32_t> starts;  // the window each word starts on
};

// The words spoken `tempo` times as slowly as the prior, `pause` windows of rest between them,
// a second of rest around; every seventh window the scores prefer a wrong mouth.
Spoken Speak(const std::vector<SynthWord>& words, double tempo, std::int32_t pause) {
    std::vector<MouthShape> mouths(100, MouthShape::X);
    Spoken s;
    for (const SynthWord& w : words) {
        s.starts.push_back(static_cast<std::int32_t>(mouths.size()));
        for (const char* m = w.mouths; *m; ++m) {
            // Lengths vary around the prior's by a window or two.
            const auto length = static_cast<std::size_t>(std::lround(8 * tempo) +
                                                         static_cast<long>(mouths.size() % 3) - 1);
            mouths.insert(mouths.end(), std::max<std::size_t>(length, 2),
                          *MouthShapeFromLetter(*m));
        }
        mouths.insert(mouths.end(), static_cast<std::size_t>(pause), MouthShape::X);
    }
    mouths.insert(mouths.end(), 100, MouthShape::X);
    for (std::size_t t = 0; t < mouths.size(); ++t) {
        std::array<float, kMouthShapeCount> row;
        row.fill(-6.0f);
        row[MouthShapeIndex(mouths[t])] = t % 7 == 3 ? -2.5f : -0.1f;
        if (t % 7 == 3) row[(MouthShapeIndex(mouths[t]) + 2) % kMouthShapeCount] = -0.1f;
        s.scores.insert(s.scores.end(), row.begin(), row.end());
    }
    return s;
}

const std::vector<SynthWord> kLine = {
    {"my", "AD"},     {"mother", "ACBE"}, {"made", "ACB"}, {"a", "D"},    {"warm", "FEA"},
    {"apple", "DAH"}, {"pie", "AD"},      {"for", "GE"},   {"the", "BC"}, {"baby", "ACAB"}};

struct SynthCase {
    const char* name;
    std::vector<SynthWord> spoken;
    std::vector<SynthWord> script;
    double tempo;
    std::int32_t pause;
    const char* missing;  // the script's word the voice does not say, or ""
};

class ScriptAlignment_Synthetic : public ::testing::TestWithParam<SynthCase> {};

TEST_P(ScriptAlignment_Synthetic, WordsLandWhereTheyWereSpoken) {
    const SynthCase& c = GetParam();
    const Spoken spoken = Speak(c.spoken, c.tempo, c.pause);
    const ScriptAlignment a = AlignScoresToScript(spoken.scores, SynthScript(c.script));
    ASSERT_TRUE(a.ok());
    ASSERT_EQ(a.notice, "");
    ASSERT_EQ(a.words.size(), c.script.size());
    std::size_t heard = 0;
    for (const PlacedWord& w : a.words) {
        if (w.text == c.missing) {
            EXPECT_FALSE(w.found) << w.text;
            continue;
        }
        while (heard < c.spoken.size() && c.spoken[heard].text != w.text) ++heard;
        ASSERT_LT(heard, c.spoken.size());
        EXPECT_TRUE(w.found) << w.text << " agreement " << w.agreement;
        EXPECT_NEAR(w.firstWindow, spoken.starts[heard], 3) << w.text;
        ++heard;
    }
}

std::vector<SynthWord> Without(std::vector<SynthWord> words, std::size_t i) {
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(i));
    return words;
}

std::vector<SynthWord> With(std::vector<SynthWord> words, std::size_t i, SynthWord w) {
    words.insert(words.begin() + static_cast<std::ptrdiff_t>(i), w);
    return words;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptAlignment_Synthetic,
    ::testing::Values(SynthCase{"AtThePriorsPace", kLine, kLine, 1.0, 0, ""},
                      SynthCase{"SlowSpeaker", kLine, kLine, 1.7, 0, ""},
                      SynthCase{"FastSpeaker", kLine, kLine, 0.6, 0, ""},
                      SynthCase{"PausesBetweenWords", kLine, kLine, 1.0, 40, ""},
                      SynthCase{"WordNotSaid", Without(kLine, 5), kLine, 1.0, 3, "apple"},
                      SynthCase{"AdLibNotInTheScript", With(kLine, 4, {"so", "GCF"}), kLine, 1.0, 3,
                                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A script on a sound with no voice finds no word, and leaves the mouth at rest.
TEST(ScriptAlignment_Synthetic, ScriptOnSilenceFindsNoWord) {
    std::vector<float> scores;
    for (int t = 0; t < 300; ++t) {
        std::array<float, kMouthShapeCount> row;
        row.fill(-8.0f);
        row[MouthShapeIndex(MouthShape::X)] = 0.0f;
        scores.insert(scores.end(), row.begin(), row.end());
    }
    const ScriptAlignment a = AlignScoresToScript(scores, SynthScript(kLine));
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.NotFoundCount(), static_cast<std::int32_t>(kLine.size()));
    EXPECT_TRUE(std::all_of(a.per10ms.begin(), a.per10ms.end(),
                            [](MouthShape m) { return m == MouthShape::X; }));
}

// A script that needs more windows than the sound has is left out with a word, not squeezed.
TEST(ScriptAlignment_Synthetic, ScriptLongerThanTheSoundIsLeftOut) {
    std::vector<SynthWord> many;
    for (int i = 0; i < 400; ++i) many.insert(many.end(), kLine.begin(), kLine.end());
    const Spoken spoken = Speak(kLine, 1.0, 0);
    const ScriptAlignment a = AlignScoresToScript(spoken.scores, SynthScript(many));
    ASSERT_TRUE(a.ok());
    EXPECT_NE(a.notice.find("far longer"), std::string::npos);
    EXPECT_EQ(a.per10ms.size(), spoken.scores.size() / kMouthShapeCount);
}

// --- The whole way from text: espeak-ng reads the script, and its speech (another voice, another
// pace) is the recording. The estimator's mistakes make single words land off; most must not.

struct PlaceCase {
    const char* name;
    const char* language;
    const char* voice;
    std::int32_t wpm;
    const char* text;
};

class ScriptAlignment_Places : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(ScriptAlignment_Places, MostWordsNearWhereTheyWereSpoken) {
    const PlaceCase& c = GetParam();
    const Recording r = Speak(c.text, c.voice, c.wpm);
    const ScriptAlignment a = Align(r, c.text, c.language);
    ASSERT_TRUE(a.ok()) << a.error;
    ASSERT_EQ(a.notice, "");
    ASSERT_EQ(a.words.size(), r.words.size());
    EXPECT_EQ(a.per10ms.size(),
              (r.samples.size() * 100 + kScriptSpeechRate - 1) / kScriptSpeechRate);
    std::size_t near = 0;
    for (std::size_t i = 0; i < r.words.size(); ++i) {
        EXPECT_EQ(a.words[i].text, r.words[i].text);
        near +=
            a.words[i].found && std::abs(a.words[i].firstWindow * 10 - r.words[i].startMs) <= 100;
    }
    EXPECT_GE(near * 4, r.words.size() * 3) << NotFoundText(a);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptAlignment_Places,
    ::testing::Values(
        PlaceCase{"English", "en-us", "en-us", 160, "Would you like to see the movie with me?"},
        PlaceCase{"German", "de", "de+m2", 160, "Der Mann wollte heute mit dem Boot fahren."},
        PlaceCase{"French", "fr", "fr+f3", 160, "Nous partirons demain matin vers la mer."},
        PlaceCase{"Hindi", "hi", "hi+m4", 150, "मेरा नाम राम है और मैं दिल्ली में रहता हूँ।"},
        PlaceCase{"Russian", "ru", "ru+m5", 150, "Мама мыла раму, а папа читал книгу."}),
    [](const auto& info) { return std::string(info.param.name); });

struct WrongScriptCase {
    const char* name;
    const char* script;
    const char* language;
};

class ScriptAlignment_WrongScript : public ::testing::TestWithParam<WrongScriptCase> {};

// Another text, or a text in another language than the voice's, is not forced onto the voice:
// it is set aside with a word, or at least half its words are reported as not found (a few
// short words of another language match English sounds well enough).
TEST_P(ScriptAlignment_WrongScript, IsNotForcedOntoTheVoice) {
    const Recording r = Speak("We will leave at noon, then drive home slowly.", "en-us", 160);
    const ScriptAlignment a = Align(r, GetParam().script, GetParam().language);
    ASSERT_TRUE(a.ok()) << a.error;
    EXPECT_TRUE(!a.notice.empty() || a.NotFoundCount() * 2 >= static_cast<int>(a.words.size()))
        << NotFoundText(a);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptAlignment_WrongScript,
    ::testing::Values(
        WrongScriptCase{"AnotherText", "Mary had a little lamb whose fleece was white as snow.",
                        "en-us"},
        WrongScriptCase{"AnotherLanguage", "Der Mann wollte heute mit dem Boot fahren.", "de"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The scripts animators really have: a sentence more or less than the take, two takes of
// the line, a word never said, a script in another language than the one chosen. None may do
// worse than the guess without the script, silence speech, or pass without a word.

struct FaultCase {
    const char* name;
    const char* spoken;    // what the voice says (en-us)
    const char* script;    // what the script holds
    const char* language;  // the script's language
    const char* refusal;   // part of why the script is refused before aligning, or ""
    double leastFound;     // share of the spoken words of the script that must be found
    bool unscripted;       // speech the script does not have must be named
};

class ScriptAlignment_Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ScriptAlignment_Faults, AlignsWhatMatchesAndSaysWhatDoesNot) {
    const FaultCase& c = GetParam();
    const Recording r = Speak(c.spoken, "en-us+m3", 165);
    const std::string refusal = ScriptReadingProblem(c.script, c.language);
    if (*c.refusal) {
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        return;
    }
    ASSERT_EQ(refusal, "");
    const ScriptAlignment a = Align(r, c.script, c.language);
    ASSERT_TRUE(a.ok()) << a.error;
    const std::vector<MouthShape> guess = GuessShapes(
        r.samples.data(), static_cast<std::int32_t>(r.samples.size()), kScriptSpeechRate);
    // Never worse than the guess, and never rest where the guess hears speech.
    EXPECT_GE(Exact(a.per10ms, r.truth) + 0.01, Exact(guess, r.truth)) << NotFoundText(a);
    std::size_t silenced = 0;
    for (std::size_t w = 0; w < guess.size(); ++w)
        silenced += guess[w] != MouthShape::X && a.per10ms[w] == MouthShape::X;
    EXPECT_LE(silenced, guess.size() / 50);
    // The script's words that were spoken: found, near where they were said.
    std::size_t spoken = 0, near = 0;
    for (const PlacedWord& w : a.words) {
        const auto said = std::find_if(r.words.begin(), r.words.end(), [&](const ScriptWord& s) {
            return s.text == w.text &&
                   (!w.found || std::abs(w.firstWindow * 10 - s.startMs) <= 150);
        });
        if (said == r.words.end()) continue;
        ++spoken;
        near += w.found;
    }
    EXPECT_GE(static_cast<double>(near), c.leastFound * spoken) << NotFoundText(a);
    // What did not fit is said: words not found, speech outside the script, or a notice.
    const bool said = !NotFoundText(a).empty() || !UnscriptedText(a).empty() || !a.notice.empty();
    if (c.leastFound < 1.0 || c.unscripted) {
        EXPECT_TRUE(said);
    }
    if (c.unscripted) {
        EXPECT_FALSE(a.unscripted.empty()) << UnscriptedText(a);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptAlignment_Faults,
    ::testing::Values(
        FaultCase{"ExtraSentence", "Please pass me the butter, my dear friend.",
                  "I would like some soup. Please pass me the butter, my dear friend.", "en-us", "",
                  0.75, false},
        FaultCase{"MissingSentence",
                  "We drove to the beach at dawn. Please pass me the butter, my dear friend.",
                  "Please pass me the butter, my dear friend.", "en-us", "", 0.75, true},
        FaultCase{"TwoTakes", "Bring the blue box to my mother. Bring the blue box to my mother.",
                  "Bring the blue box to my mother.", "en-us", "", 0.75, true},
        FaultCase{"UnspokenOneWord",
                  "We drove to the beach at dawn, and the waves were very high that morning, so "
                  "we walked along the sand for a while.",
                  "Hello", "en-us", "", 0.0, true},
        FaultCase{"EnglishAsJapanese", "We drove to the beach.", "We drove to the beach.", "ja",
                  "kana", 0.0, false},
        FaultCase{"HanziAsMandarin", "We drove to the beach.", "你好，世界。我们去海边。", "cmn",
                  "cmn-latn-pinyin", 0.0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Every language the program lists is one espeak-ng loads and reads: a line of numbers, spoken
// by the entry's own voice, is aligned with it.
class ScriptLanguages_Listed : public ::testing::TestWithParam<ScriptLanguage> {};

TEST_P(ScriptLanguages_Listed, AlignsAShortLine) {
    const std::string& code = GetParam().code;
    // Numbers, read in the language's own words; a line of its words where its voice has no
    // rules for numbers.
    static const std::map<std::string, std::string> kNoNumbers = {
        {"chr-us-qaaa-x-west", "ᎣᏏᏲ ᏙᎯᏧ"},
        {"cv", "Салам, мĕнле пурăнатăр"},
        {"he", "שלום עולם, מה שלומך"},
        {"nog", "Салам, калай турасыз"},
        {"qya", "Elen síla lúmenn omentielvo"},
        {"sjn", "Mae govannen, mellon"},
        {"tk", "Salam, nähili ýagdaýlar"}};
    const auto own = kNoNumbers.find(code);
    const std::string line = own != kNoNumbers.end() ? own->second : "12, 345, 6789.";
    const Recording r = Speak(line, code, 170);
    const ScriptAlignment a = Align(r, line, code);
    ASSERT_TRUE(a.ok()) << a.error;
    EXPECT_FALSE(a.words.empty());
    EXPECT_EQ(a.per10ms.size(), r.truth.size());
}

INSTANTIATE_TEST_SUITE_P(Table, ScriptLanguages_Listed, ::testing::ValuesIn(ScriptLanguages()),
                         [](const auto& info) {
                             std::string name;
                             for (const char c : info.param.code)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Scripts that cannot be placed: each gives a word or an error, never a hang, and the shapes of
// the guess without the script where a fall-back makes sense.
TEST(ScriptAlignment_BadInput, EmptyScriptFallsBackToTheGuess) {
    const Recording r = Speak("Hello there.", "en", 175);
    const ScriptAlignment a = Align(r, " \n\t ", "en");
    ASSERT_TRUE(a.ok());
    EXPECT_NE(a.notice.find("no words"), std::string::npos);
    EXPECT_EQ(a.per10ms, GuessShapes(r.samples.data(), static_cast<std::int32_t>(r.samples.size()),
                                     kScriptSpeechRate));
}

TEST(ScriptAlignment_BadInput, UnknownLanguageIsAnError) {
    const Recording r = Speak("Hello there.", "en", 175);
    for (const char* language : {"xx-nowhere", "", "en-us/../../etc", "+m3"}) {
        const ScriptAlignment a = Align(r, "Hello there.", language);
        EXPECT_FALSE(a.ok()) << language;
        EXPECT_TRUE(a.per10ms.empty());
    }
    EXPECT_FALSE(IsScriptLanguage("xx-nowhere"));
    EXPECT_TRUE(IsScriptLanguage("de"));
    EXPECT_TRUE(IsScriptLanguage("en"));
    EXPECT_TRUE(IsScriptLanguage("FR"));
    EXPECT_TRUE(IsScriptLanguage("en-us+f2"));
    // Codes that name no voice file of their own are taken to the voice that lists them.
    for (const char* code : {"en-gb", "fr-fr", "pt-pt", "es-mx", "zh", "zh-cmn", "zh-yue", "no",
                             "hbs", "hy-arevela", "hy-arevmda", "chr-us-qaaa-x-west"})
        EXPECT_TRUE(PhonemesOfScript("1", code).ok()) << code;
}

TEST(ScriptAlignment_BadInput, ScriptFarLongerThanTheSoundIsLeftOut) {
    const Recording r = Speak("One two three.", "en", 175);
    std::string text;
    // About ten megabytes of words, cut to the limit of a script and read only as far as the
    // sound could hold.
    while (text.size() < 10'000'000) text += "The rain in Spain stays mainly in the plain. ";
    const ScriptAlignment a = Align(r, text, "en");
    ASSERT_TRUE(a.ok());
    EXPECT_NE(a.notice.find("far longer"), std::string::npos);
    EXPECT_EQ(a.per10ms.size(),
              GuessShapes(r.samples.data(), static_cast<std::int32_t>(r.samples.size()),
                          kScriptSpeechRate)
                  .size());
}

TEST(ScriptAlignment_BadInput, NoSamplesGiveNoShapes) {
    const ScriptAlignment a = AlignShapesToText(nullptr, 0, 44100, "Hello.", "en");
    EXPECT_TRUE(a.ok());
    EXPECT_TRUE(a.per10ms.empty());
}

struct TextCase {
    const char* name;
    std::string bytes;
    bool text;
};

class ScriptText_Check : public ::testing::TestWithParam<TextCase> {};

TEST_P(ScriptText_Check, TellsTextFromBinary) {
    EXPECT_EQ(ScriptTextProblem(GetParam().bytes).empty(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptText_Check,
    ::testing::Values(TextCase{"Ascii", "Hello,\r\n\tworld.", true},
                      TextCase{"Accents", "Grüße, ça va? Ελληνικά. 日本語 😀", true},
                      TextCase{"NulByte", std::string("ab\0cd", 5), false},
                      TextCase{"Escape", "ab\x1b[1m", false},
                      TextCase{"Latin1",
                               "Gr\xfc\xdf"
                               "e",
                               false},
                      TextCase{"Overlong", "\xc0\xaf", false},
                      TextCase{"Surrogate", "\xed\xa0\x80", false},
                      TextCase{"PastUnicode", "\xf4\x90\x80\x80", false},
                      TextCase{"CutShort", "ab\xe6\x97", false},
                      TextCase{"Utf16", std::string("\xff\xfeH\0i\0", 6), false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

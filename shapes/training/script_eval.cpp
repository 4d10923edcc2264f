// Measures shapes from the script against the guess without it, on speech espeak-ng makes on the
// spot (its phoneme events are the labels): per language and condition, the share of 10 ms
// windows with the exact mouth (no tolerance, and within 20 ms), the right class and the closures
// (M, B, P) found; with the script right, a quarter of its words replaced by other words of the
// language, a sentence more than the take, a sentence less and a take said twice; and the report
// of words not found, judged on the words replaced (precision, recall) and on a right script
// (the share of its words named).
//   script_eval TEXT_DIR LANG...   (TEXT_DIR/LANG.txt: one line of the script per line)
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/script_alignment.h"
#include "shapes/script_phonemes.h"
#include "shapes/shape_estimator.h"

namespace vokra {
namespace {

struct Score {
    long windows = 0, exact = 0, near = 0, cls = 0, closures = 0, closuresFound = 0,
         closuresExact = 0;
    void Add(const std::vector<MouthShape>& guess, const std::vector<MouthShape>& truth) {
        const long n = static_cast<long>(std::min(guess.size(), truth.size()));
        for (long w = 0; w < n; ++w) {
            bool nearHit = false, classHit = false, closed = false;
            for (long d = -2; d <= 2; ++d) {
                if (w + d < 0 || w + d >= n) continue;
                nearHit |= guess[w] == truth[w + d];
                classHit |= MouthClassOf(guess[w]) == MouthClassOf(truth[w + d]);
                closed |= truth[w] == MouthShape::A && guess[w + d] == MouthShape::A;
            }
            ++windows;
            exact += guess[w] == truth[w];
            near += nearHit;
            cls += classHit;
            if (truth[w] == MouthShape::A) {
                ++closures;
                closuresFound += closed;
                closuresExact += guess[w] == MouthShape::A;
            }
        }
    }
};

double Pct(long a, long b) {
    return b ? 100.0 * a / b : 0.0;
}

struct Condition {
    const char* name;
    const char* variant;
    int wpm;
    int pitch;
    int noise;  // peak of white noise added, in sample units
};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

struct Take {
    std::vector<std::int16_t> samples;
    std::vector<MouthShape> truth;
    bool ok = false;
};

// `text` spoken in the condition's voice, half a second of rest around it, noise over all.
Take Speak(const std::string& text, const std::string& lang, const Condition& c,
           std::mt19937& random) {
    Take take;
    std::vector<std::int16_t> speech;
    ScriptSpeechOptions o;
    o.wordsPerMinute = c.wpm;
    o.pitch = c.pitch;
    o.speech = &speech;
    const ScriptPhonemes spoken = PhonemesOfScript(text, lang + c.variant, o);
    if (!spoken.ok()) {
        std::fprintf(stderr, "%s: %s\n", lang.c_str(), spoken.error.c_str());
        return take;
    }
    take.samples.assign(kScriptSpeechRate / 2, 0);
    take.samples.insert(take.samples.end(), speech.begin(), speech.end());
    take.samples.insert(take.samples.end(), kScriptSpeechRate / 2, 0);
    std::uniform_int_distribution<int> hiss(-c.noise, c.noise);
    for (std::int16_t& s : take.samples)
        s = static_cast<std::int16_t>(std::clamp(s + hiss(random), -32768, 32767));
    const auto windows = static_cast<std::size_t>(
        (take.samples.size() * 100 + kScriptSpeechRate - 1) / kScriptSpeechRate);
    // The label of each window: the phoneme under its centre.
    take.truth.assign(windows, MouthShape::X);
    for (const ScriptPhoneme& p : spoken.phonemes) {
        const double start = p.startMs + 500.0, end = start + p.lengthMs;
        for (std::size_t w = static_cast<std::size_t>(std::max(0.0, start / 10.0 - 1));
             w < windows && w * 10.0 < end; ++w) {
            const double centre = w * 10.0 + 5.0;
            if (centre >= start && centre < end) take.truth[w] = p.mouth;
        }
    }
    take.ok = true;
    return take;
}

void Merge(Score& into, const Score& s) {
    into.windows += s.windows;
    into.exact += s.exact;
    into.near += s.near;
    into.cls += s.cls;
    into.closures += s.closures;
    into.closuresFound += s.closuresFound;
    into.closuresExact += s.closuresExact;
}

// The conditions of the script: the right one, a quarter of its words replaced, a sentence more
// than the take (the line before, cut from it), a sentence less (the take says the line before
// too), and a take that says the line twice.
enum Case { kRight, kWrong, kExtra, kMissing, kTwoTakes, kCases };
const char* const kCaseNames[kCases] = {"right", "1/4 wrong", "extra", "missing", "two takes"};

struct Tally {
    Score guess[kCases], script[kCases];
    long planted = 0, named = 0, namedRight = 0, rightNamed = 0, rightWords = 0;
    void Add(const Tally& t) {
        for (int k = 0; k < kCases; ++k) {
            Merge(guess[k], t.guess[k]);
            Merge(script[k], t.script[k]);
        }
        planted += t.planted;
        named += t.named;
        namedRight += t.namedRight;
        rightNamed += t.rightNamed;
        rightWords += t.rightWords;
    }
};

void Print(const std::string& lang, const std::string& cond, const Tally& t) {
    std::printf("%-5s %-6s %8ld", lang.c_str(), cond.c_str(), t.guess[kRight].windows);
    for (int k = 0; k < kCases; ++k) {
        std::printf(" | %5.1f %5.1f", Pct(t.guess[k].exact, t.guess[k].windows),
                    Pct(t.script[k].exact, t.script[k].windows));
    }
    std::printf(" | %5.1f %5.1f %5.1f %5.1f | %5.1f %5.1f",
                Pct(t.guess[kRight].closuresFound, t.guess[kRight].closures),
                Pct(t.script[kRight].closuresFound, t.script[kRight].closures),
                Pct(t.guess[kRight].closuresExact, t.guess[kRight].closures),
                Pct(t.script[kRight].closuresExact, t.script[kRight].closures),
                // precision: named words that were planted; recall: planted words named
                Pct(t.namedRight, t.named), Pct(t.namedRight, t.planted));
    std::printf(" | %5.1f\n", Pct(t.rightNamed, t.rightWords));
}

int Run(const std::string& dir, const std::vector<std::string>& languages) {
    const Condition conditions[] = {{"clean", "+m7", 165, 45, 0}, {"noise", "+f5", 150, 65, 300}};
    std::printf("exact per 10 ms, guess and script, per condition of the script\n");
    std::printf("%-5s %-6s %8s", "lang", "cond", "windows");
    for (const char* name : kCaseNames) std::printf(" | %-11s", name);
    std::printf(" | AMB 20ms g/s, exact g/s | 1/4 P   R   | right named\n");
    Tally all, allButEnglish;
    for (const std::string& lang : languages) {
        std::ifstream in(dir + "/" + lang + ".txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        std::vector<std::string> pool;  // the language's words, for wrong scripts
        for (const std::string& l : lines)
            for (const std::string& w : Words(l)) pool.push_back(w);
        Tally language;
        for (const Condition& c : conditions) {
            Tally t;
            std::mt19937 random(17);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::string& line = lines[i];
                const std::string& before = lines[(i + lines.size() - 1) % lines.size()];
                auto measure = [&](Case k, const std::string& spoken, const std::string& script,
                                   ScriptAlignment* out = nullptr) {
                    const Take take = Speak(spoken, lang, c, random);
                    if (!take.ok) return false;
                    const auto count = static_cast<std::int32_t>(take.samples.size());
                    t.guess[k].Add(GuessShapes(take.samples.data(), count, kScriptSpeechRate),
                                   take.truth);
                    ScriptAlignment a = AlignShapesToText(take.samples.data(), count,
                                                          kScriptSpeechRate, script, lang);
                    t.script[k].Add(a.per10ms, take.truth);

                    if (out) *out = std::move(a);
                    return true;
                };
                ScriptAlignment right;
                if (!measure(kRight, line, line, &right)) return 1;
                t.rightWords += static_cast<long>(right.words.size());
                t.rightNamed += right.NotFoundCount();
                // A quarter of the words replaced; the report is judged on the words replaced by
                // a different one (where the script's words are the written ones, one for one).
                const std::vector<std::string> said = Words(line);
                std::vector<std::string> wrong = said;
                std::vector<bool> planted(wrong.size(), false);
                for (std::size_t w = 0; w < wrong.size(); ++w) {
                    if (random() % 4 != 0) continue;
                    wrong[w] = pool[random() % pool.size()];
                    planted[w] = wrong[w] != said[w];
                }
                std::string wrongLine;
                for (const std::string& w : wrong) wrongLine += w + " ";
                ScriptAlignment a;
                measure(kWrong, line, wrongLine, &a);
                if (a.words.size() == wrong.size()) {
                    for (std::size_t w = 0; w < wrong.size(); ++w) {
                        const bool named = !a.words[w].found;
                        t.planted += planted[w];
                        t.named += named;
                        t.namedRight += named && planted[w];
                    }
                }
                measure(kExtra, line, before + " " + line);
                measure(kMissing, before + " " + line, line);
                measure(kTwoTakes, line + " " + line, line);
            }
            Print(lang, c.name, t);
            language.Add(t);
        }
        all.Add(language);
        if (lang != "en") allButEnglish.Add(language);
    }
    Print("all", "", all);
    Print("no en", "", allButEnglish);
    return 0;
}

}  // namespace
}  // namespace vokra

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: script_eval TEXT_DIR LANG...\n");
        return 2;
    }
    return vokra::Run(argv[1], std::vector<std::string>(argv + 2, argv + argc));
}

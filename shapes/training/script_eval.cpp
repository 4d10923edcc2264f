// Measures shapes from the script against the guess without it, on speech espeak-ng makes on the
// spot (its phoneme events are the labels): per language and condition, the share of 10 ms
// windows with the exact mouth (no tolerance, and within 20 ms), the right class and the closures
// (M, B, P) found; then the same with a quarter of the script's words replaced by other words of
// the language.
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
    long windows = 0, exact = 0, near = 0, cls = 0, closures = 0, closuresFound = 0;
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

int Run(const std::string& dir, const std::vector<std::string>& languages) {
    const Condition conditions[] = {{"clean", "+m7", 165, 45, 0}, {"noise", "+f5", 150, 65, 300}};
    std::printf("%-5s %-6s %7s | %-23s | %-23s | %-15s\n", "lang", "cond", "windows",
                "guess exact/20ms/cls/AMB", "script exact/20ms/cls/AMB", "1/4 wrong: exact");
    Score allGuess, allScript, allWrong;
    for (const std::string& lang : languages) {
        std::ifstream in(dir + "/" + lang + ".txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        std::vector<std::string> pool;  // the language's words, for wrong scripts
        for (const std::string& l : lines)
            for (const std::string& w : Words(l)) pool.push_back(w);
        for (const Condition& c : conditions) {
            Score guessScore, scriptScore, wrongScore;
            std::mt19937 random(17);
            long notFound = 0, words = 0;
            for (const std::string& line : lines) {
                std::vector<std::int16_t> speech;
                ScriptSpeechOptions o;
                o.wordsPerMinute = c.wpm;
                o.pitch = c.pitch;
                o.speech = &speech;
                const ScriptPhonemes spoken = PhonemesOfScript(line, lang + c.variant, o);
                if (!spoken.ok()) {
                    std::fprintf(stderr, "%s: %s\n", lang.c_str(), spoken.error.c_str());
                    return 1;
                }
                // Half a second of rest around the line, as a recorded take has.
                std::vector<std::int16_t> take(kScriptSpeechRate / 2, 0);
                take.insert(take.end(), speech.begin(), speech.end());
                take.insert(take.end(), kScriptSpeechRate / 2, 0);
                std::uniform_int_distribution<int> hiss(-c.noise, c.noise);
                for (std::int16_t& s : take)
                    s = static_cast<std::int16_t>(std::clamp(s + hiss(random), -32768, 32767));
                const auto windows = static_cast<std::size_t>(
                    (take.size() * 100 + kScriptSpeechRate - 1) / kScriptSpeechRate);
                // The label of each window: the phoneme under its centre.
                std::vector<MouthShape> truth(windows, MouthShape::X);
                for (const ScriptPhoneme& p : spoken.phonemes) {
                    const double start = p.startMs + 500.0, end = start + p.lengthMs;
                    for (std::size_t w = 0; w < windows; ++w) {
                        const double centre = w * 10.0 + 5.0;
                        if (centre >= start && centre < end) truth[w] = p.mouth;
                    }
                }
                const auto count = static_cast<std::int32_t>(take.size());
                guessScore.Add(GuessShapes(take.data(), count, kScriptSpeechRate), truth);
                const ScriptAlignment right =
                    AlignShapesToText(take.data(), count, kScriptSpeechRate, line, lang);
                scriptScore.Add(right.per10ms, truth);
                notFound += right.NotFoundCount();
                words += static_cast<long>(right.words.size());
                std::vector<std::string> wrong = Words(line);
                for (std::size_t i = 0; i < wrong.size(); ++i)
                    if (random() % 4 == 0) wrong[i] = pool[random() % pool.size()];
                std::string wrongLine;
                for (const std::string& w : wrong) wrongLine += w + " ";
                wrongScore.Add(
                    AlignShapesToText(take.data(), count, kScriptSpeechRate, wrongLine, lang)
                        .per10ms,
                    truth);
            }
            auto row = [](const Score& s) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%5.1f %5.1f %5.1f %5.1f", Pct(s.exact, s.windows),
                              Pct(s.near, s.windows), Pct(s.cls, s.windows),
                              Pct(s.closuresFound, s.closures));
                return std::string(buf);
            };
            std::printf("%-5s %-6s %7ld | %s | %s | %5.1f (%ld/%ld words not found right)\n",
                        lang.c_str(), c.name, guessScore.windows, row(guessScore).c_str(),
                        row(scriptScore).c_str(), Pct(wrongScore.exact, wrongScore.windows),
                        notFound, words);
            auto merge = [](Score& into, const Score& s) {
                into.windows += s.windows;
                into.exact += s.exact;
                into.near += s.near;
                into.cls += s.cls;
                into.closures += s.closures;
                into.closuresFound += s.closuresFound;
            };
            merge(allGuess, guessScore);
            merge(allScript, scriptScore);
            merge(allWrong, wrongScore);
        }
    }
    std::printf(
        "all              %7ld | %5.1f %5.1f %5.1f %5.1f | %5.1f %5.1f %5.1f %5.1f | %5.1f\n",
        allGuess.windows, Pct(allGuess.exact, allGuess.windows),
        Pct(allGuess.near, allGuess.windows), Pct(allGuess.cls, allGuess.windows),
        Pct(allGuess.closuresFound, allGuess.closures), Pct(allScript.exact, allScript.windows),
        Pct(allScript.near, allScript.windows), Pct(allScript.cls, allScript.windows),
        Pct(allScript.closuresFound, allScript.closures), Pct(allWrong.exact, allWrong.windows));
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

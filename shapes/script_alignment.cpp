#include "shapes/script_alignment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "shapes/shape_estimator.h"
#include "shapes/shape_features.h"
#include "shapes/shape_model.h"

namespace vokra {
namespace {

constexpr float kNever = -1e30f;
// States further than this below the best one are dropped; a path that far behind does not come
// back within the few windows the beam could still hold it.
constexpr float kBeam = 40.0f;
// The scores are log-probabilities from a small model, often sure of a wrong mouth; a window
// that disagrees costs no more than this, so the order of the sounds and their lengths can
// outweigh a run of confident mistakes.
constexpr float kScoreFloor = -4.0f;
// What each phoneme the sound ended before costs the path that leaves it out.
constexpr float kUnreachedPhonemeCost = 12.0f;
// Entering a pause between words where espeak-ng reads on, and where it pauses itself.
constexpr float kPauseCost = 5.0f;
constexpr float kReadPauseCost = 1.0f;
// A phoneme lasts at least this share of its prior's length, or pays for each window less; each
// window it lasts past about its prior's length is paid for too.
constexpr double kLeastShare = 0.7;
constexpr float kShortenCost = 1.0f;
constexpr float kLengthenCost = 0.7f;
// A script that would take this many times the sound's length to speak (plus the slack below)
// cannot be what was said there.
constexpr double kMostScriptPerSound = 4.0;
constexpr std::int32_t kScriptSlackMs = 10000;
// Each window of speech the script does not have (an ad-lib) costs the gap between words this
// much against the best mouth there; a word of the script that agrees worse than that is better
// left out of the walk.
constexpr float kUnscriptedCost = 2.5f;

// One step of the chain the path walks through: a part of a phoneme, or a pause.
struct State {
    MouthShape mouth = MouthShape::X;
    float stay = 0.0f;   // log-weight of staying one more window (kNever: must move on)
    float leave = 0.0f;  // log-weight of moving on
    float enter = 0.0f;  // cost of coming in (pauses)
    float skip =
        kNever;          // cost of going past it without a window (pauses, a phoneme's later parts)
    bool pause = false;  // the lead-in and the pauses after words: may be skipped
    std::int32_t word = -1;
    std::int32_t phonemesLeft = 0;  // phonemes of the script after this state's
};

struct Chain {
    std::vector<State> states;
    std::int32_t phonemes = 0;
};

// The states of the script: a lead-in pause, then per word its phonemes (each split into one to
// three parts that must each last a window, so it lasts at least that long; its last part stays
// about its prior's length) and a pause after it that may be skipped.
Chain BuildChain(const ScriptPhonemes& script, double tempo) {
    Chain chain;
    for (const ScriptPhoneme& p : script.phonemes) chain.phonemes += p.word >= 0 ? 1 : 0;
    State lead;
    lead.pause = true;
    lead.phonemesLeft = chain.phonemes;
    chain.states.push_back(lead);
    std::int32_t done = 0;
    std::int32_t word = -1;
    bool readPause = false;
    auto addPause = [&](float enter) {
        State s;
        s.pause = true;
        s.enter = enter;
        s.skip = 0.0f;
        s.phonemesLeft = chain.phonemes - done;
        chain.states.push_back(s);
    };
    for (const ScriptPhoneme& p : script.phonemes) {
        if (p.word < 0) {
            readPause = true;
            continue;
        }
        if (p.word != word) {
            if (word >= 0) addPause(readPause ? kReadPauseCost : kPauseCost);
            readPause = false;
            word = p.word;
        }
        ++done;
        // At least most of its prior's length, each window of which may be skipped at a cost;
        // then about two windows more, each further one paid for.
        const double windows = std::max(1.0, p.lengthMs / 10.0 * tempo);
        const int parts = std::clamp(static_cast<int>(std::lround(windows * kLeastShare)), 1, 40);
        for (int k = 0; k < parts; ++k) {
            State s;
            s.mouth = p.mouth;
            s.word = p.word;
            s.phonemesLeft = chain.phonemes - done;
            s.skip = k > 0 ? kShortenCost : kNever;
            if (k + 1 < parts) {
                s.stay = kNever;
            } else {
                s.stay = -kLengthenCost;
                s.leave = std::log(1.0f - std::exp(s.stay));
            }
            chain.states.push_back(s);
        }
    }
    addPause(0.0f);  // the silence after the last word
    return chain;
}

// Back-pointers of the beam, two bits per live state and window: 0 stayed, 1 came from the state
// before, 2 skipped a pause.
class BackTrack {
public:
    void Reserve(std::int32_t windows) {
        lo_.reserve(static_cast<std::size_t>(windows));
        at_.reserve(static_cast<std::size_t>(windows));
    }
    void Begin(std::int32_t lo) {
        lo_.push_back(lo);
        at_.push_back(next_);
    }
    void Put(std::uint8_t step) {
        if (next_ % 4 == 0) bits_.push_back(0);
        bits_.back() |= static_cast<std::uint8_t>(step << (2 * (next_ % 4)));
        ++next_;
    }
    std::uint8_t Get(std::size_t window, std::int32_t state) const {
        const std::int64_t i = at_[window] + (state - lo_[window]);
        return static_cast<std::uint8_t>((bits_[static_cast<std::size_t>(i / 4)] >> (2 * (i % 4))) &
                                         3);
    }

private:
    std::vector<std::int32_t> lo_;
    std::vector<std::int64_t> at_;
    std::vector<std::uint8_t> bits_;
    std::int64_t next_ = 0;
};

// The best walk through the chain over the windows' scores; the state of each window.
std::vector<std::int32_t> BestWalk(const Chain& chain, const std::vector<float>& scores,
                                   std::int32_t windows) {
    const auto& st = chain.states;
    const auto last = static_cast<std::int32_t>(st.size()) - 1;
    auto emit = [&](std::int32_t t, std::int32_t s) {
        const float* row = scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount;
        const State& state = st[static_cast<std::size_t>(s)];
        float v = row[MouthShapeIndex(state.mouth)];
        // A gap between words is rest, or speech the script does not have, at a price.
        if (state.pause)
            v = std::max(v, *std::max_element(row, row + kMouthShapeCount) - kUnscriptedCost);
        return std::max(kScoreFloor, v);
    };
    BackTrack back;
    back.Reserve(windows);
    // The live states [lo, hi] and their totals.
    std::int32_t lo = 0, hi = std::min(1, last);
    std::vector<float> total(st.size(), kNever), next(st.size(), kNever);
    total[0] = emit(0, 0);
    if (hi == 1) total[1] = emit(0, 1);
    back.Begin(lo);
    for (std::int32_t s = lo; s <= hi; ++s) back.Put(0);
    for (std::int32_t t = 1; t < windows; ++t) {
        const std::int32_t newHi = std::min(last, hi + 2);
        float best = kNever;
        std::int32_t bestState = lo;
        std::vector<std::uint8_t> steps(static_cast<std::size_t>(newHi - lo + 1), 0);
        for (std::int32_t s = lo; s <= newHi; ++s) {
            const State& state = st[static_cast<std::size_t>(s)];
            float v = kNever;
            std::uint8_t step = 0;
            if (s <= hi && state.stay > kNever) v = total[static_cast<std::size_t>(s)] + state.stay;
            if (s - 1 >= lo && s - 1 <= hi) {
                const State& from = st[static_cast<std::size_t>(s - 1)];
                const float w = total[static_cast<std::size_t>(s - 1)] + from.leave - state.enter;
                if (w > v) {
                    v = w;
                    step = 1;
                }
            }
            if (s - 2 >= lo && s - 2 <= hi && st[static_cast<std::size_t>(s - 1)].skip > kNever) {
                const State& from = st[static_cast<std::size_t>(s - 2)];
                const float w = total[static_cast<std::size_t>(s - 2)] + from.leave -
                                st[static_cast<std::size_t>(s - 1)].skip;
                if (w > v) {
                    v = w;
                    step = 2;
                }
            }
            if (v > kNever / 2) v += emit(t, s);
            next[static_cast<std::size_t>(s)] = v;
            steps[static_cast<std::size_t>(s - lo)] = step;
            if (v > best) {
                best = v;
                bestState = s;
            }
        }
        // Only the states near the best live on, at most kScriptBeamStates of them.
        std::int32_t newLo = lo, top = newHi;
        while (newLo < bestState && next[static_cast<std::size_t>(newLo)] < best - kBeam) ++newLo;
        while (top > bestState && next[static_cast<std::size_t>(top)] < best - kBeam) --top;
        while (top - newLo + 1 > kScriptBeamStates) {
            if (bestState - newLo > top - bestState) {
                ++newLo;
            } else {
                --top;
            }
        }
        back.Begin(newLo);
        for (std::int32_t s = newLo; s <= top; ++s) {
            back.Put(steps[static_cast<std::size_t>(s - lo)]);
            // Totals are kept near zero so a long sound loses no precision.
            total[static_cast<std::size_t>(s)] = next[static_cast<std::size_t>(s)] - best;
        }
        for (std::int32_t s = lo; s < newLo; ++s) total[static_cast<std::size_t>(s)] = kNever;
        for (std::int32_t s = top + 1; s <= newHi; ++s) total[static_cast<std::size_t>(s)] = kNever;
        lo = newLo;
        hi = top;
    }
    // The end: phonemes the sound ended before count against the walk that leaves them out.
    std::int32_t end = lo;
    float best = kNever;
    for (std::int32_t s = lo; s <= hi; ++s) {
        const float v = total[static_cast<std::size_t>(s)] -
                        kUnreachedPhonemeCost *
                            static_cast<float>(st[static_cast<std::size_t>(s)].phonemesLeft);
        if (v > best) {
            best = v;
            end = s;
        }
    }
    std::vector<std::int32_t> walk(static_cast<std::size_t>(windows));
    std::int32_t s = end;
    for (std::int32_t t = windows - 1; t >= 0; --t) {
        walk[static_cast<std::size_t>(t)] = s;
        if (t > 0) s -= back.Get(static_cast<std::size_t>(t), s);
    }
    return walk;
}

std::string Seconds(std::int32_t window) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f s", window / 100.0);
    return buf;
}

}  // namespace

std::int32_t ScriptAlignment::NotFoundCount() const {
    return static_cast<std::int32_t>(
        std::count_if(words.begin(), words.end(), [](const PlacedWord& w) { return !w.found; }));
}

ScriptAlignment AlignShapesToScript(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ScriptPhonemes& script,
                                    const ScriptAlignOptions& options) {
    if (!script.ok()) {
        ScriptAlignment out;
        out.error = script.error;
        return out;
    }
    // Every window scored once, by the same scorer as the guess without the script.
    ShapeInputStream stream(samples, count, sampleRate);
    const std::int32_t windows = stream.WindowCount();
    std::vector<float> scores(static_cast<std::size_t>(windows) * kMouthShapeCount);
    std::vector<float> input(kShapeInputCount);
    for (std::int32_t t = 0; t < windows && stream.Next(input.data()); ++t) {
        ScoreWindow(input.data(), scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount,
                    ShapePriorWeight());
    }
    return AlignScoresToScript(scores, script, options);
}

ScriptAlignment AlignScoresToScript(const std::vector<float>& scores, const ScriptPhonemes& script,
                                    const ScriptAlignOptions& options) {
    ScriptAlignment out;
    if (!script.ok()) {
        out.error = script.error;
        return out;
    }
    for (const ScriptWord& w : script.words) out.words.push_back({w.text});
    const auto windows = static_cast<std::int32_t>(scores.size() / kMouthShapeCount);
    if (windows == 0) return out;
    // The guess without the script walks the same scores.
    ShapeViterbi free(ShapeChangeCost(), windows);
    for (std::int32_t t = 0; t < windows; ++t) {
        free.Push(scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount);
    }
    const std::vector<MouthShape> guess = free.Finish();
    auto finish = [&](std::vector<MouthShape> shapes) {
        if (options.timing) ApplyShapeTiming(shapes);
        out.per10ms = std::move(shapes);
        return out;
    };

    double priorWindows = 0.0;
    for (const ScriptPhoneme& p : script.phonemes)
        priorWindows += p.word >= 0 ? p.lengthMs / 10.0 : 0.0;
    if (script.words.empty() || priorWindows <= 0.0) {
        out.notice =
            "The script holds no words to place; the shapes were guessed from the sound alone.";
        return finish(guess);
    }
    if (script.cut || script.lengthMs > kMostScriptPerSound * windows * 10.0 + kScriptSlackMs) {
        out.notice =
            "The script is far longer than the sound could hold; the shapes were guessed from "
            "the sound alone.";
        return finish(guess);
    }
    // The speaker's pace against espeak-ng's: the prior's lengths are scaled to the speech heard.
    const auto speech = static_cast<double>(
        std::count_if(guess.begin(), guess.end(), [](MouthShape m) { return m != MouthShape::X; }));
    const double tempo = std::clamp(speech / priorWindows, 0.5, 2.5);
    const Chain chain = BuildChain(script, tempo);
    const std::vector<std::int32_t> walk = BestWalk(chain, scores, windows);

    std::vector<MouthShape> shapes(static_cast<std::size_t>(windows), MouthShape::X);
    std::vector<double> sums(out.words.size(), 0.0);
    for (std::int32_t t = 0; t < windows; ++t) {
        const State& s = chain.states[static_cast<std::size_t>(walk[static_cast<std::size_t>(t)])];
        shapes[static_cast<std::size_t>(t)] = s.mouth;
        const float* row = scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount;
        if (s.word < 0) {
            // Unscripted speech in a gap gets the guess without the script.
            if (row[MouthShapeIndex(MouthShape::X)] <
                *std::max_element(row, row + kMouthShapeCount) - kUnscriptedCost) {
                shapes[static_cast<std::size_t>(t)] = guess[static_cast<std::size_t>(t)];
            }
            continue;
        }
        PlacedWord& w = out.words[static_cast<std::size_t>(s.word)];
        if (w.firstWindow < 0) w.firstWindow = t;
        w.endWindow = t + 1;
        sums[static_cast<std::size_t>(s.word)] +=
            row[MouthShapeIndex(s.mouth)] - *std::max_element(row, row + kMouthShapeCount);
    }
    // The pace of the words found, to tell a word squeezed or stretched past speaking.
    std::vector<double> wordPrior(out.words.size(), 0.0);
    for (const ScriptPhoneme& p : script.phonemes)
        if (p.word >= 0) wordPrior[static_cast<std::size_t>(p.word)] += p.lengthMs / 10.0 * tempo;
    double placedSum = 0.0, placedWindows = 0.0;
    for (std::size_t i = 0; i < out.words.size(); ++i) {
        PlacedWord& w = out.words[i];
        if (w.firstWindow < 0) continue;  // the sound ended before it
        const double length = w.endWindow - w.firstWindow;
        w.agreement = static_cast<float>(sums[i] / length);
        placedSum += sums[i];
        placedWindows += length;
        const double pace = length / std::max(1.0, wordPrior[i]);
        w.found = w.agreement >= options.leastWordAgreement && pace >= 0.25 && pace <= 4.0;
    }
    // A script that agrees this badly as a whole is another text, or another language, than
    // what was said: single words of it would only match by chance.
    if (placedWindows > 0.0 && placedSum / placedWindows < options.leastScriptAgreement) {
        for (PlacedWord& w : out.words) w.found = false;
        out.notice =
            "The script does not match the sound (another text, or another language?); the "
            "shapes were guessed from the sound alone.";
        return finish(guess);
    }
    for (const PlacedWord& w : out.words) {
        if (!w.found && w.firstWindow >= 0) {
            std::copy(guess.begin() + w.firstWindow, guess.begin() + w.endWindow,
                      shapes.begin() + w.firstWindow);
        }
    }
    return finish(std::move(shapes));
}

ScriptAlignment AlignShapesToText(const std::int16_t* samples, std::int32_t count,
                                  std::int32_t sampleRate, std::string_view text,
                                  const std::string& language, const ScriptAlignOptions& options) {
    ScriptSpeechOptions reading;
    const double soundMs = sampleRate > 0 ? count * 1000.0 / sampleRate : 0.0;
    reading.maxMs = static_cast<std::int32_t>(
        std::min<double>(INT32_MAX / 2, kMostScriptPerSound * soundMs + kScriptSlackMs));
    const ScriptPhonemes script = PhonemesOfScript(text, language, reading);
    return AlignShapesToScript(samples, count, sampleRate, script, options);
}

std::string NotFoundText(const ScriptAlignment& alignment, std::size_t most) {
    const std::int32_t missing = alignment.NotFoundCount();
    if (missing == 0 || !alignment.notice.empty()) return {};
    std::string text = std::to_string(missing) + " of " + std::to_string(alignment.words.size()) +
                       (alignment.words.size() == 1 ? " word was" : " words were") +
                       " not found in the sound:";
    std::size_t named = 0;
    for (const PlacedWord& w : alignment.words) {
        if (w.found) continue;
        if (named == most) {
            text += ", ...";
            break;
        }
        text += (named ? ", \"" : " \"") + w.text + "\" (" +
                (w.firstWindow >= 0 ? Seconds(w.firstWindow) : std::string("after the end")) + ")";
        ++named;
    }
    return text;
}

}  // namespace vokra

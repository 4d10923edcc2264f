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
constexpr float kBeam = 60.0f;
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
// Less before the first word and after the last: a take holds more than the script most often
// there (the line before, a second take). Between sentences it costs as between words: cheaper
// there, the pauses swallowed the script's own speech.
constexpr float kEdgeUnscriptedCost = 1.0f;
// The slowest pace, against the prior's, the first walk assumes.
constexpr double kFirstWalkSlowest = 1.15;
// Leaving words of the script out of the walk (a sentence cut from the take, a word never said):
// this much for the run, and per word and phoneme left out, so a word that is there is walked
// through rather than skipped for a few poor windows, while a whole sentence stays within the
// beam's reach.
constexpr float kSkipRunCost = 6.0f;
constexpr float kSkipWordCost = 2.0f;
constexpr float kSkipPhonemeCost = 1.0f;
// Speech outside the words found, longer than this, is named as not in the script.
constexpr std::int32_t kLeastUnscriptedWindows = 50;

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
    std::int32_t after = -1;        // a pause: the word it follows (-1 for the lead-in)
    std::int32_t phoneme = -1;      // which phoneme of the chain it is a part of
    float unscripted = 0.0f;        // a pause: what each window of speech in it costs
};

struct Chain {
    std::vector<State> states;
    std::int32_t phonemes = 0;
    // Per word: the pause before it (the lead-in, or the pause after the word before), the
    // pause after it, and what leaving it out of the walk costs.
    std::vector<std::int32_t> pauseBefore, pauseAfter;
    std::vector<float> skipCost;
    std::vector<std::int32_t> wordOf;  // the script's index of each word of the chain
};

// The states of the script: a lead-in pause, then per word its phonemes (each split into one to
// three parts that must each last a window, so it lasts at least that long; its last part stays
// about its prior's length) and a pause after it that may be skipped.
Chain BuildChain(const ScriptPhonemes& script, double tempo, float edgeCost) {
    Chain chain;
    for (const ScriptPhoneme& p : script.phonemes) chain.phonemes += p.word >= 0 ? 1 : 0;
    State lead;
    lead.pause = true;
    lead.unscripted = edgeCost;
    lead.phonemesLeft = chain.phonemes;
    chain.states.push_back(lead);
    std::int32_t done = 0;
    std::int32_t word = -1;
    bool readPause = false;
    auto addPause = [&](float enter, float unscripted) {
        State s;
        s.pause = true;
        s.unscripted = unscripted;
        s.enter = enter;
        s.skip = 0.0f;
        s.phonemesLeft = chain.phonemes - done;
        s.after = word;
        chain.pauseAfter.push_back(static_cast<std::int32_t>(chain.states.size()));
        chain.states.push_back(s);
    };
    for (const ScriptPhoneme& p : script.phonemes) {
        if (p.word < 0) {
            readPause = true;
            continue;
        }
        if (p.word != word) {
            if (word >= 0) {
                addPause(readPause ? kReadPauseCost : kPauseCost, kUnscriptedCost);
            }
            readPause = false;
            word = p.word;
            chain.pauseBefore.push_back(static_cast<std::int32_t>(chain.states.size()) - 1);
            chain.skipCost.push_back(kSkipWordCost);
            chain.wordOf.push_back(word);
        }
        chain.skipCost.back() += kSkipPhonemeCost;
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
            s.phoneme = done;
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
    addPause(0.0f, edgeCost);  // the silence after the last word
    return chain;
}

// Back-pointers of the beam, two bits per live state and window: 0 stayed, 1 came from the state
// before, 2 skipped a pause, 3 left words out (the state it came from is kept aside, as only
// the pauses after words can be reached so).
class BackTrack {
public:
    void Reserve(std::int32_t windows) {
        lo_.reserve(static_cast<std::size_t>(windows));
        at_.reserve(static_cast<std::size_t>(windows));
        jumpsAt_.reserve(static_cast<std::size_t>(windows) + 1);
    }
    void Begin(std::int32_t lo) {
        lo_.push_back(lo);
        at_.push_back(next_);
        jumpsAt_.push_back(static_cast<std::int64_t>(jumps_.size()));
    }
    void Put(std::uint8_t step) {
        if (next_ % 4 == 0) bits_.push_back(0);
        bits_.back() |= static_cast<std::uint8_t>(step << (2 * (next_ % 4)));
        ++next_;
    }
    // A jump into `state` of the window begun last, from `from` (in increasing order of state).
    void PutJump(std::int32_t state, std::int32_t from) { jumps_.push_back({state, from}); }
    std::uint8_t Get(std::size_t window, std::int32_t state) const {
        const std::int64_t i = at_[window] + (state - lo_[window]);
        return static_cast<std::uint8_t>((bits_[static_cast<std::size_t>(i / 4)] >> (2 * (i % 4))) &
                                         3);
    }
    std::int32_t JumpFrom(std::size_t window, std::int32_t state) const {
        const auto first = jumps_.begin() + jumpsAt_[window];
        const auto last =
            window + 1 < jumpsAt_.size() ? jumps_.begin() + jumpsAt_[window + 1] : jumps_.end();
        const auto at = std::lower_bound(first, last, state,
                                         [](const Jump& j, std::int32_t s) { return j.state < s; });
        return at != last && at->state == state ? at->from : state;
    }

private:
    struct Jump {
        std::int32_t state, from;
    };
    std::vector<std::int32_t> lo_;
    std::vector<std::int64_t> at_;
    std::vector<std::uint8_t> bits_;
    std::int64_t next_ = 0;
    std::vector<Jump> jumps_;
    std::vector<std::int64_t> jumpsAt_;
};

struct Walk {
    std::vector<std::int32_t> states;  // the state of each window
    // Per word of the chain, the window where the walk left it out (-1: walked or never reached).
    std::vector<std::int32_t> skippedAt;
};

// The best walk through the chain over the windows' scores.
Walk BestWalk(const Chain& chain, const std::vector<float>& scores, std::int32_t windows) {
    const auto& st = chain.states;
    const auto last = static_cast<std::int32_t>(st.size()) - 1;
    const auto words = static_cast<std::int32_t>(chain.pauseBefore.size());
    auto emit = [&](std::int32_t t, std::int32_t s) {
        const float* row = scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount;
        const State& state = st[static_cast<std::size_t>(s)];
        float v = row[MouthShapeIndex(state.mouth)];
        // A gap between words is rest, or speech the script does not have, at a price.
        if (state.pause)
            v = std::max(v, *std::max_element(row, row + kMouthShapeCount) - state.unscripted);
        // Closed lips are silent until they open: the closure of m, b, p sounds like rest.
        if (state.mouth == MouthShape::A) v = std::max(v, row[MouthShapeIndex(MouthShape::X)]);
        return std::max(kScoreFloor, v);
    };
    // The first word whose pause before it is at or after state s.
    auto wordFrom = [&](std::int32_t s) {
        return static_cast<std::int32_t>(
            std::lower_bound(chain.pauseBefore.begin(), chain.pauseBefore.end(), s) -
            chain.pauseBefore.begin());
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
    struct Jump {
        std::int32_t to, from;
        float value;
    };
    std::vector<Jump> jumps;
    for (std::int32_t t = 1; t < windows; ++t) {
        // Leaving words out: from the pause before word i to the pause after word j >= i, for
        // what the words i..j cost. Scanned once over the words in reach, best source kept.
        jumps.clear();
        std::int32_t reach = std::min(last, hi + 2);
        {
            float run = kNever;
            std::int32_t from = -1;
            for (std::int32_t j = wordFrom(lo); j < words; ++j) {
                const std::int32_t before = chain.pauseBefore[static_cast<std::size_t>(j)];
                if (before > hi && run < -kBeam) break;
                if (before <= hi) {
                    const float v = total[static_cast<std::size_t>(before)] - kSkipRunCost;
                    if (v > run) {
                        run = v;
                        from = before;
                    }
                }
                run -= chain.skipCost[static_cast<std::size_t>(j)];
                if (run < -kBeam) continue;
                const std::int32_t to = chain.pauseAfter[static_cast<std::size_t>(j)];
                jumps.push_back({to, from, run});
                reach = std::max(reach, to);
            }
        }
        const std::int32_t newHi = reach;
        float best = kNever;
        std::int32_t bestState = lo;
        std::vector<std::uint8_t> steps(static_cast<std::size_t>(newHi - lo + 1), 0);
        std::size_t nextJump = 0;
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
            while (nextJump < jumps.size() && jumps[nextJump].to < s) ++nextJump;
            if (nextJump < jumps.size() && jumps[nextJump].to == s && jumps[nextJump].value > v) {
                v = jumps[nextJump].value;
                step = 3;
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
        for (const Jump& j : jumps) {
            if (j.to >= newLo && j.to <= top && steps[static_cast<std::size_t>(j.to - lo)] == 3)
                back.PutJump(j.to, j.from);
        }
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
    Walk walk;
    walk.states.resize(static_cast<std::size_t>(windows));
    walk.skippedAt.assign(static_cast<std::size_t>(words), -1);
    std::int32_t s = end;
    for (std::int32_t t = windows - 1; t >= 0; --t) {
        walk.states[static_cast<std::size_t>(t)] = s;
        if (t == 0) break;
        const std::uint8_t step = back.Get(static_cast<std::size_t>(t), s);
        if (step == 3) {
            const std::int32_t from = back.JumpFrom(static_cast<std::size_t>(t), s);
            for (std::int32_t j = wordFrom(from);
                 j < words && chain.pauseAfter[static_cast<std::size_t>(j)] <= s; ++j)
                walk.skippedAt[static_cast<std::size_t>(j)] = t;
            s = from;
        } else {
            s -= step;
        }
    }
    return walk;
}

std::string Seconds(std::int32_t window) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f s", window / 100.0);
    return buf;
}

// Places the script's words with the given cost of unscripted speech at its ends: fills
// out.words and out.unscripted, and returns the shapes (the script's where words were found).
std::vector<MouthShape> PlaceWords(ScriptAlignment& out, const std::vector<float>& scores,
                                   const ScriptPhonemes& script, const ScriptAlignOptions& options,
                                   const std::vector<MouthShape>& guess, float edgeCost) {
    const auto windows = static_cast<std::int32_t>(guess.size());
    double priorWindows = 0.0;
    for (const ScriptPhoneme& p : script.phonemes)
        priorWindows += p.word >= 0 ? p.lengthMs / 10.0 : 0.0;
    // The speaker's pace against espeak-ng's: the prior's lengths are scaled to the speech heard.
    const auto speech = static_cast<double>(
        std::count_if(guess.begin(), guess.end(), [](MouthShape m) { return m != MouthShape::X; }));
    // All the speech over the script's length is the pace only when the take is the script; a
    // take with more in it (the line before, a second take) would stretch every word. So the
    // first walk assumes at most a somewhat slow pace, and the pace of the words it placed, when
    // it differs, sets the second.
    double tempo = std::clamp(speech / priorWindows, 0.5, kFirstWalkSlowest);
    Chain chain = BuildChain(script, tempo, edgeCost);
    Walk walk = BestWalk(chain, scores, windows);
    {
        double placed = 0.0, prior = 0.0;
        std::vector<std::int32_t> first(script.words.size(), -1), end(script.words.size(), -1);
        for (std::int32_t t = 0; t < windows; ++t) {
            const State& s =
                chain.states[static_cast<std::size_t>(walk.states[static_cast<std::size_t>(t)])];
            if (s.word < 0) continue;
            if (first[static_cast<std::size_t>(s.word)] < 0)
                first[static_cast<std::size_t>(s.word)] = t;
            end[static_cast<std::size_t>(s.word)] = t + 1;
        }
        std::vector<double> wordPrior(script.words.size(), 0.0);
        for (const ScriptPhoneme& p : script.phonemes)
            if (p.word >= 0) wordPrior[static_cast<std::size_t>(p.word)] += p.lengthMs / 10.0;
        for (std::size_t i = 0; i < script.words.size(); ++i) {
            if (first[i] < 0) continue;
            placed += end[i] - first[i];
            prior += wordPrior[i];
        }
        const double pace = prior > 0.0 ? std::clamp(placed / prior, 0.5, 2.5) : tempo;
        if (std::abs(pace / tempo - 1.0) > 0.15) {
            tempo = pace;
            chain = BuildChain(script, tempo, edgeCost);
            walk = BestWalk(chain, scores, windows);
        }
    }

    // Each word's evidence: per phoneme, how its mouth scores against the guess's mouth over the
    // windows it was placed on; the word's is the mean of its phonemes', so one short phoneme
    // that is plainly not there counts as much as a long vowel that happens to match.
    std::vector<MouthShape> shapes = guess;
    // The pauses between words where the estimator is not sure of speech: the word each follows.
    std::vector<std::int32_t> restAfter(static_cast<std::size_t>(windows), -1);
    std::vector<double> phonemeSum(out.words.size(), 0.0);
    std::vector<std::int32_t> phonemeCount(out.words.size(), 0);
    double runSum = 0.0;
    std::int32_t runWindows = 0, runPhoneme = -1;
    auto closeRun = [&](std::int32_t word) {
        if (runWindows == 0) return;
        phonemeSum[static_cast<std::size_t>(word)] += runSum / runWindows;
        ++phonemeCount[static_cast<std::size_t>(word)];
        runSum = 0.0;
        runWindows = 0;
    };
    std::int32_t runWord = -1;
    for (std::int32_t t = 0; t < windows; ++t) {
        const std::int32_t at = walk.states[static_cast<std::size_t>(t)];
        const State& s = chain.states[static_cast<std::size_t>(at)];
        const float* row = scores.data() + static_cast<std::size_t>(t) * kMouthShapeCount;
        if (s.phoneme != runPhoneme && runWord >= 0) closeRun(runWord);
        runWord = s.word;
        runPhoneme = s.phoneme;
        if (s.word < 0) {
            // A pause between words found: rest, unless the estimator is sure of speech there.
            if (row[MouthShapeIndex(MouthShape::X)] >=
                *std::max_element(row, row + kMouthShapeCount) - kUnscriptedCost)
                restAfter[static_cast<std::size_t>(t)] = s.after;
            continue;
        }
        PlacedWord& w = out.words[static_cast<std::size_t>(s.word)];
        if (w.firstWindow < 0) w.firstWindow = t;
        w.endWindow = t + 1;
        float mine = row[MouthShapeIndex(s.mouth)];
        if (s.mouth == MouthShape::A) mine = std::max(mine, row[MouthShapeIndex(MouthShape::X)]);
        const float theirs = row[MouthShapeIndex(guess[static_cast<std::size_t>(t)])];
        runSum += std::max(kScoreFloor, mine) - std::max(kScoreFloor, theirs);
        ++runWindows;
        shapes[static_cast<std::size_t>(t)] = s.mouth;
    }
    if (runWord >= 0) closeRun(runWord);
    // The pace of the words found, to tell a word squeezed or stretched past speaking.
    std::vector<double> wordPrior(out.words.size(), 0.0);
    for (const ScriptPhoneme& p : script.phonemes)
        if (p.word >= 0) wordPrior[static_cast<std::size_t>(p.word)] += p.lengthMs / 10.0 * tempo;
    for (std::size_t i = 0; i < out.words.size(); ++i) {
        PlacedWord& w = out.words[i];
        if (w.firstWindow < 0) continue;  // left out, or the sound ended before it
        const double length = w.endWindow - w.firstWindow;
        w.agreement = static_cast<float>(phonemeSum[i] / std::max(1, phonemeCount[i]));
        const double pace = length / std::max(1.0, wordPrior[i]);
        w.found = w.agreement >= options.leastWordAgreement && pace >= 0.25 && pace <= 4.0;
    }
    for (std::size_t j = 0; j < walk.skippedAt.size(); ++j) {
        const std::int32_t t = walk.skippedAt[j];
        if (t < 0) continue;
        PlacedWord& w = out.words[static_cast<std::size_t>(chain.wordOf[j])];
        w.firstWindow = w.endWindow = t;
        w.skipped = true;
    }
    // Only the words found keep the script's mouths; everywhere else (the words not found, the
    // gaps, speech the script does not have) the guess stands, so the script never silences
    // speech.
    std::vector<bool> covered(static_cast<std::size_t>(windows), false);
    for (const PlacedWord& w : out.words) {
        if (w.found) {
            std::fill(covered.begin() + w.firstWindow, covered.begin() + w.endWindow, true);
        } else if (w.endWindow > w.firstWindow && w.agreement < options.leastKeptAgreement) {
            std::copy(guess.begin() + w.firstWindow, guess.begin() + w.endWindow,
                      shapes.begin() + w.firstWindow);
        }
    }
    // Between two words found in a row, a pause is rest where the estimator hears no sure speech:
    // the script knows the words end there.
    for (std::int32_t t = 0; t < windows; ++t) {
        const std::int32_t after = restAfter[static_cast<std::size_t>(t)];
        if (after >= 0 && static_cast<std::size_t>(after) + 1 < out.words.size() &&
            out.words[static_cast<std::size_t>(after)].found &&
            out.words[static_cast<std::size_t>(after) + 1].found) {
            shapes[static_cast<std::size_t>(t)] = MouthShape::X;
            covered[static_cast<std::size_t>(t)] = true;
        }
    }
    // Speech the words found do not cover, a pause or two aside: said as such.
    for (std::int32_t t = 0; t < windows;) {
        if (covered[static_cast<std::size_t>(t)] ||
            guess[static_cast<std::size_t>(t)] == MouthShape::X) {
            ++t;
            continue;
        }
        std::int32_t end = t, heard = 0, lastSpeech = t;
        while (end < windows && !covered[static_cast<std::size_t>(end)] &&
               end - lastSpeech < kLeastUnscriptedWindows) {
            if (guess[static_cast<std::size_t>(end)] != MouthShape::X) {
                ++heard;
                lastSpeech = end;
            }
            ++end;
        }
        if (heard >= kLeastUnscriptedWindows) out.unscripted.push_back({t, lastSpeech + 1});
        t = end;
    }
    return shapes;
}

std::int64_t FoundWords(const ScriptAlignment& a) {
    std::int64_t n = 0;
    for (const PlacedWord& w : a.words) n += w.found;
    return n;
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
    // Two walks: one that holds the script's ends to the speech, one that lets speech before
    // the first word and after the last go unscripted (a take with the line before, or twice).
    // The one that finds more of the script's words is kept; the first on a tie.
    ScriptAlignment strict = out, loose = out;
    std::vector<MouthShape> strictShapes =
        PlaceWords(strict, scores, script, options, guess, kUnscriptedCost);
    std::vector<MouthShape> looseShapes =
        PlaceWords(loose, scores, script, options, guess, kEdgeUnscriptedCost);
    const bool useLoose = FoundWords(loose) > FoundWords(strict);
    out = useLoose ? std::move(loose) : std::move(strict);
    std::vector<MouthShape> shapes = useLoose ? std::move(looseShapes) : std::move(strictShapes);
    if (out.NotFoundCount() == static_cast<std::int32_t>(out.words.size())) {
        out.notice =
            "None of the script's words were found in the sound (another text, or another "
            "language?); the shapes were guessed from the sound alone.";
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
                       (alignment.words.size() == 1 ? " word" : " words") +
                       (missing == 1 ? " was" : " were") + " not found in the sound:";
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

std::string UnscriptedText(const ScriptAlignment& alignment, std::size_t most) {
    if (alignment.unscripted.empty() || !alignment.notice.empty()) return {};
    std::string text = "speech the script does not match, guessed from the sound alone:";
    for (std::size_t i = 0; i < alignment.unscripted.size(); ++i) {
        if (i == most) {
            text += ", ...";
            break;
        }
        const auto& [first, end] = alignment.unscripted[i];
        text += (i ? ", " : " ") + Seconds(first);
        text.resize(text.size() - 2);  // one unit for the span
        text += "\u2013" + Seconds(end);
    }
    return text;
}

}  // namespace vokra

#pragma once
// Mouths from the voice and its script: the words are known, so what is left is when each of
// their sounds is spoken. The estimator scores every 10 ms window for the nine mouths (the same
// scores the guess without a script uses), and a Viterbi pass finds the best way through the
// script's phonemes in order, each at least a little and about as long as espeak-ng would speak
// it, with a pause allowed between any two words. The pass keeps only the states near the best
// one (a beam of at most kScriptBeamStates), so its work is bounded by the sound's length times
// that width and its memory grows with the sound alone.
//
// The script animators have is rarely the take: a sentence cut from it, a second take, an
// ad-lib. The walk may leave any run of script words out (at a price per word and phoneme), and
// speech between words may be speech the script does not have. Only the words found keep the
// script's mouths: a word is found when its phonemes' mouths score, where it was placed, about
// as well as the guess without the script does there (a word that scores far worse, or was left
// out, gets the guess); everywhere else the guess stands, so the script never silences speech. What
// did not fit is said: the words not found, and the stretches of speech no word covers.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/script_phonemes.h"

namespace vokra {

constexpr std::int32_t kScriptBeamStates = 2048;

struct ScriptAlignOptions {
    // A word whose phonemes agree with the sound worse than the guess by more than this on
    // average (in the scores' log units per window) is not found.
    float leastWordAgreement = -1.0f;
    // A word not found keeps the script's mouths unless it agrees worse than this, or was left
    // out: the script's mouths, though doubtful, are still most often better than the guess.
    float leastKeptAgreement = -2.0f;
    // The timing rules of the guess (least durations, early closures); off for callers that
    // apply them as a step of their own.
    bool timing = true;
};

struct PlacedWord {
    std::string text;
    std::int32_t firstWindow = -1;  // the 10 ms windows it was placed on, [first, end)
    std::int32_t endWindow = -1;
    // Mean over its phonemes of their mouths' scores against the guess's, per window (0: as
    // good as the guess; below: the sound prefers the guess).
    float agreement = 0.0f;
    bool found = false;
    // Left out of the walk (firstWindow == endWindow: where it was left out).
    bool skipped = false;
};

struct ScriptAlignment {
    // One shape per 10 ms window, as GuessShapes gives: the script's mouths where its words were
    // found, the guess without the script elsewhere.
    std::vector<MouthShape> per10ms;
    std::vector<PlacedWord> words;  // every word of the script, in order
    // Stretches of speech no word found covers, [first, end) windows: the script misses them
    // (a sentence cut from it, another take, an ad-lib); their shapes are the guess.
    std::vector<std::pair<std::int32_t, std::int32_t>> unscripted;
    // Why the script was not used at all (no words, far longer than the sound); the shapes are
    // then the guess without it. Empty when it was used.
    std::string notice;
    // Why nothing was done (a language espeak-ng does not have); per10ms is then empty.
    std::string error;

    bool ok() const { return error.empty(); }
    std::int32_t NotFoundCount() const;
};

// Aligns the script's phonemes (PhonemesOfScript) to the sound.
ScriptAlignment AlignShapesToScript(const std::int16_t* samples, std::int32_t count,
                                    std::int32_t sampleRate, const ScriptPhonemes& script,
                                    const ScriptAlignOptions& options = {});

// The same from the scores of each 10 ms window (kMouthShapeCount log-probabilities per window,
// as ScoreShapes gives them), for a caller that scores the windows its own way.
ScriptAlignment AlignScoresToScript(const std::vector<float>& scores, const ScriptPhonemes& script,
                                    const ScriptAlignOptions& options = {});

// Reads `text` in `language` with espeak-ng, then aligns it. Only as much of the text is read as
// a voice could speak in four times the sound's length; a longer script is left for the guess
// without it, with a notice.
ScriptAlignment AlignShapesToText(const std::int16_t* samples, std::int32_t count,
                                  std::int32_t sampleRate, std::string_view text,
                                  const std::string& language,
                                  const ScriptAlignOptions& options = {});

// "2 of 14 words were not found in the sound: "dog" (1.25 s), "lazy" (1.60 s)", naming at most
// `most` of them; empty when every word was found.
std::string NotFoundText(const ScriptAlignment& alignment, std::size_t most = 20);
// "speech the script does not match, guessed from the sound alone: 3.50–7.80 s", naming at
// most `most` stretches; empty when the words found cover all the speech.
std::string UnscriptedText(const ScriptAlignment& alignment, std::size_t most = 5);

}  // namespace vokra

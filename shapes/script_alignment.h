#pragma once
// Mouths from the voice and its script: the words are known, so what is left is when each of
// their sounds is spoken. The estimator scores every 10 ms window for the nine mouths (the same
// scores the guess without a script uses), and a Viterbi pass finds the best way through the
// script's phonemes in order, each at least a little and about as long as espeak-ng would speak
// it, with a pause allowed between any two words. The pass keeps only the states near the best
// one (a beam of at most kScriptBeamStates), so its work is bounded by the sound's length times
// that width and its memory grows with the sound alone.
//
// Words the voice does not say (an ad-lib, a wrong script) must not drag the rest out of time:
// each placed word is scored by how well the mouths it asks for agree with what the estimator
// hears there, and a word that agrees badly, or came out far shorter or longer than it could be
// spoken, is "not found" and gets the guess without the script.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/script_phonemes.h"

namespace vokra {

constexpr std::int32_t kScriptBeamStates = 2048;

struct ScriptAlignOptions {
    // A word whose windows agree with the estimator worse than this on average (in the scores'
    // log units; 0 is full agreement) is not found.
    float leastWordAgreement = -2.2f;
    // The same for all the words placed together: below it the whole script is set aside. Right
    // scripts on spoken lines agree at -0.1 to -0.5, another text or language at -0.8 and below.
    float leastScriptAgreement = -0.65f;
    // The timing rules of the guess (least durations, early closures); off for callers that
    // apply them as a step of their own.
    bool timing = true;
};

struct PlacedWord {
    std::string text;
    std::int32_t firstWindow = -1;  // the 10 ms windows it was placed on, [first, end)
    std::int32_t endWindow = -1;
    float agreement = 0.0f;  // mean score of its mouths against the best mouth per window
    bool found = false;
};

struct ScriptAlignment {
    // One shape per 10 ms window, as GuessShapes gives: the script's mouths where its words were
    // found, the guess without the script elsewhere.
    std::vector<MouthShape> per10ms;
    std::vector<PlacedWord> words;  // every word of the script, in order
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

}  // namespace vokra

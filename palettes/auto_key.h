#pragma once
// The AutoKey rule: each frame's loudest 10 ms window, relative to the loudest of the whole sound,
// mapped through two (threshold, range) points to a lip opening, one key per frame. Shared by the
// AutoKey palette and vokra-cli so both give the same keys bit for bit.
#include <cstdint>
#include <string>

namespace vokra {

class SoundData;
class KeyframeList;

struct AutoKeySettings {
    std::int32_t highThreshold = 100;  // loudness percent of g_maxAmplitude
    std::int32_t lowThreshold = 0;
    std::int32_t highRange = 100;  // opening percent
    std::int32_t lowRange = 0;
};

// The opening percent for a loudness percent (before the 0..1.5 clamp).
double AutoKeyOpeningPercent(double loudnessPercent, const AutoKeySettings& settings);

// Keys frames first..last (inclusive) at `frameRate` from `sound`, relative to `maxAmplitude`.
// Returns the number of frames processed (0 for an empty range or no sound).
std::int32_t AutoKeyFrames(const SoundData& sound, double maxAmplitude, double frameRate,
                           std::int32_t first, std::int32_t last, const AutoKeySettings& settings,
                           KeyframeList& keys);

struct AutoKeyOutcome {
    std::int32_t processed = 0;  // frames keyed (0 for an empty range or no sound)
    std::int32_t kept = 0;       // hand-made keys left as they were
};
// AutoKey Apply: keys frames first..last as AutoKeyFrames does, but leaves the hand-made keys of
// the range as they are unless `replaceHandEdits` (which does exactly what AutoKeyFrames does).
AutoKeyOutcome AutoKeyApply(const SoundData& sound, double maxAmplitude, double frameRate,
                            std::int32_t first, std::int32_t last, const AutoKeySettings& settings,
                            bool replaceHandEdits, KeyframeList& keys);
// A line for the status bar: "AutoKey keyed 117 frames; kept 3 hand-made keys." (the frames of
// the range less the kept ones, as Guess Shapes counts them).
std::string AutoKeyStatusText(const AutoKeyOutcome& outcome);

}  // namespace vokra

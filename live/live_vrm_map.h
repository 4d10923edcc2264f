#pragma once
// What each of the nine mouths means to an avatar: its weights on VRM's five vowel blendshapes
// and VTube Studio's mouth opening and smile. The default is the table users start from; a
// frame's values blend the rows by the frame's weights and scale the openings by its envelope.
#include <array>
#include <string>

#include "live/live_frame.h"

namespace vokra {

constexpr int kVrmVowelCount = 5;  // A I U E O
struct LiveVrmMap {
    // Per mouth in the order A-H, X: the vowels A I U E O, then VTube Studio's MouthOpen and
    // MouthSmile (0-1, smile 0.5 neutral).
    std::array<std::array<float, kVrmVowelCount>, kMouthShapeCount> vowels{};
    std::array<float, kMouthShapeCount> open{};
    std::array<float, kMouthShapeCount> smile{};
};

LiveVrmMap DefaultLiveVrmMap();
// The blendshape names: VRM 0's "A I U E O" or VRM 1's "aa ih ou ee oh".
const std::array<const char*, kVrmVowelCount>& VrmVowelNames(bool vrm1);

// A frame's five vowel values, 0-1.
std::array<float, kVrmVowelCount> VrmVowelValues(const LiveVrmMap& map, const LiveFrame& frame);
// A frame's MouthOpen and MouthSmile for VTube Studio.
float VtsMouthOpen(const LiveVrmMap& map, const LiveFrame& frame);
float VtsMouthSmile(const LiveVrmMap& map, const LiveFrame& frame);

// Edits of the map, one mouth a line: "C: E 0.8, A 0.2 ; open 0.5 ; smile 0.65" (any of the
// three parts may be left out; a vowel part replaces the mouth's vowels, '#' starts a comment).
// False with the line and what is wrong in `error`; `map` then unchanged.
bool ParseLiveVrmMap(const std::string& text, LiveVrmMap& map, std::string& error);

}  // namespace vokra

#pragma once
// The lead step of the shape chain: many animators show a mouth a frame or two before its sound,
// so that the eye, which reads the picture faster than the ear hears, finds them together.
#include <cstdint>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

// The longest lead the window and vokra-cli accept, in ms: half a second is already far beyond
// any frame or two at any frame rate.
constexpr std::int32_t kMaxShapeLeadMs = 500;

// The whole 10 ms windows a lead of `leadMs` moves the shapes by, to the nearest window (5 ms
// rounds up); 0 for a lead that is not positive.
std::int32_t LeadWindows(std::int32_t leadMs);

// Moves every shape `leadMs` earlier, in place: window i takes the shape of window i + k. What the
// sound's first k windows showed is gone before the start, and its last k windows rest (X), as
// everything after the sound does. A lead as long as the sound leaves it all at rest.
void ApplyShapeLead(std::vector<MouthShape>& per10ms, std::int32_t leadMs);

}  // namespace vokra

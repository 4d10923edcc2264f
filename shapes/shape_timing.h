#pragma once
// The timing step of the shape chain: the rules animators time mouths by, over the 10 ms shapes.
// No mouth shorter than it can be seen, and lips closed a little before the sound of M, B, P.
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

// The timing rules over a sequence of 10 ms shapes, in place: a run shorter than its shape's
// least duration joins the run before it (or after it, at the start), and closed lips begin one
// window early, taken from the mouth before them.
void ApplyShapeTiming(std::vector<MouthShape>& per10ms);

// The least duration of each shape, in 10 ms windows.
int LeastShapeWindows(MouthShape shape);

}  // namespace vokra

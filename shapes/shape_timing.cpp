#include "shapes/shape_timing.h"

#include <algorithm>
#include <cstddef>

namespace vokra {

int LeastShapeWindows(MouthShape shape) {
    switch (shape) {
        case MouthShape::X:
            return 5;
        case MouthShape::A:
        case MouthShape::G:
        case MouthShape::H:
            return 2;
        default:
            return 3;
    }
}

void ApplyShapeTiming(std::vector<MouthShape>& shapes) {
    const std::size_t n = shapes.size();
    // Runs too short to be seen join their neighbour; repeat until none is left, as a merge can
    // only lengthen runs.
    bool changed = true;
    while (changed) {
        changed = false;
        std::size_t start = 0;
        while (start < n) {
            std::size_t end = start;
            while (end < n && shapes[end] == shapes[start]) ++end;
            const std::size_t length = end - start;
            // A run that is the whole sound stays, whatever its length.
            if (length < static_cast<std::size_t>(LeastShapeWindows(shapes[start])) && length < n) {
                const MouthShape into = start > 0 ? shapes[start - 1] : shapes[end];
                std::fill(shapes.begin() + start, shapes.begin() + end, into);
                changed = true;
            }
            start = end;
        }
    }
    // Lips close a little before the sound of the closure: animators draw the closed mouth a
    // frame early. The mouth before it gives up one window, if it keeps at least one.
    for (std::size_t i = 2; i < n; ++i) {
        if (shapes[i] == MouthShape::A && shapes[i - 1] != MouthShape::A &&
            shapes[i - 1] != MouthShape::X && shapes[i - 2] == shapes[i - 1]) {
            shapes[i - 1] = MouthShape::A;
            ++i;
        }
    }
}

}  // namespace vokra

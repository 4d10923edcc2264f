#include "shapes/shape_set.h"

namespace vokra {

bool HasShape(ShapeSet set, MouthShape shape) {
    switch (shape) {
        case MouthShape::G:
            return set.g;
        case MouthShape::H:
            return set.h;
        case MouthShape::X:
            return set.x;
        default:
            return true;
    }
}

MouthShape BasicMouthOf(MouthShape shape) {
    switch (shape) {
        // G and X close on A, H opens on C: the nearest drawings a six-mouth rig has.
        case MouthShape::G:
        case MouthShape::X:
            return MouthShape::A;
        case MouthShape::H:
            return MouthShape::C;
        default:
            return shape;
    }
}

MouthShape ShapeInSet(MouthShape shape, ShapeSet set) {
    return HasShape(set, shape) ? shape : BasicMouthOf(shape);
}

void ApplyShapeSet(std::vector<MouthShape>& shapes, ShapeSet set) {
    if (set == ShapeSet{}) return;
    for (MouthShape& shape : shapes) shape = ShapeInSet(shape, set);
}

std::string ShapeSetLetters(ShapeSet set) {
    std::string letters;
    if (set.g) letters += 'G';
    if (set.h) letters += 'H';
    if (set.x) letters += 'X';
    return letters;
}

std::optional<ShapeSet> ParseShapeSet(std::string_view letters) {
    ShapeSet set = kBasicShapeSet;
    for (const char c : letters) {
        const std::optional<MouthShape> shape = MouthShapeFromLetter(c);
        if (!shape || HasShape(kBasicShapeSet, *shape)) return std::nullopt;
        if (*shape == MouthShape::G) set.g = true;
        if (*shape == MouthShape::H) set.h = true;
        if (*shape == MouthShape::X) set.x = true;
    }
    return set;
}

}  // namespace vokra

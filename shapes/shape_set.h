#pragma once
// The shape-set step of the shape chain: the mouths the rig has. Every rig draws the six basic
// mouths A-F; many lack some of the extended ones, G, H and X. A mouth the rig lacks becomes its
// basic mouth (G -> A, H -> C, X -> A), in the guess and in every export, so that no file names a
// drawing that does not exist.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

// Which extended mouths the rig has; all three unless told otherwise.
struct ShapeSet {
    bool g = true;
    bool h = true;
    bool x = true;
    bool operator==(const ShapeSet&) const = default;
};

// The six basic mouths alone.
constexpr ShapeSet kBasicShapeSet{false, false, false};

// Whether the rig has `shape` (A-F always).
bool HasShape(ShapeSet set, MouthShape shape);
// The basic mouth that stands in for an extended one: G -> A, H -> C, X -> A; A-F themselves.
MouthShape BasicMouthOf(MouthShape shape);
// `shape` if the rig has it, else its basic mouth.
MouthShape ShapeInSet(MouthShape shape, ShapeSet set);
// Every shape of a sequence put into the set, in place.
void ApplyShapeSet(std::vector<MouthShape>& shapes, ShapeSet set);

// The set as letters, in the order G, H, X: "GHX" for all, "" for the basic six.
std::string ShapeSetLetters(ShapeSet set);

// The set of any of the letters G, H and X, in any order and either case ("" for the basic six);
// none for any other letter or character.
std::optional<ShapeSet> ParseShapeSet(std::string_view letters);

}  // namespace vokra

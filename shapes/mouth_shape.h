#pragma once
// The nine mouths that 2D lip-sync pipelines share, in the order A-H, X (the order of their
// numbers 0-8 in files and in the Blender property):
// A closed lips (M, B, P), B slightly open with the teeth together (most consonants), C open,
// D wide open, E slightly rounded, F puckered, G lower lip on the upper teeth (F, V), H tongue up
// (L), X rest (silence).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vokra {

enum class MouthShape : std::uint8_t { A = 0, B, C, D, E, F, G, H, X };
constexpr int kMouthShapeCount = 9;

// 'A'..'H', 'X'.
char MouthShapeLetter(MouthShape shape);
// The shape of a letter (either case); none for anything else.
std::optional<MouthShape> MouthShapeFromLetter(char letter);
// The shape numbered 0-8; none outside that range.
std::optional<MouthShape> MouthShapeFromIndex(int index);
inline int MouthShapeIndex(MouthShape shape) {
    return static_cast<int>(shape);
}

// The classes the estimator is judged by: closed (A, X), teeth (B), open (C, D), rounded (E, F),
// F/V (G), L (H).
enum class MouthClass : std::uint8_t { Closed, Teeth, Open, Rounded, FV, L };
MouthClass MouthClassOf(MouthShape shape);

// Names for switch data, one per shape in the order A-H, X; the default is the Preston Blair
// set: MBP, etc, E, AI, O, U, FV, L, rest.
using MouthShapeNames = std::array<std::string, kMouthShapeCount>;
MouthShapeNames DefaultMouthShapeNames();

}  // namespace vokra

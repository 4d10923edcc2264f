#include "shapes/mouth_shape.h"

namespace vokra {

char MouthShapeLetter(MouthShape shape) {
    static constexpr char kLetters[kMouthShapeCount] = {'A', 'B', 'C', 'D', 'E',
                                                        'F', 'G', 'H', 'X'};
    const int index = MouthShapeIndex(shape);
    return index >= 0 && index < kMouthShapeCount ? kLetters[index] : '?';
}

std::optional<MouthShape> MouthShapeFromLetter(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter >= 'A' && letter <= 'H') return static_cast<MouthShape>(letter - 'A');
    if (letter == 'X') return MouthShape::X;
    return std::nullopt;
}

std::optional<MouthShape> MouthShapeFromIndex(int index) {
    if (index < 0 || index >= kMouthShapeCount) return std::nullopt;
    return static_cast<MouthShape>(index);
}

MouthClass MouthClassOf(MouthShape shape) {
    switch (shape) {
        case MouthShape::A:
        case MouthShape::X:
            return MouthClass::Closed;
        case MouthShape::B:
            return MouthClass::Teeth;
        case MouthShape::C:
        case MouthShape::D:
            return MouthClass::Open;
        case MouthShape::E:
        case MouthShape::F:
            return MouthClass::Rounded;
        case MouthShape::G:
            return MouthClass::FV;
        case MouthShape::H:
            return MouthClass::L;
    }
    return MouthClass::Closed;
}

MouthShapeNames DefaultMouthShapeNames() {
    return {"MBP", "etc", "E", "AI", "O", "U", "FV", "L", "rest"};
}

}  // namespace vokra

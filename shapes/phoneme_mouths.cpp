#include "shapes/phoneme_mouths.h"

#include <array>
#include <utility>

namespace vokra {

MouthShape MouthOfEspeakPhoneme(std::string_view name) {
    if (name.empty() || name[0] == '_') return MouthShape::X;
    // Diphthongs and r-coloured vowels whose first letter would say otherwise.
    static constexpr std::array<std::pair<std::string_view, MouthShape>, 8> kWhole = {{
        {"@U", MouthShape::F},
        {"aU", MouthShape::D},
        {"aI", MouthShape::D},
        {"OI", MouthShape::E},
        {"I@", MouthShape::B},
        {"U@", MouthShape::F},
        {"e@", MouthShape::C},
        {"3:", MouthShape::E},
    }};
    for (const auto& [whole, shape] : kWhole)
        if (name == whole) return shape;
    switch (name[0]) {
        case 'm':
        case 'b':
        case 'p':
        case 'B':
            return MouthShape::A;
        case 'f':
        case 'v':
        case 'F':
            return MouthShape::G;
        case 'w':
        case 'u':
        case 'U':
        case 'o':
        case 'y':
            return MouthShape::F;
        case 'O':
        case '3':
        case 'Y':
        case 'W':
            return MouthShape::E;
        // The open back vowels ("Bobby" in American English, the Q of British "lot") open the
        // mouth wide; they are not rounded enough to read as E.
        case '0':
        case 'Q':
        case 'a':
        case 'A':
            return MouthShape::D;
        case 'l':
        case 'L':
            return MouthShape::H;
        case 'e':
        case 'E':
        case '&':
        case '@':
        case 'V':
            return MouthShape::C;
        default:
            return MouthShape::B;
    }
}

}  // namespace vokra

#pragma once
// Mouth sequences written as their letters ("XXAAB"), so a test's table reads as the lane shows it.
#include <string>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra::test {

inline std::vector<MouthShape> Shapes(const std::string& letters) {
    std::vector<MouthShape> shapes;
    for (char c : letters) shapes.push_back(*MouthShapeFromLetter(c));
    return shapes;
}

inline std::string Letters(const std::vector<MouthShape>& shapes) {
    std::string s;
    for (MouthShape m : shapes) s += MouthShapeLetter(m);
    return s;
}

}  // namespace vokra::test

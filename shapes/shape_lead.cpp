#include "shapes/shape_lead.h"

#include <algorithm>
#include <cstddef>

namespace vokra {

std::int32_t LeadWindows(std::int32_t leadMs) {
    if (leadMs <= 0) return 0;
    return static_cast<std::int32_t>((std::int64_t{leadMs} + 5) / 10);
}

void ApplyShapeLead(std::vector<MouthShape>& shapes, std::int32_t leadMs) {
    const std::size_t k = std::min(static_cast<std::size_t>(LeadWindows(leadMs)), shapes.size());
    if (k == 0) return;
    std::move(shapes.begin() + static_cast<std::ptrdiff_t>(k), shapes.end(), shapes.begin());
    std::fill(shapes.end() - static_cast<std::ptrdiff_t>(k), shapes.end(), MouthShape::X);
}

}  // namespace vokra

#include "document/shape_settings.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/ini_file.h"
#include "shapes/shape_lead.h"

namespace vokra {
namespace {

constexpr const char* kLeadKey = "LEAD_MS";
constexpr const char* kExtendedKey = "EXTENDED_SHAPES";

}  // namespace

ShapeOptions LoadShapeOptions() {
    ShapeOptions options;
    const int lead = Profile().GetInt(kShapesSection, kLeadKey, 0);
    if (lead >= 0 && lead <= kMaxShapeLeadMs) options.leadMs = lead;
    // A key that is there but empty names the six basic mouths; a missing one, all nine.
    const std::string letters = Profile().GetString(kShapesSection, kExtendedKey, "GHX");
    if (const std::optional<ShapeSet> set = ParseShapeSet(letters)) options.extended = *set;
    return options;
}

bool SaveShapeOptions(const ShapeOptions& options) {
    const int lead = std::clamp(options.leadMs, 0, kMaxShapeLeadMs);
    const bool leadSaved = Profile().WriteInt(kShapesSection, kLeadKey, lead);
    const bool setSaved =
        Profile().WriteString(kShapesSection, kExtendedKey, ShapeSetLetters(options.extended));
    return leadSaved && setSaved;
}

}  // namespace vokra

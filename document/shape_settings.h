#pragma once
// The window's choices about guessed shapes, kept in the settings file's own [SHAPES] section:
// how far the mouths lead the sound, and which extended mouths the rig has. Guess Shapes and every
// export of shapes read them; vokra-cli takes them as options instead.
#include "shapes/shape_options.h"

namespace vokra {

inline constexpr const char* kShapesSection = "SHAPES";

// The options in the settings file; the defaults (no lead, every mouth) for what is missing, and
// for a value spoilt by hand, which is not worth a message at every guess.
ShapeOptions LoadShapeOptions();
// False when the settings file could not be written.
bool SaveShapeOptions(const ShapeOptions& options);

}  // namespace vokra

#pragma once
// The engine and rig exports' choices in the settings file's own [RIG_EXPORT] section, per format
// (its mouth map, target, method track and curve) and shared by the weight curves (ease, fade,
// weights): the window's export dialog offers them again next time. vokra-cli takes options.
#include "document/rig_export.h"

namespace vokra {

inline constexpr const char* kRigExportSection = "RIG_EXPORT";

// The choices kept; the format's own for what is missing or spoilt by hand.
RigExportOptions LoadRigOptions(RigFormat format);
// False when the settings file could not be written.
bool SaveRigOptions(RigFormat format, const RigExportOptions& options);

}  // namespace vokra

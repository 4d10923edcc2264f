#pragma once
// The writers behind WriteRig, one per format, and what they share. Each is given options with
// the map, target and name filled in.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "document/rig_export.h"

namespace vokra {

// A frame where the target's mouth changes (the first frame always is one).
struct MouthChange {
    std::int32_t frame = 0;
    MouthShape shape = MouthShape::X;
};
std::vector<MouthChange> MouthChanges(const std::vector<MouthShape>& frames,
                                      const MouthShapeNames& names);

inline const std::string& NameOf(const RigExportOptions& o, MouthShape shape) {
    return (*o.names)[static_cast<std::size_t>(MouthShapeIndex(shape))];
}

// The length written: every frame lasts 1 / frame rate.
inline double DurationOf(const RigMouths& m) {
    return static_cast<double>(m.frames.size()) / m.frameRate;
}

std::string ShortestText(double value);

bool WriteGodotTres(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WriteSpineJson(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WriteLive2dMotion(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WriteUnityAnim(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WriteWeightsCsv(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WriteWeightsJson(const RigMouths& m, const RigExportOptions& o, std::ostream& out);
bool WritePapagayo(const RigMouths& m, const RigExportOptions& o, std::ostream& out);

}  // namespace vokra

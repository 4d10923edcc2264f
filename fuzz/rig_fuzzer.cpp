// The engine and rig exports' readers: a Spine skeleton merged with an animation (any text: a
// refusal or a copy that is JSON again) and the mouth maps of every format (an accepted map reads
// back the same from its written form).
#include <cstdint>
#include <sstream>
#include <string_view>

#include "document/rig_export.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vokra;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RigMouths mouths;
    mouths.frameRate = 24.0;
    mouths.frames = {MouthShape::X, MouthShape::A, MouthShape::D, MouthShape::X};
    const SpineMerge merged = MergeSpineAnimation(text, mouths, {});
    if (merged.error.empty() == merged.text.empty()) __builtin_trap();
    for (int i = 0; i < kRigFormatCount; ++i) {
        const auto format = static_cast<RigFormat>(i);
        const RigMapParse parsed = ParseRigMap(format, text);
        if (!parsed.error.empty()) continue;
        const RigMapParse again = ParseRigMap(format, FormatRigMap(parsed.names));
        if (!again.error.empty() || again.names != parsed.names) __builtin_trap();
        RigExportOptions o;
        o.names = parsed.names;
        std::ostringstream out;
        if (!WriteRig(format, mouths, o, out)) __builtin_trap();
    }
    return 0;
}

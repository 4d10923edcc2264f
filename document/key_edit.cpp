#include "document/key_edit.h"

#include <cmath>
#include <limits>

#include "document/keyframe_list.h"

namespace vokra {

std::string GroupedNumber(std::int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return value < 0 ? "-" + digits : digits;
}

std::string TooManyKeysMessage(const std::string& what, std::int64_t count) {
    return what + " would create " + GroupedNumber(count) + " keys; at most " +
           GroupedNumber(kMaxKeysPerEdit) + " can be made at once.";
}

RetimeResult RetimeKeys(const KeyframeList& keys, double oldRate, double newRate) {
    RetimeResult r;
    const std::int32_t count = keys.GetCount();
    r.keys.reserve(static_cast<std::size_t>(count));
    constexpr double kLastFrame = std::numeric_limits<std::int32_t>::max();
    for (std::int32_t i = 0; i < count; ++i) {
        const Keyframe& key = *keys.GetAt(i);
        const double moved = std::round(key.GetFrame() * newRate / oldRate);
        if (!(moved <= kLastFrame)) {
            r.ok = false;
            r.offender = key.GetFrame();
            r.keys.clear();
            return r;
        }
        Keyframe placed(static_cast<std::int32_t>(moved), key.GetOpening());
        placed.SetHandMade(key.IsHandMade());
        // The mapping keeps the order, so keys meeting on one frame are neighbours. The merged
        // key stays hand-made when either was, so a re-run cannot take the animator's frame.
        if (!r.keys.empty() && r.keys.back().GetFrame() == placed.GetFrame()) {
            const bool hand = placed.IsHandMade() || r.keys.back().IsHandMade();
            if (placed.GetOpening() > r.keys.back().GetOpening()) r.keys.back() = placed;
            r.keys.back().SetHandMade(hand);
            ++r.merged;
        } else {
            r.keys.push_back(placed);
        }
    }
    return r;
}

}  // namespace vokra

#include "document/key_edit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/keyframe_list.h"
#include "document/vok_section.h"

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

bool KeyEdit::ChangesNothing() const {
    const auto same = [](const Keyframe& a, const Keyframe& b) {
        return a.GetFrame() == b.GetFrame() && a.GetOpening() == b.GetOpening() &&
               a.IsHandMade() == b.IsHandMade();
    };
    return std::equal(before.begin(), before.end(), after.begin(), after.end(), same) &&
           (!rateChange || (rateBefore == rateAfter && presetBefore == presetAfter &&
                            customBefore == customAfter)) &&
           (!shapeChange || shapesBefore == shapesAfter) &&
           (!scriptChange || (scriptBefore == scriptAfter && wordsBefore == wordsAfter));
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

RetimeShapesResult RetimeShapes(const ShapeTrack& track, double oldRate, double newRate) {
    constexpr double kLastFrame = std::numeric_limits<std::int32_t>::max();
    // As many as a document file may hold.
    constexpr auto kMostShapes = static_cast<std::size_t>(kMaxSectionShapeFrames);
    RetimeShapesResult r;
    const std::vector<ShapeEntry>& old = track.Entries();
    for (std::size_t i = 0; i < old.size();) {
        std::size_t j = i + 1;
        while (j < old.size() && old[j].frame == old[j - 1].frame + 1) ++j;
        // Old frames a..b become the new frames whose start lies in [a, b + 1) old frames.
        const double from = std::ceil(old[i].frame * newRate / oldRate);
        const double to = std::ceil((old[j - 1].frame + 1.0) * newRate / oldRate) - 1.0;
        if (!(to <= kLastFrame) ||
            (to >= from &&
             r.shapes.size() + static_cast<std::size_t>(to - from + 1) > kMostShapes)) {
            return RetimeShapesResult{false, {}};
        }
        for (double g = from; g <= to; g += 1.0) {
            auto at = static_cast<std::int64_t>(std::floor(g * oldRate / newRate));
            at = std::clamp<std::int64_t>(at, old[i].frame, old[j - 1].frame);
            const ShapeEntry& src = old[i + static_cast<std::size_t>(at - old[i].frame)];
            const auto frame = static_cast<std::int32_t>(g);
            if (!r.shapes.empty() && r.shapes.back().frame >= frame) continue;
            r.shapes.push_back({frame, src.shape, src.hand});
        }
        i = j;
    }
    return r;
}

}  // namespace vokra

#include "document/shape_track.h"

#include <algorithm>

namespace vokra {

std::size_t ShapeTrack::LowerBound(std::int32_t frame) const {
    return static_cast<std::size_t>(
        std::lower_bound(entries_.begin(), entries_.end(), frame,
                         [](const ShapeEntry& e, std::int32_t f) { return e.frame < f; }) -
        entries_.begin());
}

const ShapeEntry* ShapeTrack::Find(std::int32_t frame) const {
    const std::size_t at = LowerBound(frame);
    return at < entries_.size() && entries_[at].frame == frame ? &entries_[at] : nullptr;
}

void ShapeTrack::Set(std::int32_t frame, MouthShape shape, bool hand) {
    if (frame < 0) return;
    const std::size_t at = LowerBound(frame);
    const ShapeEntry entry{frame, shape, hand};
    if (at < entries_.size() && entries_[at].frame == frame) {
        entries_[at] = entry;
    } else {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
}

void ShapeTrack::Clear(std::int32_t frame) {
    const std::size_t at = LowerBound(frame);
    if (at < entries_.size() && entries_[at].frame == frame) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

std::vector<ShapeEntry> ShapeTrack::CopyRange(std::int32_t first, std::int32_t last) const {
    if (first > last) return {};
    const std::size_t begin = LowerBound(first);
    std::size_t end = begin;
    while (end < entries_.size() && entries_[end].frame <= last) ++end;
    return {entries_.begin() + static_cast<std::ptrdiff_t>(begin),
            entries_.begin() + static_cast<std::ptrdiff_t>(end)};
}

void ShapeTrack::ReplaceRange(std::int32_t first, std::int32_t last,
                              const std::vector<ShapeEntry>& run) {
    if (first > last) return;
    const auto begin = entries_.begin() + static_cast<std::ptrdiff_t>(LowerBound(first));
    auto end = begin;
    while (end != entries_.end() && end->frame <= last) ++end;
    // Overwrite what fits in place, then insert or erase the difference once.
    const std::size_t old = static_cast<std::size_t>(end - begin);
    const std::size_t common = std::min(old, run.size());
    std::copy(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(common), begin);
    if (run.size() > old) {
        entries_.insert(begin + static_cast<std::ptrdiff_t>(common),
                        run.begin() + static_cast<std::ptrdiff_t>(common), run.end());
    } else {
        entries_.erase(begin + static_cast<std::ptrdiff_t>(common), end);
    }
}

std::int32_t ShapeTrack::RemoveRange(std::int32_t first, std::int32_t last) {
    const std::size_t before = entries_.size();
    ReplaceRange(first, last, {});
    return static_cast<std::int32_t>(before - entries_.size());
}

}  // namespace vokra

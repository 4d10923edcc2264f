#pragma once
// The document's mouth shapes: at most one shape per frame, sorted by frame, each marked when the
// animator set it by hand (a re-guess leaves those alone). Frames without an entry have no shape.
#include <cstdint>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

struct ShapeEntry {
    std::int32_t frame = 0;
    MouthShape shape = MouthShape::X;
    bool hand = false;

    friend bool operator==(const ShapeEntry&, const ShapeEntry&) = default;
};

class ShapeTrack {
public:
    bool IsEmpty() const { return entries_.empty(); }
    std::int32_t GetCount() const { return static_cast<std::int32_t>(entries_.size()); }
    const std::vector<ShapeEntry>& Entries() const { return entries_; }
    // The entry of a frame; null when the frame has no shape.
    const ShapeEntry* Find(std::int32_t frame) const;
    // Sets (or overwrites) the shape of one frame; a negative frame is ignored.
    void Set(std::int32_t frame, MouthShape shape, bool hand);
    void Clear(std::int32_t frame);
    void RemoveAll() { entries_.clear(); }
    // The entries from frame `first` to frame `last`, both included, in frame order.
    std::vector<ShapeEntry> CopyRange(std::int32_t first, std::int32_t last) const;
    // Puts `run` (ascending, distinct frames, all within first..last) in place of the entries
    // from `first` to `last`: one move of the later entries, so undo and bulk edits stay cheap.
    void ReplaceRange(std::int32_t first, std::int32_t last, const std::vector<ShapeEntry>& run);
    // Removes the entries from first to last; how many went.
    std::int32_t RemoveRange(std::int32_t first, std::int32_t last);

private:
    std::size_t LowerBound(std::int32_t frame) const;
    std::vector<ShapeEntry> entries_;
};

}  // namespace vokra

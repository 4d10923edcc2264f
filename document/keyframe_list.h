#pragma once
// The document's keys, sorted by frame with at most one per frame. Insertion and removal move
// pointers, not records, and the pointer array grows 1000 slots at a time.
#include <cstdint>
#include <memory>
#include <vector>

#include "document/keyframe.h"

namespace vokra {

class KeyframeList {
public:
    KeyframeList() = default;
    ~KeyframeList() = default;
    KeyframeList(const KeyframeList&) = delete;
    KeyframeList& operator=(const KeyframeList&) = delete;

    std::int32_t GetCount() const { return static_cast<std::int32_t>(keys_.size()); }
    std::int32_t GetCapacity() const { return static_cast<std::int32_t>(keys_.capacity()); }
    // Null when the index is outside 0..count-1.
    const Keyframe* GetAt(std::int32_t index) const;
    // Binary search: the key's index when found, else the insertion point.
    void Find(std::int32_t frame, bool& found, std::int32_t& index) const;
    const Keyframe* FindAtOrAfter(std::int32_t frame) const;
    // Inserts a copy, or overwrites the key already at that frame.
    void SetKey(const Keyframe& key);
    // Makes room for `count` keys at once (rounded up to the 1000-slot step), for a reader that
    // knows how many keys follow.
    void Reserve(std::int32_t count);
    void RemoveKey(std::int32_t frame);
    // Removes every key from frame `first` to frame `last`, both included, in one move of the
    // later pointers; returns how many keys went.
    std::int32_t RemoveRange(std::int32_t first, std::int32_t last);
    void RemoveAll();
    // The keys from frame `first` to frame `last`, both included, in frame order.
    std::vector<Keyframe> CopyRange(std::int32_t first, std::int32_t last) const;
    // Puts `run` (ascending frames, one key per frame, all within first..last) in place of the keys
    // from `first` to `last` with one move of the later pointers, so a bulk edit in the middle of
    // a long list costs the list's length once, not once per key.
    void ReplaceRange(std::int32_t first, std::int32_t last, const std::vector<Keyframe>& run);
    // Frame of the last key; -1 when empty.
    std::int32_t GetLastFrame() const;
    // Linear interpolation between neighbouring keys, ramping up from (0, 0.0) before the first
    // key and holding the last key's opening after it.
    double GetOpeningAt(double position) const;
    // Counts every change of the keys, so a picture drawn from them knows when it is stale.
    std::uint64_t GetRevision() const { return revision_; }

private:
    // Index range [begin, end) of the keys from frame first to frame last.
    void IndexRange(std::int32_t first, std::int32_t last, std::int32_t& begin,
                    std::int32_t& end) const;

    // The records themselves live in blocks of 1000 owned by the list, and a removed record's
    // place is reused: keying a long sound costs one allocation per thousand keys, not per key.
    class RecordPool {
    public:
        Keyframe* New(const Keyframe& key);
        void Delete(Keyframe* record) { free_.push_back(record); }
        // Up to `count` freed records into `out`, the earliest freed of them first; how many.
        std::size_t TakeFreed(std::size_t count, Keyframe** out);
        void Clear();

    private:
        static constexpr std::size_t kBlock = 1000;
        std::vector<std::unique_ptr<Keyframe[]>> blocks_;
        std::size_t usedInLast_ = kBlock;
        std::vector<Keyframe*> free_;
    };

    std::vector<Keyframe*> keys_;
    RecordPool pool_;
    std::uint64_t revision_ = 0;
};

}  // namespace vokra

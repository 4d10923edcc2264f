#include "document/keyframe_list.h"

#include <algorithm>
#include <cmath>

namespace vokra {

const Keyframe* KeyframeList::GetAt(std::int32_t index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return keys_[static_cast<std::size_t>(index)];
}

void KeyframeList::Find(std::int32_t frame, bool& found, std::int32_t& index) const {
    std::int32_t lo = 0;
    std::int32_t hi = GetCount() - 1;
    found = false;
    std::int32_t mid = 0;
    while (lo <= hi && !found) {
        mid = lo + (hi - lo) / 2;
        const std::int32_t f = keys_[static_cast<std::size_t>(mid)]->GetFrame();
        if (frame == f) {
            found = true;
        } else if (frame < f) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    index = found ? mid : lo;
}

const Keyframe* KeyframeList::FindAtOrAfter(std::int32_t frame) const {
    bool found;
    std::int32_t index;
    Find(frame, found, index);
    return GetAt(index);
}

void KeyframeList::SetKey(const Keyframe& key) {
    ++revision_;
    // Grow in steps of 1000 slots so that keying a long sound frame by frame reallocates rarely.
    if (keys_.size() == keys_.capacity()) keys_.reserve(keys_.capacity() + 1000);
    // Keys usually come in frame order (file load, AutoKey, fill): append without a search.
    if (keys_.empty() || key.GetFrame() > keys_.back()->GetFrame()) {
        keys_.push_back(pool_.New(key));
        return;
    }
    bool found;
    std::int32_t index;
    Find(key.GetFrame(), found, index);
    if (found) {
        *keys_[static_cast<std::size_t>(index)] = key;
    } else {
        keys_.insert(keys_.begin() + index, pool_.New(key));
    }
}

void KeyframeList::Reserve(std::int32_t count) {
    if (count <= GetCapacity()) return;
    const std::size_t rounded = (static_cast<std::size_t>(count) + 999) / 1000 * 1000;
    keys_.reserve(rounded);
}

void KeyframeList::RemoveKey(std::int32_t frame) {
    bool found;
    std::int32_t index;
    Find(frame, found, index);
    if (!found) return;
    ++revision_;
    pool_.Delete(keys_[static_cast<std::size_t>(index)]);
    keys_.erase(keys_.begin() + index);
}

void KeyframeList::IndexRange(std::int32_t first, std::int32_t last, std::int32_t& begin,
                              std::int32_t& end) const {
    bool found;
    Find(first, found, begin);
    Find(last, found, end);
    if (found) ++end;
    if (last < first || end < begin) end = begin;
}

std::vector<Keyframe> KeyframeList::CopyRange(std::int32_t first, std::int32_t last) const {
    std::int32_t begin;
    std::int32_t end;
    IndexRange(first, last, begin, end);
    std::vector<Keyframe> out;
    out.reserve(static_cast<std::size_t>(end - begin));
    for (std::int32_t i = begin; i < end; ++i) out.push_back(*keys_[static_cast<std::size_t>(i)]);
    return out;
}

void KeyframeList::ReplaceRange(std::int32_t first, std::int32_t last,
                                const std::vector<Keyframe>& run) {
    ++revision_;
    std::int32_t begin;
    std::int32_t end;
    IndexRange(first, last, begin, end);
    const std::size_t b = static_cast<std::size_t>(begin);
    const std::size_t old = static_cast<std::size_t>(end - begin);
    const std::size_t shared = old < run.size() ? old : run.size();
    // Records already in the range are reused in place; only the difference moves pointers.
    for (std::size_t i = 0; i < shared; ++i) *keys_[b + i] = run[i];
    if (run.size() > old) {
        keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(b + old), run.size() - old,
                     nullptr);
        // Freed records first, in the order a delete freed them: an undone delete gets its
        // records back in order, so the list keeps walking memory forwards.
        const std::size_t reused = pool_.TakeFreed(run.size() - old, &keys_[b + old]);
        for (std::size_t i = old; i < old + reused; ++i) *keys_[b + i] = run[i];
        for (std::size_t i = old + reused; i < run.size(); ++i) keys_[b + i] = pool_.New(run[i]);
    } else if (old > run.size()) {
        for (std::size_t i = b + shared; i < b + old; ++i) pool_.Delete(keys_[i]);
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(b + shared),
                    keys_.begin() + static_cast<std::ptrdiff_t>(b + old));
    }
}

std::int32_t KeyframeList::RemoveRange(std::int32_t first, std::int32_t last) {
    std::int32_t begin;
    std::int32_t end;
    IndexRange(first, last, begin, end);
    if (end <= begin) return 0;
    ++revision_;
    for (std::int32_t i = begin; i < end; ++i) pool_.Delete(keys_[static_cast<std::size_t>(i)]);
    keys_.erase(keys_.begin() + begin, keys_.begin() + end);
    return end - begin;
}

void KeyframeList::RemoveAll() {
    ++revision_;
    keys_.clear();
    keys_.shrink_to_fit();
    pool_.Clear();
}

Keyframe* KeyframeList::RecordPool::New(const Keyframe& key) {
    Keyframe* record;
    if (!free_.empty()) {
        record = free_.back();
        free_.pop_back();
    } else {
        if (usedInLast_ == kBlock) {
            blocks_.push_back(std::make_unique<Keyframe[]>(kBlock));
            usedInLast_ = 0;
        }
        record = &blocks_.back()[usedInLast_++];
    }
    *record = key;
    return record;
}

std::size_t KeyframeList::RecordPool::TakeFreed(std::size_t count, Keyframe** out) {
    const std::size_t taken = count < free_.size() ? count : free_.size();
    std::copy(free_.end() - static_cast<std::ptrdiff_t>(taken), free_.end(), out);
    free_.resize(free_.size() - taken);
    return taken;
}

void KeyframeList::RecordPool::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    free_.clear();
    free_.shrink_to_fit();
    usedInLast_ = kBlock;
}

std::int32_t KeyframeList::GetLastFrame() const {
    return keys_.empty() ? -1 : keys_.back()->GetFrame();
}

double KeyframeList::GetOpeningAt(double position) const {
    if (!(position >= 0.0) || keys_.empty()) return 0.0;
    // Positions beyond the last possible frame hold the last key's opening.
    if (position >= 2147483647.0) return keys_.back()->GetOpening();
    const auto f = static_cast<std::int32_t>(position);
    bool found;
    std::int32_t i;
    Find(f, found, i);
    double x0, y0;
    const Keyframe* right;
    if (found) {
        const Keyframe* key = GetAt(i);
        if (position == key->GetFrame()) return key->GetOpening();
        x0 = key->GetFrame();
        y0 = key->GetOpening();
        right = GetAt(i + 1);
        if (!right) return key->GetOpening();
    } else {
        const Keyframe* left = GetAt(i - 1);
        x0 = left ? left->GetFrame() : 0.0;
        y0 = left ? left->GetOpening() : 0.0;
        right = GetAt(i);
        if (!right) return y0;
    }
    const double x1 = right->GetFrame();
    const double y1 = right->GetOpening();
    return y0 + (y1 - y0) * ((position - x0) / (x1 - x0));
}

}  // namespace vokra

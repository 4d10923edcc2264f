// The section's records of the mouth shapes ("SHPS") and of the hand-made keys ("HAND").
#include <climits>

#include "document/vok_records.h"
#include "document/vokra_doc.h"

namespace vokra {
namespace {

constexpr std::size_t kShapeRunSize = 10;
constexpr std::size_t kHandRunSize = 8;

// A run's frames, checked: first at least `next` (ascending, not overlapping), count at least 1,
// last frame within a frame number. Moves `next` past the run.
bool TakeRun(std::int32_t first, std::int32_t count, std::int64_t& next) {
    if (first < next || count < 1) return false;
    const std::int64_t end = std::int64_t{first} + count;
    if (end - 1 > INT_MAX) return false;
    next = end;
    return true;
}

std::string WriteShapes(const CVokraDoc& doc) {
    std::string runs;
    const std::vector<ShapeEntry>& entries = doc.GetShapes().Entries();
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t j = i + 1;
        while (j < entries.size() && entries[j].frame == entries[j - 1].frame + 1 &&
               entries[j].shape == entries[i].shape && entries[j].hand == entries[i].hand) {
            ++j;
        }
        PutVokU32(runs, static_cast<std::uint32_t>(entries[i].frame));
        PutVokU32(runs, static_cast<std::uint32_t>(j - i));
        runs += static_cast<char>(MouthShapeIndex(entries[i].shape));
        runs += static_cast<char>(entries[i].hand ? 1 : 0);
        i = j;
    }
    return runs;
}

bool ReadShapes(std::string_view p, CVokraDoc& doc) {
    if (p.size() % kShapeRunSize != 0) return false;
    std::int64_t next = 0;
    std::int64_t total = 0;
    // Checked whole before anything is made, so a refused record costs no memory.
    for (std::size_t at = 0; at < p.size(); at += kShapeRunSize) {
        const auto first = static_cast<std::int32_t>(GetVokU32(p, at));
        const auto count = static_cast<std::int32_t>(GetVokU32(p, at + 4));
        const auto shape = static_cast<unsigned char>(p[at + 8]);
        const auto hand = static_cast<unsigned char>(p[at + 9]);
        if (!TakeRun(first, count, next) || shape >= kMouthShapeCount || hand > 1) return false;
        total += count;
        if (total > kMaxSectionShapeFrames) return false;
    }
    std::vector<ShapeEntry> shapes;
    shapes.reserve(static_cast<std::size_t>(total));
    for (std::size_t at = 0; at < p.size(); at += kShapeRunSize) {
        const auto first = static_cast<std::int32_t>(GetVokU32(p, at));
        const auto count = static_cast<std::int32_t>(GetVokU32(p, at + 4));
        const auto shape = static_cast<MouthShape>(p[at + 8]);
        const bool hand = p[at + 9] != 0;
        for (std::int64_t f = first; f < std::int64_t{first} + count; ++f) {
            shapes.push_back({static_cast<std::int32_t>(f), shape, hand});
        }
    }
    doc.GetShapes().ReplaceRange(0, INT_MAX, shapes);
    return true;
}

std::string WriteHand(const CVokraDoc& doc) {
    std::string runs;
    const KeyframeList& keys = doc.GetKeys();
    const std::int32_t count = keys.GetCount();
    for (std::int32_t i = 0; i < count;) {
        if (!keys.GetAt(i)->IsHandMade()) {
            ++i;
            continue;
        }
        std::int32_t j = i + 1;
        while (j < count && keys.GetAt(j)->IsHandMade() &&
               keys.GetAt(j)->GetFrame() == keys.GetAt(j - 1)->GetFrame() + 1) {
            ++j;
        }
        PutVokU32(runs, static_cast<std::uint32_t>(keys.GetAt(i)->GetFrame()));
        PutVokU32(runs, static_cast<std::uint32_t>(keys.GetAt(j - 1)->GetFrame() -
                                                   keys.GetAt(i)->GetFrame() + 1));
        i = j;
    }
    return runs;
}

bool ReadHand(std::string_view p, CVokraDoc& doc) {
    if (p.size() % kHandRunSize != 0) return false;
    std::int64_t next = 0;
    for (std::size_t at = 0; at < p.size(); at += kHandRunSize) {
        const auto first = static_cast<std::int32_t>(GetVokU32(p, at));
        const auto count = static_cast<std::int32_t>(GetVokU32(p, at + 4));
        if (!TakeRun(first, count, next)) return false;
    }
    // Marks the keys the runs cover as hand-made.
    KeyframeList& keys = doc.GetKeys();
    for (std::size_t at = 0; at < p.size(); at += kHandRunSize) {
        const auto first = static_cast<std::int32_t>(GetVokU32(p, at));
        const std::int64_t end = std::int64_t{first} + GetVokU32(p, at + 4);
        bool found;
        std::int32_t index;
        keys.Find(first, found, index);
        for (const Keyframe* key = keys.GetAt(index); key && key->GetFrame() < end;
             key = keys.GetAt(++index)) {
            Keyframe marked = *key;
            marked.SetHandMade(true);
            keys.SetKey(marked);
        }
    }
    return true;
}

}  // namespace

const VokRecordKind kShapesRecord{"SHPS", "mouth shapes", WriteShapes, ReadShapes};
const VokRecordKind kHandRecord{"HAND", "hand-made marks", WriteHand, ReadHand};

}  // namespace vokra

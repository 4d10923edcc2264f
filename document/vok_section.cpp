#include "document/vok_section.h"

#include <climits>
#include <cstring>

#include "document/keyframe_list.h"

namespace vokra {
namespace {

constexpr std::string_view kShapesTag = "SHPS";
constexpr std::string_view kHandTag = "HAND";
constexpr std::size_t kShapeRunSize = 10;
constexpr std::size_t kHandRunSize = 8;

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

void PutRecord(std::string& out, std::string_view tag, const std::string& payload) {
    out += tag;
    PutU32(out, static_cast<std::uint32_t>(payload.size()));
    out += payload;
}

// A run's frames, checked: first at least `next` (ascending, not overlapping), count at least 1,
// last frame within a frame number. Moves `next` past the run.
bool TakeRun(std::int32_t first, std::int32_t count, std::int64_t& next) {
    if (first < next || count < 1) return false;
    const std::int64_t end = std::int64_t{first} + count;
    if (end - 1 > INT_MAX) return false;
    next = end;
    return true;
}

bool ReadShapes(std::string_view p, std::vector<ShapeEntry>& shapes) {
    if (p.size() % kShapeRunSize != 0) return false;
    std::int64_t next = 0;
    std::int64_t total = 0;
    // Checked whole before anything is made, so a refused record costs no memory.
    for (std::size_t at = 0; at < p.size(); at += kShapeRunSize) {
        const auto first = static_cast<std::int32_t>(GetU32(p, at));
        const auto count = static_cast<std::int32_t>(GetU32(p, at + 4));
        const auto shape = static_cast<unsigned char>(p[at + 8]);
        const auto hand = static_cast<unsigned char>(p[at + 9]);
        if (!TakeRun(first, count, next) || shape >= kMouthShapeCount || hand > 1) return false;
        total += count;
        if (total > kMaxSectionShapeFrames) return false;
    }
    shapes.reserve(static_cast<std::size_t>(total));
    for (std::size_t at = 0; at < p.size(); at += kShapeRunSize) {
        const auto first = static_cast<std::int32_t>(GetU32(p, at));
        const auto count = static_cast<std::int32_t>(GetU32(p, at + 4));
        const auto shape = static_cast<MouthShape>(p[at + 8]);
        const bool hand = p[at + 9] != 0;
        for (std::int64_t f = first; f < std::int64_t{first} + count; ++f) {
            shapes.push_back({static_cast<std::int32_t>(f), shape, hand});
        }
    }
    return true;
}

bool ReadHand(std::string_view p, std::vector<std::pair<std::int32_t, std::int32_t>>& runs) {
    if (p.size() % kHandRunSize != 0) return false;
    std::int64_t next = 0;
    runs.reserve(p.size() / kHandRunSize);
    for (std::size_t at = 0; at < p.size(); at += kHandRunSize) {
        const auto first = static_cast<std::int32_t>(GetU32(p, at));
        const auto count = static_cast<std::int32_t>(GetU32(p, at + 4));
        if (!TakeRun(first, count, next)) {
            runs.clear();
            return false;
        }
        runs.emplace_back(first, count);
    }
    return true;
}

}  // namespace

std::string WriteVokSection(const KeyframeList& keys, const ShapeTrack& shapes,
                            const DocumentScript& script) {
    std::string shapeRuns;
    const std::vector<ShapeEntry>& entries = shapes.Entries();
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t j = i + 1;
        while (j < entries.size() && entries[j].frame == entries[j - 1].frame + 1 &&
               entries[j].shape == entries[i].shape && entries[j].hand == entries[i].hand) {
            ++j;
        }
        PutU32(shapeRuns, static_cast<std::uint32_t>(entries[i].frame));
        PutU32(shapeRuns, static_cast<std::uint32_t>(j - i));
        shapeRuns += static_cast<char>(MouthShapeIndex(entries[i].shape));
        shapeRuns += static_cast<char>(entries[i].hand ? 1 : 0);
        i = j;
    }
    std::string handRuns;
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
        PutU32(handRuns, static_cast<std::uint32_t>(keys.GetAt(i)->GetFrame()));
        PutU32(handRuns, static_cast<std::uint32_t>(keys.GetAt(j - 1)->GetFrame() -
                                                    keys.GetAt(i)->GetFrame() + 1));
        i = j;
    }
    if (shapeRuns.empty() && handRuns.empty() && script.IsEmpty()) return {};
    std::string out(kVokSectionMark);
    if (!shapeRuns.empty()) PutRecord(out, kShapesTag, shapeRuns);
    if (!handRuns.empty()) PutRecord(out, kHandTag, handRuns);
    if (!script.IsEmpty()) PutRecord(out, kScriptTag, WriteScriptRecord(script));
    return out;
}

VokSectionContent ReadVokSection(std::string_view bytes) {
    VokSectionContent c;
    if (bytes.substr(0, kVokSectionMark.size()) != kVokSectionMark) return c;
    c.present = true;
    bool haveShapes = false;
    bool haveHand = false;
    bool haveScript = false;
    std::size_t at = kVokSectionMark.size();
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) {
            c.damaged = true;
            break;
        }
        const std::string_view tag = bytes.substr(at, 4);
        const std::uint32_t length = GetU32(bytes, at + 4);
        at += 8;
        if (length > bytes.size() - at) {
            c.damaged = true;  // the records after this one cannot be found either
            break;
        }
        const std::string_view payload = bytes.substr(at, length);
        at += length;
        // A second record of a kind is not something this program writes.
        if ((tag == kShapesTag && haveShapes) || (tag == kHandTag && haveHand) ||
            (tag == kScriptTag && haveScript)) {
            c.damaged = true;
        } else if (tag == kShapesTag) {
            haveShapes = true;
            if (!ReadShapes(payload, c.shapes)) {
                c.shapes.clear();
                c.damaged = true;
            }
        } else if (tag == kScriptTag) {
            haveScript = true;
            c.damaged |= !ReadScriptRecord(payload, c.script);
        } else if (tag == kHandTag) {
            haveHand = true;
            if (!ReadHand(payload, c.hand)) {
                c.hand.clear();
                c.damaged = true;
            }
        }
    }
    return c;
}

void ApplyHandRuns(const std::vector<std::pair<std::int32_t, std::int32_t>>& runs,
                   KeyframeList& keys) {
    for (const auto& [first, count] : runs) {
        bool found;
        std::int32_t index;
        keys.Find(first, found, index);
        const std::int64_t end = std::int64_t{first} + count;
        for (const Keyframe* key = keys.GetAt(index); key && key->GetFrame() < end;
             key = keys.GetAt(++index)) {
            Keyframe marked = *key;
            marked.SetHandMade(true);
            keys.SetKey(marked);
        }
    }
}

}  // namespace vokra

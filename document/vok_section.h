#pragma once
// The document file's tagged section: what the file keeps beyond the fields every version of the
// program reads, after the last string, where those versions stop reading. It starts with a
// 4-byte mark, then records of a 4-byte tag, a little-endian uint32 length and that many bytes.
// A reader skips the tags it does not know, so later additions never break it. Today's records:
//   "SHPS"  the mouth shapes as runs of 10 bytes: first frame (int32), frame count (int32),
//           shape 0-8 (byte), set by hand 0/1 (byte); ascending and not overlapping.
//   "HAND"  the hand-made keys as runs of 8 bytes: first frame, frame count (int32 each); every
//           key on those frames is hand-made; ascending and not overlapping.
//   "SCRP"  the script of the line (script_record.h).
// A document without shapes and hand-made keys has no section, so its file is byte for byte what
// it always was.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/script_record.h"
#include "document/shape_track.h"

namespace vokra {

class KeyframeList;

constexpr std::string_view kVokSectionMark = "VKX1";
// More shape frames than this are refused as damaged: a million frames is ten times the longest
// sound at 100 frames per second (8 MB of shapes), while a 10-byte run could otherwise ask for
// gigabytes.
constexpr std::int64_t kMaxSectionShapeFrames = 1'000'000;

// The section's bytes for these keys and shapes; empty when there is nothing to keep.
std::string WriteVokSection(const KeyframeList& keys, const ShapeTrack& shapes,
                            const DocumentScript& script = {});

struct VokSectionContent {
    bool present = false;  // the bytes start with the section's mark
    bool damaged = false;  // something in it was refused; the records refused are left out
    std::vector<ShapeEntry> shapes;                           // ascending frames
    std::vector<std::pair<std::int32_t, std::int32_t>> hand;  // (first frame, count) runs
    DocumentScript script;
};
// Reads the bytes after the last string. Bytes that do not start with the mark are not a section
// (an older program never wrote any) and are ignored as they always were.
VokSectionContent ReadVokSection(std::string_view bytes);
// Marks the keys the runs cover as hand-made.
void ApplyHandRuns(const std::vector<std::pair<std::int32_t, std::int32_t>>& runs,
                   KeyframeList& keys);

}  // namespace vokra

#pragma once
// The kinds of record of the document file's section this version knows, each defined in a file
// of its own. A new kind is one more such file and one line in the table of vok_section.cpp.
#include "document/vok_section.h"

namespace vokra {

// "SHPS": the mouth shapes as runs of 10 bytes: first frame (int32), frame count (int32),
// shape 0-8 (byte), set by hand 0/1 (byte); ascending and not overlapping.
extern const VokRecordKind kShapesRecord;
// "HAND": the hand-made keys as runs of 8 bytes: first frame, frame count (int32 each); every
// key on those frames is hand-made; ascending and not overlapping.
extern const VokRecordKind kHandRecord;
// "SCRP": the script of the line and its language (script_record.h).
extern const VokRecordKind kScriptRecord;

}  // namespace vokra

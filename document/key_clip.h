#pragma once
// Keys on the clipboard. A copy holds the keys of the selected frames with their frames counted
// from the first selected frame, and how many frames the selection spanned. Two forms carry it:
// the program's own (its MIME type, exact, with the mouth shapes and the hand-made marks) and
// plain text, one "frame opening" line per key, for a text editor or a spreadsheet; both are read
// back. The readers take text from anywhere, so they
// check everything and say what was wrong.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/keyframe.h"
#include "document/shape_track.h"

namespace vokra {

constexpr const char* kKeyClipMimeType = "application/x-vokra-keys";

struct KeyClip {
    // Frames covered, counted from 0: up to one more than a frame number holds, for a copy from
    // frame 0 to the last possible frame.
    std::int64_t span = 0;
    std::vector<Keyframe> keys;  // ascending, frames within 0..span-1
    // The mouth shapes of the same frames, only in the program's own form: a clip from plain text
    // carries none and leaves the shapes where it is pasted alone.
    bool hasShapes = false;
    std::vector<ShapeEntry> shapes;  // ascending, frames within 0..span-1
};

// Plain text: "frame<TAB>opening\n" per key, the opening as a fraction (1 = 100 %) written with
// the fewest digits that read back to the same value.
std::string KeyClipText(const KeyClip& clip);
// The program's own form: a header line, the span, the text form's lines (with "\thand" after a
// hand-made key), then a line "shapes" and one "frame<TAB>letter" line per shape (again with
// "\thand" when set by hand). The earlier form without marks or shapes is read as well.
std::string KeyClipData(const KeyClip& clip);

struct KeyClipReadResult {
    bool ok = false;
    std::string error;  // what was wrong, for the message box
    KeyClip clip;
};
// Reads the plain text form: lines of a frame (0 or more) and an opening (0 to 2) separated by
// spaces, tabs, ';' or ','; blank lines are skipped; any order, the last line for a frame wins.
KeyClipReadResult ReadKeyClipText(std::string_view text);
KeyClipReadResult ReadKeyClipData(std::string_view data);

}  // namespace vokra

#pragma once
// The commands on the mouth shapes and on the hand-made marks of the selected frames. Each is one
// step of the undo history (through the document's key edits); a command that would change
// nothing records nothing and leaves the document unmodified.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shapes/mouth_shape.h"

namespace vokra {

class CVokraDoc;

// Sets every selected frame to `shape`, marked as set by hand. False when nothing changed.
bool SetSelectionShape(CVokraDoc& doc, MouthShape shape);
// Removes the shapes of the selected frames. False when there were none.
bool ClearSelectionShapes(CVokraDoc& doc);

struct GuessOutcome {
    std::int32_t filled = 0;  // frames given a guessed shape
    std::int32_t kept = 0;    // hand-set shapes left as they were
    bool ok = true;
    std::string error;  // why nothing was guessed, for a message box or stderr
};
// Guesses the shapes of the selected frames from g_sound (with no selection, from the frame after
// the cursor to the end, as AutoKey does). Hand-set shapes stay unless `replaceHandEdits`. Frames
// past the end of the sound get no shape.
GuessOutcome GuessSelectionShapes(CVokraDoc& doc, bool replaceHandEdits);
// The same with the 10 ms shapes from `source` (asked only when there are frames to fill), as
// one edit named `name`; with `allWithoutSelection`, no selection means every frame.
using ShapeSource = std::function<std::vector<MouthShape>()>;
GuessOutcome FillSelectionShapes(CVokraDoc& doc, bool replaceHandEdits, const char* name,
                                 const ShapeSource& source, bool allWithoutSelection = false);
// A line for the status bar after a guess: "Guessed 120 frames; kept 3 hand-set shapes."
std::string GuessStatusText(const GuessOutcome& outcome);

// Marks (hand true) or releases (false) the keys and shapes of the selected frames; how many keys
// and shapes changed.
std::int32_t MarkSelectionHandMade(CVokraDoc& doc, bool hand);

}  // namespace vokra

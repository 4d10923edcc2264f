#pragma once
// The commands on the mouth shapes and on the hand-made marks of the selected frames. Each is one
// step of the undo history (through the document's key edits); a command that would change
// nothing records nothing and leaves the document unmodified.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/shape_track.h"
#include "shapes/mouth_shape.h"
#include "shapes/shape_options.h"

namespace vokra {

class CVokraDoc;

// Sets every selected frame to `shape`, marked as set by hand. False when nothing changed.
bool SetSelectionShape(CVokraDoc& doc, MouthShape shape);
// Sets one frame to `shape`, marked as set by hand (typing in the shape lane). False when it
// already was.
bool SetFrameShape(CVokraDoc& doc, std::int32_t frame, MouthShape shape);
// Moves the boundary between two runs of different shapes over frames first..last to frame
// `at` (the first frame of the right run afterwards, first < at <= last): the frames that change
// take the shape of the run that grows, set by hand. `original` is what the frames held when the
// move began (ascending, all within first..last). Changes the track only: the caller brackets it
// as one edit.
void MoveShapeBoundary(ShapeTrack& track, const std::vector<ShapeEntry>& original,
                       std::int32_t first, std::int32_t last, std::int32_t at, MouthShape left,
                       MouthShape right);
// Removes the shapes of the selected frames. False when there were none.
bool ClearSelectionShapes(CVokraDoc& doc);

struct GuessOutcome {
    std::int32_t filled = 0;  // frames given a guessed shape
    std::int32_t kept = 0;    // hand-set shapes of the range left as they were
    // A guess that reaches the end of the sound clears the shapes guessed before (against a
    // longer take) past that end; the hand-set ones there stay.
    std::int32_t cleared = 0;
    std::int32_t keptPastEnd = 0;
    bool ok = true;
    std::string error;  // why nothing was guessed, for a message box or stderr
};
// Guesses the shapes of the selected frames from g_sound (with no selection, from the frame after
// the cursor to the end, as AutoKey does). Hand-set shapes stay unless `replaceHandEdits`. Frames
// past the end of the sound get no shape: when the range reaches that end, the guessed shapes
// after it (to the last frame) go, in the same step. `options` lead the mouths and keep them to
// the rig's.
GuessOutcome GuessSelectionShapes(CVokraDoc& doc, bool replaceHandEdits,
                                  const ShapeOptions& options = {});
// The same with the 10 ms shapes from `source` (asked only when there are frames to fill), as
// one edit named `name`; `alongside`, when set, is called inside that edit (after `source`) to
// change what else goes with it.
using Per10msSource = std::function<std::vector<MouthShape>()>;
using EditAlongside = std::function<void(CVokraDoc&)>;
GuessOutcome FillSelectionShapes(CVokraDoc& doc, bool replaceHandEdits, const char* name,
                                 const Per10msSource& source, const EditAlongside& alongside = {});
// A line for the status bar after a guess: "Guessed 117 frames; kept 3 hand-set shapes." (the
// frames of the range less those kept, as AutoKey counts them), then what happened past the end
// of the sound.
std::string GuessStatusText(const GuessOutcome& outcome);

// Marks (hand true) or releases (false) the keys and shapes of the selected frames; how many keys
// and shapes changed.
std::int32_t MarkSelectionHandMade(CVokraDoc& doc, bool hand);

}  // namespace vokra

#pragma once
// Guess Shapes from Script: the script of the line (a text and an espeak-ng language) aligned to
// the sound, its mouths put on the selected frames (every frame without a selection) as one step
// of the undo history that keeps hand-set shapes like Guess Shapes, and the script kept in the
// document to be offered again.
#include <string>

#include "document/script_record.h"
#include "document/shape_commands.h"
#include "shapes/script_alignment.h"
#include "shapes/shape_options.h"

namespace vokra {

struct ScriptGuessOutcome {
    GuessOutcome guess;         // guess.ok false, with guess.error, when nothing was done
    ScriptAlignment alignment;  // the words placed and not found, and any notice
};

// The selected frames (every frame without a selection) from the script aligned to g_sound, then
// led and kept to the rig's mouths by `options`, as one edit that keeps hand-set shapes.
ScriptGuessOutcome GuessSelectionShapesFromScript(CVokraDoc& doc, const DocumentScript& script,
                                                  bool replaceHandEdits,
                                                  const ShapeOptions& options = {});

// Why a script cannot be aligned as it stands ("" when it can): no language espeak-ng has, text
// that is not UTF-8 or is too long, or words that are not in the language chosen.
std::string ScriptProblem(const DocumentScript& script);

// The status line after it: "Guessed 120 frames from the script; 2 of 14 words were not found
// in the sound: ..." or the notice of a script that was set aside.
std::string ScriptStatusText(const ScriptGuessOutcome& outcome);

}  // namespace vokra

#include "document/script_commands.h"

#include "document/vokra_doc.h"
#include "platform/message_service.h"
#include "shapes/shape_lead.h"
#include "shapes/shape_set.h"
#include "sound/sound_data.h"

namespace vokra {

std::string ScriptProblem(const DocumentScript& script) {
    if (script.text.size() > kMaxScriptBytes) {
        return "The script is longer than " + GroupedNumber(kMaxScriptBytes) +
               " bytes; a script for one recording is far shorter.";
    }
    if (const std::string why = ScriptTextProblem(script.text); !why.empty()) {
        return "The script cannot be read: " + why + ".";
    }
    if (!IsPlausibleScriptLanguage(script.language) || !IsScriptLanguage(script.language)) {
        return "espeak-ng has no language '" + script.language + "'.";
    }
    return ScriptReadingProblem(script.text, script.language);
}

ScriptGuessOutcome GuessSelectionShapesFromScript(CVokraDoc& doc, const DocumentScript& script,
                                                  bool replaceHandEdits,
                                                  const ShapeOptions& options) {
    ScriptGuessOutcome outcome;
    if (const std::string why = ScriptProblem(script); !why.empty()) {
        outcome.guess.ok = false;
        outcome.guess.error = why;
        return outcome;
    }
    ScriptAlignment& alignment = outcome.alignment;
    outcome.guess = FillSelectionShapes(
        doc, replaceHandEdits, "Guess Shapes from Script",
        [&] {
            alignment = AlignShapesToText(g_sound.GetSamples(), g_sound.GetSampleCount(),
                                          g_sound.GetSampleRate(), script.text, script.language);
            // The rest of the chain, as for a guess: the lead, then the rig's mouths.
            std::vector<MouthShape> shapes = alignment.per10ms;
            ApplyShapeLead(shapes, options.leadMs);
            ApplyShapeSet(shapes, options.extended);
            return shapes;
        },
        [&](CVokraDoc& d) {
            // Only a script that was used is kept; one set aside leaves the saved one alone.
            if (!alignment.ok() || !alignment.notice.empty()) return;
            std::vector<ScriptWordPlace> words;
            for (const PlacedWord& w : alignment.words) {
                if (w.firstWindow < 0) continue;
                words.push_back({w.text, w.firstWindow / 100.0, w.endWindow / 100.0, w.found});
            }
            d.SetScriptInEdit(script, std::move(words));
        });
    if (!alignment.ok()) {
        outcome.guess.ok = false;
        outcome.guess.error = alignment.error;
    }
    return outcome;
}

std::string ScriptStatusText(const ScriptGuessOutcome& outcome) {
    std::string text = GuessStatusText(outcome.guess);
    if (!outcome.alignment.notice.empty()) return text + " " + outcome.alignment.notice;
    for (const std::string& more :
         {NotFoundText(outcome.alignment, 5), UnscriptedText(outcome.alignment, 3)}) {
        if (more.empty()) continue;
        text.pop_back();  // the full stop
        text += "; " + more + ".";
    }
    return text;
}

}  // namespace vokra

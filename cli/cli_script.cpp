// vokra-cli's shapes from the script of the line: `shapes SOUND --text FILE --language NAME` and
// `autokey --shapes --text FILE --language NAME`. Words the voice does not say, and speech the
// script does not have, are named on standard error and guessed from the sound alone; the exit
// status is that of the guess.
#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "document/script_commands.h"
#include "document/script_file.h"
#include "document/vokra_doc.h"
#include "shapes/script_alignment.h"
#include "shapes/script_phonemes.h"
#include "shapes/shape_lead.h"
#include "shapes/shape_set.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

// The languages espeak-ng has, for the message about one it does not.
std::string LanguageList() {
    std::string list;
    for (const ScriptLanguage& l : ScriptLanguages()) list += (list.empty() ? "" : ", ") + l.code;
    return list;
}

// The script of --text and --language, or the exit code after saying why there is none.
int ReadScript(const CliOptions& o, DocumentScript& script, std::ostream& err) {
    const ScriptFileResult file = ReadScriptFile(o.textPath);
    if (!file.ok()) {
        err << "vokra-cli: " << file.error << "\n";
        return kCliFileError;
    }
    script.text = file.text;
    script.language = o.language;
    if (!IsPlausibleScriptLanguage(o.language) || !IsScriptLanguage(o.language)) {
        const std::string list = LanguageList();
        err << "vokra-cli: espeak-ng has no language '" << o.language << "'"
            << (list.empty() ? std::string(" (its data, espeak-ng-data, is missing)")
                             : "; it has: " + list)
            << "\n";
        return kCliUsageError;
    }
    if (const std::string why = ScriptReadingProblem(script.text, script.language); !why.empty()) {
        err << "vokra-cli: " << why << "\n";
        return kCliUsageError;
    }
    return kCliOk;
}

void ReportWords(const ScriptAlignment& a, std::ostream& err) {
    if (!a.notice.empty()) err << "vokra-cli: " << a.notice << "\n";
    const std::string missing = NotFoundText(a, 100);
    if (!missing.empty()) {
        err << "vokra-cli: " << missing << "\n";
    }
    const std::string unscripted = UnscriptedText(a, 20);
    if (!unscripted.empty()) err << "vokra-cli: " << unscripted << "\n";
}

}  // namespace

int ShapesFromScript(const CliOptions& o, std::vector<MouthShape>& per10ms, std::ostream& err,
                     std::vector<PlacedWord>* words) {
    DocumentScript script;
    if (const int refused = ReadScript(o, script, err)) return refused;
    const ScriptAlignment a =
        AlignShapesToText(g_sound.GetSamples(), g_sound.GetSampleCount(), g_sound.GetSampleRate(),
                          script.text, script.language);
    if (!a.ok()) {
        err << "vokra-cli: " << a.error << "\n";
        return kCliUsageError;
    }
    ReportWords(a, err);
    per10ms = a.per10ms;
    if (words) *words = a.words;
    // The rest of the chain, as for a guess: the lead, then the rig's mouths.
    const ShapeOptions options = ShapeOptionsOf(o);
    ApplyShapeLead(per10ms, options.leadMs);
    ApplyShapeSet(per10ms, options.extended);
    return kCliOk;
}

int GuessDocumentShapesFromScript(CVokraDoc& doc, std::int32_t first, std::int32_t last,
                                  bool replaceHandEdits, const CliOptions& o, std::ostream& err) {
    DocumentScript script;
    if (const int refused = ReadScript(o, script, err)) return refused;
    TimelineState& ts = doc.GetTimeRange();
    ts.SetAnchor(first - 0.5);
    ts.SetCursor(last + 0.5);
    const ScriptGuessOutcome outcome =
        GuessSelectionShapesFromScript(doc, script, replaceHandEdits, ShapeOptionsOf(o));
    if (!outcome.guess.ok) {
        err << "vokra-cli: " << outcome.guess.error << "\n";
        return kCliFileError;
    }
    ReportWords(outcome.alignment, err);
    if (outcome.guess.kept > 0) err << "vokra-cli: " << GuessStatusText(outcome.guess) << "\n";
    return kCliOk;
}

}  // namespace vokra

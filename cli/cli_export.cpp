#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "document/envelope_writer.h"
#include "document/key_export_command.h"
#include "document/vokra_doc.h"
#include "sound/import.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

bool WriteEnvelopeToStream(const CVokraDoc& doc, std::ostream& out, std::ostream& err) {
    if (WriteEnvelope(doc.GetKeys(), out) && out.flush()) return true;
    err << "vokra-cli: could not write the envelope to standard output\n";
    return false;
}

}  // namespace

// The keys in the chosen format (the envelope by default) to -o OUT or to standard output. A
// sound path repaired for JSON is mentioned on standard error.
bool WriteKeysOutput(const CVokraDoc& doc, const CliOptions& o, std::ostream& out,
                     std::ostream& err) {
    const KeyFormat format = o.format.value_or(KeyFormat::Env);
    KeyExportInfo info = ExportInfoOf(doc, o.mouths.value_or(DefaultMouthBands()));
    if (o.shapeNames) info.shapeNames = *o.shapeNames;
    info.shapeSet = ShapeOptionsOf(o).extended;
    if (IsShapeCueFormat(format)) {
        if (doc.GetShapes().IsEmpty()) {
            err << "vokra-cli: " << (o.updatePath.empty() ? o.input : o.updatePath) << ": "
                << NoShapesToExportMessage() << " (autokey --shapes guesses them)\n";
            return false;
        }
        // The cues cover the sound: its length, when the document's sound can be read.
        if (!g_sound.IsLoaded() && !doc.GetSoundName().empty()) {
            const std::string path = doc.GetSoundDir() + "/" + doc.GetSoundName();
            SoundData sound;
            std::string refusal;
            if (NotASoundReason(path).empty() && sound.Load(path, refusal) == 0) {
                info.soundSamples = sound.GetSampleCount();
                info.soundRate = sound.GetSampleRate();
                if (format == KeyFormat::Pgo) AddScriptWords(doc, sound, info);
            }
        }
    }
    if (const auto rig = RigFormatOf(format)) {
        // The document's own sound is an input too: never replaced by the export.
        if (!o.outputPath.empty() && doc.RefusesOwnSound(o.outputPath)) return false;
        info.rig = o.rig;
        return WriteRigOutput(*rig, RigMouthsOf(info), o, out, err) == kCliOk;
    }
    if (!o.outputPath.empty()) return ExportKeysTo(doc, format, o.outputPath, info);
    KeyExportNotes notes;
    if (!WriteKeys(format, doc.GetKeys(), info, out, &notes) || !out.flush()) {
        err << "vokra-cli: could not write the keys to standard output\n";
        return false;
    }
    if (notes.soundPathNotUtf8) err << "vokra-cli: note: " << SoundPathNotUtf8Note() << "\n";
    return true;
}

int RunExport(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (const int refused =
            RefuseFileClash({{"the document", o.input}}, {{"-o", o.outputPath}}, err)) {
        return refused;
    }
    CVokraDoc doc;
    if (!ReadDocument(doc, o.input)) return kCliFileError;
    if (o.format.value_or(KeyFormat::Env) != KeyFormat::Env) {
        return WriteKeysOutput(doc, o, out, err) ? kCliOk : kCliFileError;
    }
    if (!o.outputPath.empty()) return doc.WriteEnvelopeTo(o.outputPath) ? kCliOk : kCliFileError;
    return WriteEnvelopeToStream(doc, out, err) ? kCliOk : kCliFileError;
}

}  // namespace vokra

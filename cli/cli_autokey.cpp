#include <optional>
#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "document/key_edit.h"
#include "document/vokra_doc.h"
#include "palettes/auto_key.h"
#include "platform/trunc_int.h"
#include "sound/amplitude.h"
#include "sound/load_recording.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

// The frames --from and --to name on the document's timeline: 0, or a usage error's code after
// saying why they cannot be keyed.
int ChooseKeyRange(const CVokraDoc& doc, const CliOptions& o, std::ostream& err,
                   std::int32_t& first, std::int32_t& last) {
    const std::int32_t lastFrame = TruncToInt32(doc.GetTimeRange().GetExtentMax());
    first = o.from.value_or(0);
    last = o.to.value_or(lastFrame);
    if (last > lastFrame) {
        return UsageError(err, "--to " + std::to_string(last) +
                                   " is past the last frame of the timeline (" +
                                   std::to_string(lastFrame) + ")");
    }
    if (first > last) {
        return UsageError(err, "--from " + std::to_string(first) + " is after the last frame (" +
                                   std::to_string(last) + ")");
    }
    if (const std::int64_t count = std::int64_t{last} - first + 1; count > kMaxKeysPerEdit) {
        return UsageError(err, TooManyKeysMessage("AutoKey", count));
    }
    return 0;
}

int KeyChosenRange(CVokraDoc& doc, const CliOptions& o, bool replaceHandEdits, std::ostream& err) {
    std::int32_t first = 0;
    std::int32_t last = -1;
    if (const int refused = ChooseKeyRange(doc, o, err, first, last)) return refused;
    if (g_maxAmplitude < 1.0) g_maxAmplitude = 1.0;
    const AutoKeyOutcome keyed =
        AutoKeyApply(g_sound, g_maxAmplitude, doc.GetFrameRate(), first, last, AutoKeySettingsOf(o),
                     replaceHandEdits, doc.GetKeys());
    if (keyed.kept > 0) err << "vokra-cli: " << AutoKeyStatusText(keyed) << "\n";
    if (!o.guessShapes) return 0;
    if (!o.textPath.empty())
        return GuessDocumentShapesFromScript(doc, first, last, replaceHandEdits, o, err);
    return GuessDocumentShapes(doc, first, last, replaceHandEdits, ShapeOptionsOf(o), err)
               ? 0
               : kCliFileError;
}

AutoKeySettings AutoKeySettingsOf(const CliOptions& o) {
    AutoKeySettings settings;
    settings.highThreshold = o.highThreshold;
    settings.lowThreshold = o.lowThreshold;
    settings.highRange = o.highRange;
    settings.lowRange = o.lowRange;
    return settings;
}

// Loads the sound through the sound layer's one way in: a recording the loader refuses for its
// format or size is converted in memory by the rule of the program's Convert button; with --vok
// the converted copy is written beside the document, so that the document refers to a sound
// that loads.
bool LoadAnySound(CVokraDoc& doc, const CliOptions& o, std::ostream& err) {
    RecordingRequest request;
    if (!o.vokPath.empty()) request.copyFolder = FolderOf(o.vokPath);
    const RecordingLoad load = doc.TryLoadSound(o.input, request);
    TellUser(load.messages, err);
    return load.loaded;
}

int RunAutoKey(const CliOptions& o, std::ostream& out, std::ostream& err) {
    // Two outputs on one file would leave only the last one written (the document of --update
    // replaced by an envelope); an output on the recording or the script destroys what is read.
    if (const int refused =
            RefuseFileClash({{"the recording", o.input}, {"the script (--text)", o.textPath}},
                            {{"-o", o.outputPath},
                             {"--env", o.envPath},
                             {"--vok", o.vokPath},
                             {"--update", o.updatePath}},
                            err)) {
        return refused;
    }
    if (!o.updatePath.empty()) return RunAutoKeyUpdate(o, out, err);
    CVokraDoc doc;
    ResetWithoutSettings(doc);
    if (!LoadAnySound(doc, o, err)) return kCliFileError;

    const std::int32_t preset = PresetForRate(o.fps);
    if (preset == 0) {
        // The custom rate goes through the frame-rate command, which records it as custom.
        doc.OnSetFramesPerSec([&](std::int32_t, double, double) {
            return std::optional<FpsChoice>(FpsChoice{o.fps, 0});
        });
    } else {
        doc.SetFrameRate(o.fps, preset);
    }
    doc.UpdateExtent();

    // A new document has no hand-made keys or shapes to keep.
    if (const int refused = KeyChosenRange(doc, o, true, err)) return refused;

    // The envelope first, so that a document written with it records where it went.
    if (!o.envPath.empty() && !doc.WriteEnvelopeTo(o.envPath)) return kCliFileError;
    if (!o.vokPath.empty() && !doc.OnSaveDocument(o.vokPath)) return kCliFileError;
    // The keys go to standard output when no file was asked for, or when a format was chosen.
    const bool keysOut =
        !o.outputPath.empty() || o.format || (o.envPath.empty() && o.vokPath.empty());
    if (keysOut && !WriteKeysOutput(doc, o, out, err)) return kCliFileError;
    return kCliOk;
}

}  // namespace vokra

// vokra-cli's commands on mouth shapes and hand edits: shapes (a recording's mouths in the forms
// 2D lip-sync pipelines read), edit (hand-made keys set and released in a document) and
// autokey --update (a new take keyed into an existing document, its hand edits kept).
#include <filesystem>
#include <ostream>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "document/key_edit.h"
#include "document/shape_commands.h"
#include "document/shape_export.h"
#include "document/vokra_doc.h"
#include "palettes/auto_key.h"
#include "platform/atomic_file.h"
#include "platform/message_service.h"
#include "platform/trunc_int.h"
#include "shapes/shape_estimator.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// Writes `text` to `path`, replacing it only once complete; the program's messages on failure.
bool WriteTextFile(const std::string& path, const std::string& text) {
    const std::string full = FullPath(path);
    AtomicFile file(full);
    if (!file.Open()) {
        AfxMessageBox("Could not open/create file " + full + "\n" + file.ErrorText());
        return false;
    }
    if (!file.Write(text) || !file.Commit()) {
        const std::string reason = file.ErrorText();
        file.Discard();
        AfxMessageBox("Could not write file " + full + (reason.empty() ? "" : "\n" + reason));
        return false;
    }
    return true;
}

// Removes the hand-made mark from the keys and shapes of frames first..last; how many changed.
std::int32_t Release(CVokraDoc& doc, std::int32_t first, std::int32_t last) {
    std::int32_t changed = 0;
    std::vector<Keyframe> keys = doc.GetKeys().CopyRange(first, last);
    for (Keyframe& key : keys) {
        changed += key.IsHandMade() ? 1 : 0;
        key.SetHandMade(false);
    }
    std::vector<ShapeEntry> shapes = doc.GetShapes().CopyRange(first, last);
    for (ShapeEntry& entry : shapes) {
        changed += entry.hand ? 1 : 0;
        entry.hand = false;
    }
    if (changed > 0) {
        doc.GetKeys().ReplaceRange(first, last, keys);
        doc.GetShapes().ReplaceRange(first, last, shapes);
    }
    return changed;
}

// A write that would replace records the document's file holds but this version could not read
// goes ahead only when --drop-damaged asks for it; false after saying so.
bool AllowSave(CVokraDoc& doc, const CliOptions& o, const std::string& path, std::ostream& err) {
    const std::string lost = doc.LostOnSave();
    if (lost.empty()) return true;
    if (o.dropDamaged) {
        doc.SetDropDamagedOnSave(true);
        return true;
    }
    err << "vokra-cli: " << path << ": " << CVokraDoc::LostOnSaveText(lost)
        << " Nothing was written; --drop-damaged writes it anyway.\n";
    return false;
}

}  // namespace

bool GuessDocumentShapes(CVokraDoc& doc, std::int32_t first, std::int32_t last,
                         bool replaceHandEdits, const ShapeOptions& options, std::ostream& err) {
    TimelineState& ts = doc.GetTimeRange();
    ts.SetAnchor(first - 0.5);
    ts.SetCursor(last + 0.5);
    const GuessOutcome outcome = GuessSelectionShapes(doc, replaceHandEdits, options);
    if (!outcome.ok) {
        err << "vokra-cli: " << outcome.error << "\n";
        return false;
    }
    if (outcome.kept > 0 || outcome.cleared > 0 || outcome.keptPastEnd > 0) {
        err << "vokra-cli: " << GuessStatusText(outcome) << "\n";
    }
    return true;
}

int RunShapes(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (const int refused =
            RefuseFileClash({{"the recording", o.input}, {"the script (--text)", o.textPath}},
                            {{"-o", o.outputPath}}, err)) {
        return refused;
    }
    CVokraDoc doc;
    ResetWithoutSettings(doc);
    CliOptions load = o;
    load.vokPath.clear();  // a recording the loader refuses is converted in memory
    if (!LoadAnySound(doc, load, err)) return kCliFileError;

    const ShapeOptions options = ShapeOptionsOf(o);
    std::vector<MouthShape> per10ms;
    std::vector<PlacedWord> words;
    if (!o.textPath.empty()) {
        if (const int refused = ShapesFromScript(o, per10ms, err, &words)) return refused;
    } else {
        per10ms = GuessShapes(g_sound.GetSamples(), g_sound.GetSampleCount(),
                              g_sound.GetSampleRate(), options);
    }
    ShapeExportInfo info;
    // Absolute and normal, as readers of the json and xml open it from wherever they run.
    info.soundPath = FullPath(o.input);
    info.sampleRate = g_sound.GetSampleRate();
    info.sampleCount = g_sound.GetSampleCount();
    info.duration = static_cast<double>(g_sound.GetSampleCount()) / g_sound.GetSampleRate();
    info.frameRate = o.fps;
    info.names = o.shapeNames.value_or(DefaultMouthShapeNames());
    info.shapeSet = options.extended;
    const ShapeFormat format = o.shapeFormat.value_or(ShapeFormat::Tsv);
    if (const auto rig = RigFormatOf(format)) {
        info.rig = o.rig;
        info.words = RigWordsOf(words, o.fps);
        return WriteRigOutput(*rig, RigMouthsOf(per10ms, info), o, out, err);
    }

    std::ostringstream text;
    WriteShapes(format, per10ms, info, text);
    if (!o.outputPath.empty())
        return WriteTextFile(o.outputPath, text.str()) ? kCliOk : kCliFileError;
    const std::string bytes = std::move(text).str();
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
        err << "vokra-cli: could not write the shapes to standard output\n";
        return kCliFileError;
    }
    return kCliOk;
}

int RunEdit(const CliOptions& o, std::ostream& /*out*/, std::ostream& err) {
    CVokraDoc doc;
    if (!ReadDocument(doc, o.input, true)) return kCliFileError;
    bool changed = false;
    // Releases first: a key set on the same command line is meant to stay hand-made.
    for (const auto& [first, last] : o.releaseRanges) changed |= Release(doc, first, last) > 0;
    for (const auto& [frame, opening] : o.setKeys) {
        Keyframe key(frame, opening);
        key.SetHandMade(true);
        const bool found = [&, frame = frame] {  // clang 14 cannot capture a binding
            bool f;
            std::int32_t index;
            doc.GetKeys().Find(frame, f, index);
            const Keyframe* old = f ? doc.GetKeys().GetAt(index) : nullptr;
            return old && old->GetOpening() == key.GetOpening() && old->IsHandMade();
        }();
        if (found) continue;
        doc.GetKeys().SetKey(key);
        changed = true;
    }
    // Nothing to change: the file is left exactly as it was.
    if (!changed) return kCliOk;
    if (!AllowSave(doc, o, o.input, err)) return kCliFileError;
    return doc.OnSaveDocument(o.input) ? kCliOk : kCliFileError;
}

int RunAutoKeyUpdate(const CliOptions& o, std::ostream& out, std::ostream& err) {
    CVokraDoc doc;
    if (!ReadDocument(doc, o.updatePath, true)) return kCliFileError;
    if (o.fpsGiven && o.fps != doc.GetFrameRate()) {
        return UsageError(err, "--fps " + ShortestNumber(o.fps) +
                                   " differs from the document's frame rate (" +
                                   ShortestNumber(doc.GetFrameRate()) + ")");
    }
    CliOptions load = o;
    load.vokPath = o.updatePath;  // a converted copy goes beside the document, which refers to it
    if (!LoadAnySound(doc, load, err)) return kCliFileError;
    doc.UpdateExtent();

    if (const int refused = KeyChosenRange(doc, o, o.replaceHandEdits, err)) return refused;

    if (!AllowSave(doc, o, o.updatePath, err)) return kCliFileError;
    if (!o.envPath.empty() && !doc.WriteEnvelopeTo(o.envPath)) return kCliFileError;
    if (!doc.OnSaveDocument(o.updatePath)) return kCliFileError;
    const bool keysOut = !o.outputPath.empty() || o.format;
    if (keysOut && !WriteKeysOutput(doc, o, out, err)) return kCliFileError;
    return kCliOk;
}

}  // namespace vokra

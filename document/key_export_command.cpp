#include "document/key_export_command.h"

#include <filesystem>
#include <sstream>

#include "document/rig_settings.h"
#include "document/shape_export.h"
#include "document/shape_settings.h"
#include "document/vokra_doc.h"
#include "platform/atomic_file.h"
#include "platform/file_dialog_service.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "shapes/script_alignment.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr const char* kMouthsKey = "MOUTHS";
constexpr const char* kShapeNamesKey = "SHAPE_NAMES";

std::string FolderKey(KeyFormat format) {
    std::string key = KeyFormatName(format);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key + "DIR";
}

std::string Filter(KeyFormat format) {
    switch (format) {
        case KeyFormat::Env:
            return "env Files (*.env)|*.env|All Files (*.*)|*.*||";
        case KeyFormat::Csv:
            return "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";
        case KeyFormat::Json:
            return "JSON Files (*.json)|*.json|All Files (*.*)|*.*||";
        case KeyFormat::Ae:
            return "After Effects Keyframe Data (*.txt)|*.txt|All Files (*.*)|*.*||";
        case KeyFormat::Dat:
            return "Mouth Switch Data (*.dat)|*.dat|All Files (*.*)|*.*||";
        case KeyFormat::RhubarbTsv:
            return "Mouth Cues, Tab-Separated (*.tsv)|*.tsv|All Files (*.*)|*.*||";
        case KeyFormat::RhubarbJson:
            return "Mouth Cues, JSON (*.json)|*.json|All Files (*.*)|*.*||";
        case KeyFormat::RhubarbXml:
            return "Mouth Cues, XML (*.xml)|*.xml|All Files (*.*)|*.*||";
        default:
            break;
    }
    if (const auto rig = RigFormatOf(format)) {
        std::string title = RigFormatInfo(*rig).menuText;
        title = title.substr(0, title.find(" ..."));
        std::erase(title, '&');
        const std::string ext = RigFormatInfo(*rig).extension;
        return title + " (*." + ext + ")|*." + ext + "|All Files (*.*)|*.*||";
    }
    return "All Files (*.*)|*.*||";
}

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string WithPath(const char* text, const std::string& path) {
    return std::string(text) + path;
}

}  // namespace

MouthBands LoadMouthBands() {
    const std::string text = Profile().GetString(kExportSection, kMouthsKey);
    if (text.empty()) return DefaultMouthBands();
    MouthBandsParse parsed = ParseMouthBands(text);
    // A list spoilt by hand in the settings file is not worth a message at every export.
    return parsed.error.empty() ? std::move(parsed.bands) : DefaultMouthBands();
}

bool SaveMouthBands(const MouthBands& bands) {
    if (!CheckMouthBands(bands).empty()) return false;
    return Profile().WriteString(kExportSection, kMouthsKey, FormatMouthBands(bands));
}

MouthShapeNames LoadMouthShapeNames() {
    const std::string text = Profile().GetString(kExportSection, kShapeNamesKey);
    if (text.empty()) return DefaultMouthShapeNames();
    MouthShapeNamesParse parsed = ParseMouthShapeNames(text);
    return parsed.error.empty() ? std::move(parsed.names) : DefaultMouthShapeNames();
}

bool SaveMouthShapeNames(const MouthShapeNames& names) {
    const std::string text = FormatMouthShapeNames(names);
    if (!ParseMouthShapeNames(text).error.empty()) return false;
    return Profile().WriteString(kExportSection, kShapeNamesKey, text);
}

KeyExportInfo ExportInfoOf(const CVokraDoc& doc, const MouthBands& mouths) {
    KeyExportInfo info;
    info.frameRate = doc.GetFrameRate();
    if (!doc.GetSoundName().empty()) info.soundPath = doc.GetSoundDir() + "/" + doc.GetSoundName();
    info.mouths = mouths;
    info.shapes = &doc.GetShapes();
    info.shapeNames = LoadMouthShapeNames();
    info.shapeSet = LoadShapeOptions().extended;
    // The window's sound is the document's; the command-line tool fills these in itself.
    if (g_sound.IsLoaded()) {
        info.soundSamples = g_sound.GetSampleCount();
        info.soundRate = g_sound.GetSampleRate();
    }
    return info;
}

std::string KeysAsText(const CVokraDoc& doc, KeyFormat format, const MouthBands& mouths,
                       KeyExportNotes* notes) {
    std::ostringstream text;
    WriteKeys(format, doc.GetKeys(), ExportInfoOf(doc, mouths), text, notes);
    return std::move(text).str();
}

std::string NoShapesToExportMessage() {
    return "This document has no mouth shapes to write.";
}

std::string SoundPathNotUtf8Note() {
    return "The sound file's path is not valid UTF-8. It was written to the JSON file with "
           "replacement characters (U+FFFD) in place of the invalid bytes.";
}

void AddScriptWords(const CVokraDoc& doc, const SoundData& sound, KeyExportInfo& info) {
    const DocumentScript& script = doc.GetScript();
    if (script.text.empty() || script.language.empty() || !sound.IsLoaded()) return;
    const ScriptAlignment a =
        AlignShapesToText(sound.GetSamples(), sound.GetSampleCount(), sound.GetSampleRate(),
                          script.text, script.language);
    if (!a.ok() || !a.notice.empty()) return;
    info.words = RigWordsOf(a.words, info.frameRate);
    info.script = script.text;
}

bool ExportKeysTo(const CVokraDoc& doc, KeyFormat format, const std::string& path,
                  const MouthBands& mouths) {
    KeyExportInfo info = ExportInfoOf(doc, mouths);
    // The engine and rig formats as last set in their dialog.
    if (const auto rig = RigFormatOf(format)) info.rig = LoadRigOptions(*rig);
    if (format == KeyFormat::Pgo) AddScriptWords(doc, g_sound, info);
    return ExportKeysTo(doc, format, path, info);
}

bool ExportKeysTo(const CVokraDoc& doc, KeyFormat format, const std::string& path,
                  const KeyExportInfo& info) {
    const std::string full = FullPath(path);
    if (doc.RefusesOwnSound(full)) return false;
    AtomicFile file(full);
    if (!file.Open()) {
        AfxMessageBox(WithPath("Could not open/create file ", full) + "\n" + file.ErrorText());
        return false;
    }
    KeyExportNotes notes;
    std::ostringstream text;
    const bool ok = WriteKeys(format, doc.GetKeys(), info, text, &notes) &&
                    file.Write(text.view()) && file.Commit();
    if (!ok) {
        const std::string reason = file.ErrorText();
        file.Discard();
        AfxMessageBox(reason.empty() ? WithPath("Could not write file ", full)
                                     : WithPath("Could not write file ", full) + "\n" + reason);
        return false;
    }
    if (notes.soundPathNotUtf8) {
        AfxMessageBox(SoundPathNotUtf8Note(), MsgButtons::Ok, MsgIcon::Information);
    }
    return true;
}

bool OnExportKeys(const CVokraDoc& doc, KeyFormat format, const MouthBands& mouths) {
    const std::string folderKey = FolderKey(format);
    FileDialogRequest request;
    request.save = true;
    request.filter = Filter(format);
    request.defaultExt = KeyFormatExtension(format);
    std::string stem = doc.GetTitle();
    if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    request.initialName = stem + "." + request.defaultExt;
    request.initialDir = Profile().GetString(kExportSection, folderKey);
    // The first export of a format goes beside the document (or its sound), not wherever the
    // process happens to be.
    if (request.initialDir.empty()) {
        const std::string& path = doc.GetPathName();
        if (const auto slash = path.rfind('/'); slash != std::string::npos) {
            request.initialDir = slash == 0 ? "/" : path.substr(0, slash);
        } else if (!doc.GetSoundName().empty()) {
            request.initialDir = doc.GetSoundDir();
        }
    }
    request.overwritePrompt = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return false;
    if (!ExportKeysTo(doc, format, *chosen, mouths)) return false;
    const std::string full = FullPath(*chosen);
    const auto slash = full.rfind('/');
    Profile().WriteString(kExportSection, folderKey,
                          slash == std::string::npos ? std::string() : full.substr(0, slash));
    return true;
}

}  // namespace vokra

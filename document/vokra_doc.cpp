// The document itself: its state and timeline, the sound it is made against (loaded as it is or
// converted to a copy that loads), and the envelope file written from its keys.
#include "document/vokra_doc.h"

#include <climits>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <utility>

#include "document/app_values.h"
#include "document/envelope_writer.h"
#include "document/vokra_doc_common.h"
#include "platform/atomic_file.h"
#include "platform/file_dialog_service.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "platform/progress_service.h"
#include "sound/amplitude.h"
#include "sound/import.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr double kDefaultFps = 15.0;

// Splits at the last '/': (folder without the separator, file name).
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        dir.clear();
        name = path;
    } else {
        dir = path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

}  // namespace

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string Format(std::string text, const std::string& value) {
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

double PresetFrameRate(std::int32_t preset, double customFps) {
    static constexpr double kRates[kPresetCount] = {0.0,    4.0,  7.5,  10.0, 12.0,  12.5,
                                                    14.985, 15.0, 24.0, 25.0, 29.97, 30.0};
    if (preset == 0) return customFps;
    if (preset < 0 || preset >= kPresetCount) return kDefaultFps;
    return kRates[preset];
}

CVokraDoc::CVokraDoc() {
    timeState.SetExtent(-0.5, 10.5);
    timeState.SetVisibleRange(-0.5, 10.5);
    timeState.SetAnchor(-0.5);
    timeState.SetCursor(-0.5);
}

CVokraDoc::~CVokraDoc() = default;

void CVokraDoc::DeleteContents() {
    CancelKeyDrag();
    if (keyEditSink) keyEditSink->Clear();
    timeState.SetExtent(-0.5, 10.5);
    timeState.SetVisibleRange(-0.5, 10.5);
    timeState.SetAnchor(-0.5);
    timeState.SetCursor(-0.5);

    IniFile& profile = Profile();
    soundDir = profile.GetString(kDirectories, "WAVEDIR");
    soundName.clear();
    envDir = profile.GetString(kDirectories, "ENVDIR");
    envName.clear();
    fpsPreset = profile.GetInt(kSettings, "FPS_TYPE", kDefaultPreset);
    if (fpsPreset < 0 || fpsPreset >= kPresetCount) fpsPreset = kDefaultPreset;
    customFps = profile.GetInt(kSettings, "FPS_CUSTOM", 15000) / 1000.0;
    if (customFps < 1.0 || customFps > 100.0) customFps = kDefaultFps;
    frameRate = PresetFrameRate(fpsPreset, customFps);
    ++contentGeneration;

    keys.RemoveAll();
    shapes.RemoveAll();
    sectionKept.Clear();
    script = {};
    scriptWords.clear();
    g_sound.Unload();
    g_maxAmplitude = 1.0;

    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    const double start = SnapToFrameEdge(0.0);
    timeState.SetAnchor(start);
    timeState.SetCursor(start);
    UpdateAllViews(nullptr, kHintAll);
}

void CVokraDoc::UpdateExtent() {
    double seconds = 0.0;
    if (g_sound.IsLoaded() && g_sound.GetSampleRate() > 0) {
        seconds = static_cast<double>(g_sound.GetSampleCount()) / g_sound.GetSampleRate();
    }
    double x = frameRate * seconds;
    // A rate that is not a sane number must not make the timeline endless.
    if (!(x >= 0.0)) x = 0.0;
    if (x > static_cast<double>(INT_MAX)) x = static_cast<double>(INT_MAX);
    double e = std::trunc(x) + 0.5;
    while (x - 0.5 > e) e += 1.0;
    double end = 10.5;
    if (e > end) end = e;
    const double lastKey = static_cast<double>(keys.GetLastFrame()) + 0.5;
    if (lastKey > end) end = lastKey;
    // Every frame that holds a shape is on the timeline too, so Select All reaches it.
    if (!shapes.IsEmpty()) {
        const double lastShape = static_cast<double>(shapes.Entries().back().frame) + 0.5;
        if (lastShape > end) end = lastShape;
    }
    if (timeState.GetExtentMin() == -0.5 && timeState.GetExtentMax() == end) return;
    timeState.SetExtent(-0.5, end);
}

double CVokraDoc::SnapToFrameEdge(double position) const {
    const double min = timeState.GetExtentMin();
    const double max = timeState.GetExtentMax();
    if (!(position >= min)) position = min;  // also a position that is not a number
    if (position > max) position = max;
    const double whole = std::trunc(position);
    return position > 0.0 ? whole + 0.5 : whole - 0.5;
}

void CVokraDoc::SetFrameRate(double rate, std::int32_t preset) {
    frameRate = rate;
    fpsPreset = preset;
    ++contentGeneration;
    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    timeState.SetAnchor(timeState.GetExtentMin());
    timeState.SetCursor(timeState.GetExtentMin());
    SetModifiedFlag();
    UpdateAllViews(nullptr, kHintAll);
}

void CVokraDoc::NotifyPalettes(int hint) {
    if (playbackPalette) playbackPalette->Refresh(hint);
    if (autoKeyPalette) autoKeyPalette->UpdateRangeLabel(hint);
}

void CVokraDoc::OnLoadSoundFile() {
    ++contentGeneration;
    FileDialogRequest request;
    request.save = false;
    const std::string readable = ReadableSoundPatterns();
    request.filter = "Sound Files (" + readable + ")|" + readable +
                     "|Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||";
    request.defaultExt = "wav";
    request.initialName = soundName;
    request.initialDir = soundDir;
    request.fileMustExist = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return;
    LoadOrConvertSound(*chosen);
}

void CVokraDoc::LoadSoundFrom(const std::string& path) {
    CancelKeyDrag();
    // Edits made against another sound are not taken back across it.
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    const std::string full = FullPath(path);
    std::string refusal;
    const bool loaded = g_sound.Load(full, refusal) == 0;
    if (!loaded) AfxMessageBox(refusal);
    AfterSoundLoad(loaded, full);
}

RecordingLoad CVokraDoc::TryLoadSound(const std::string& path, const RecordingRequest& request) {
    // Loaded to the side, then put in place.
    SoundData candidate;
    RecordingLoad load = LoadRecording(path, candidate, request);
    if (!load.loaded && load.loaderCode < 0) return load;  // no sound at all: nothing changes
    CancelKeyDrag();
    // Edits made against another sound are not taken back across it.
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    g_sound.TakeFrom(candidate);
    // Converted in memory: exports name the recording the keys were made from.
    if (load.loaded && load.soundPath.empty()) SplitPath(FullPath(path), soundDir, soundName);
    AfterSoundLoad(load.loaded, load.loaded && !load.soundPath.empty() ? FullPath(load.soundPath)
                                                                       : std::string());
    return load;
}

void CVokraDoc::AfterSoundLoad(bool loaded, const std::string& full) {
    // The panes may have drawn the old sound since the command began (while its dialog was up).
    ++contentGeneration;
    if (!loaded) {
        g_maxAmplitude = 1.0;
    } else {
        ComputeMaxAmplitude(g_sound, kWindowsPerSecond);
        if (!full.empty()) {
            SplitPath(full, soundDir, soundName);
            Profile().WriteString(kDirectories, "WAVEDIR", soundDir);
        }
    }
    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    timeState.SetAnchor(-0.5);
    timeState.SetCursor(-0.5);
    UpdateAllViews(nullptr, kHintAll);
}

void CVokraDoc::AdoptSound(SoundData& loaded, const std::string& full) {
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    g_sound.TakeFrom(loaded);
    AfterSoundLoad(true, full);
}

void CVokraDoc::RefuseSound(const std::string& refusal) {
    // What a failed load always did: the old sound is gone and the document changed.
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    g_sound.Unload();
    AfxMessageBox(refusal);
    AfterSoundLoad(false, std::string());
}

void CVokraDoc::LoadOrConvertSound(const std::string& path) {
    const std::string full = FullPath(path);
    RecordingRequest request;
    request.offer = [this](const RecordingOffer& offer) { return OfferConversion(offer); };
    request.progress = [](const std::string& name) -> std::function<bool(double)> {
        std::shared_ptr<ProgressTask> task = BeginProgress("Converting " + name + "...");
        return [task](double fraction) { return task->Update(fraction); };
    };
    // Loaded to the side: the sound in use stays until a new one has actually loaded.
    SoundData candidate;
    const RecordingLoad load = LoadRecording(full, candidate, request);
    std::string dir, name;
    SplitPath(full, dir, name);
    switch (load.status) {
        case RecordingStatus::Loaded:
            if (load.converted) CancelKeyDrag();
            AdoptSound(candidate, FullPath(load.soundPath));
            break;
        case RecordingStatus::CopyRefused:
            CancelKeyDrag();
            RefuseSound(load.messages.back().text);
            break;
        case RecordingStatus::Refused:
            RefuseSound(load.loaderRefusal);
            return;
        case RecordingStatus::TooShort: {
            // Nothing a conversion could make would load: the loader's own reason first, then
            // the converter's when it is another (a header that lies about the data behind it).
            constexpr const char* kTooShort = "sound data is too short.";
            const std::string& refusal = load.loaderRefusal;
            RefuseSound(refusal == kTooShort ? refusal : refusal + "\n" + kTooShort);
            return;
        }
        case RecordingStatus::TooLong:
            AfxMessageBox(name + ": " + load.info.Describe() + "\n\n" +
                          TooLongForImport(name, load.info));
            return;
        case RecordingStatus::NotASound:
        case RecordingStatus::CopyNotWritten:
            // Said so, and nothing changes.
            AfxMessageBox(load.messages.back().text);
            return;
        case RecordingStatus::CopyIsRecording:
            AfxMessageBox("The converted copy cannot replace the recording itself:\n     " + full);
            return;
        case RecordingStatus::NotConverted:
            if (load.importStatus == ImportStatus::Unreadable ||
                load.importStatus == ImportStatus::TooShort) {
                AfxMessageBox(Format("Could not convert %s: it cannot be read to its end.", full));
            } else {
                AfxMessageBox(load.importMessage);
            }
            return;
        case RecordingStatus::Declined:
        case RecordingStatus::Cancelled:
            return;
    }
    if (!load.endsEarly.empty())
        AfxMessageBox(load.endsEarly, MsgButtons::Ok, MsgIcon::Information);
}

std::optional<std::string> CVokraDoc::OfferConversion(const RecordingOffer& offer) {
    std::string dir, name;
    SplitPath(offer.path, dir, name);
    MessageRequest question;
    question.text = name + ": " + offer.info.Describe() +
                    "\n\nIt does not load as it is: " + offer.refusal + "\n" +
                    LoadableSoundSummary() + "\n\nConvert it to a mono 16-bit copy at " +
                    std::to_string(offer.rate) + " Hz and load that?";
    question.buttons = MsgButtons::OkCancel;
    question.icon = MsgIcon::Question;
    question.acceptText = "Convert";
    if (Messages().Show(question) != IDOK) return std::nullopt;

    FileDialogRequest request;
    request.save = true;
    request.filter = "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||";
    request.defaultExt = "wav";
    std::string copyDir;
    SplitPath(ConvertedCopyPath(offer.path), copyDir, request.initialName);
    request.initialDir = dir;
    request.overwritePrompt = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return std::nullopt;
    return FullPath(*chosen);
}

void CVokraDoc::OnWriteEnvelopeFile() {
    FileDialogRequest request;
    request.save = true;
    request.filter = "env Files (*.env)|*.env|All Files (*.*)|*.*||";
    request.defaultExt = "env";
    request.initialName = envName;
    request.initialDir = envDir;
    request.overwritePrompt = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return;
    WriteEnvelopeTo(*chosen);
}

bool CVokraDoc::WriteEnvelopeTo(const std::string& path) {
    const std::string full = FullPath(path);
    if (RefusesOwnSound(full)) return false;
    // Written beside the old file and renamed over it when complete, so a full disk never
    // leaves half an envelope or destroys the previous one.
    AtomicFile file(full);
    if (!file.Open()) {
        AfxMessageBox(Format("Could not open/create file %s", full) + "\n" + file.ErrorText());
        return false;
    }
    // The document records where its envelope went: only a new place changes it.
    std::string dir, name;
    SplitPath(full, dir, name);
    if (dir != envDir || name != envName) {
        SetModifiedFlag();
        envDir = std::move(dir);
        envName = std::move(name);
    }
    Profile().WriteString(kDirectories, "ENVDIR", envDir);

    std::ostringstream text;
    const bool ok = WriteEnvelope(keys, text) && file.Write(text.view()) && file.Commit();
    if (!ok) {
        const std::string reason = file.ErrorText();
        file.Discard();
        AfxMessageBox(reason.empty() ? Format("Could not write file %s", full)
                                     : Format("Could not write file %s", full) + "\n" + reason);
        return false;
    }
    return true;
}

}  // namespace vokra

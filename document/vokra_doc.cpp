#include "document/vokra_doc.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "document/app_values.h"
#include "document/envelope_writer.h"
#include "document/vok_file.h"
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

constexpr const char* kDirectories = "DIRECTORIES";
constexpr const char* kSettings = "SETTINGS";
constexpr std::int32_t kDefaultPreset = 7;
constexpr double kDefaultFps = 15.0;
constexpr double kWindowsPerSecond = 100.0;
constexpr unsigned kVkInsert = 0x2D;
constexpr unsigned kVkDelete = 0x2E;
constexpr unsigned kRepeatFlag = 0x4000;

// Integer part (toward zero) as a frame number, kept inside the range of a frame.
std::int32_t FrameOf(double x) {
    if (!(x > static_cast<double>(INT_MIN))) return INT_MIN;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<std::int32_t>(x);
}

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

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

std::string Format(std::string text, const std::string& value) {
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

// The process's current directory, stored as the last folder a document was opened or saved in.
void RememberCurrentDir() {
    std::vector<char> buf(PATH_MAX + 1);
    if (!::getcwd(buf.data(), buf.size())) return;
    g_currentDir = buf.data();
    Profile().WriteString(kDirectories, "VOKRADIR", g_currentDir);
}

// A rate as the dialog shows it: "25", "29.97", never with a decimal comma.
std::string FormatRate(double rate) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, rate);
    return std::string(buf, r.ptr);
}

}  // namespace

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
    g_sound.Unload();
    g_maxAmplitude = 1.0;

    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    const double start = SnapToFrameEdge(0.0);
    timeState.SetAnchor(start);
    timeState.SetCursor(start);
    UpdateAllViews(nullptr, kHintAll);
}

bool CVokraDoc::OnNewDocument() {
    const bool made = DocumentBase::OnNewDocument();
    RememberSavedFields();
    return made;
}

CVokraDoc::StoredFields CVokraDoc::StoredFieldsNow() const {
    return {frameRate, fpsPreset, customFps, soundDir, soundName, envDir, envName, script};
}

void CVokraDoc::SetScript(const DocumentScript& newScript) {
    if (newScript == script) return;
    script = newScript;
    SetModifiedFlag(true);
}

void CVokraDoc::RememberSavedFields() {
    if (!IsModified()) savedFields = StoredFieldsNow();
}

void CVokraDoc::SetModifiedFlag(bool modified) {
    DocumentBase::SetModifiedFlag(modified);
    RememberSavedFields();
}

void CVokraDoc::CancelKeyDrag() {
    // Taken out first: the pane clears it again while it cancels.
    if (auto cancel = std::exchange(keyDragCanceller, nullptr)) cancel();
}

bool CVokraDoc::OnOpenDocument(const std::string& path) {
    if (!DocumentBase::OnOpenDocument(path)) {
        RememberSavedFields();  // a refused file leaves a new document behind
        return false;
    }
    RememberCurrentDir();
    if (!soundName.empty()) {
        const std::string full = soundDir + "/" + soundName;
        // The pictures of the panes depend on the sound, which changes here.
        ++contentGeneration;
        // A sound that is not there any more (moved with its folder) is said once, by the box
        // below; one that is there but refused keeps the loader's reason before it.
        std::string refusal;
        const bool gone = !std::filesystem::exists(full);
        if ((gone ? g_sound.Load(full, refusal) : g_sound.Load(full)) != 0) {
            AfxMessageBox(
                Format("Vokra cannot locate the associated sound file:\n     %s\n"
                       "The keyframes will be loaded.\n"
                       "You may reload the sound file manually.",
                       full));
            g_maxAmplitude = 1.0;
        } else {
            ComputeMaxAmplitude(g_sound, kWindowsPerSecond);
        }
    }
    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    timeState.SetAnchor(-0.5);
    timeState.SetCursor(-0.5);
    RememberSavedFields();
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

std::string CVokraDoc::LostOnSaveText(const std::string& lost) {
    return "The file this document was opened from holds " + lost +
           " that this version could not read. Saving now writes the document's own in their "
           "place, and those bytes are lost.";
}

bool CVokraDoc::RefusesOwnSound(const std::string& path) const {
    if (soundName.empty() || path.empty()) return false;
    const std::string sound = soundDir + "/" + soundName;
    const std::string full = FullPath(path);
    std::error_code ec;
    if (!std::filesystem::equivalent(full, sound, ec) || ec) return false;
    AfxMessageBox(
        Format("%s\nis the recording of this document.\n"
               "Writing over it would destroy the sound; choose another name.",
               full));
    return true;
}

bool CVokraDoc::OnSaveDocument(const std::string& path) {
    if (RefusesOwnSound(path)) return false;
    if (const std::string lost = LostOnSave(); !lost.empty() && !dropDamagedOnSave) {
        MessageRequest question;
        question.text = LostOnSaveText(lost) + "\n\nSave anyway?";
        question.buttons = MsgButtons::YesNo;
        question.icon = MsgIcon::Exclamation;
        question.acceptText = "Save";
        question.noText = "Don't Save";
        if (Messages().Show(question) != IDYES) return false;
    }
    if (!DocumentBase::OnSaveDocument(path)) return false;
    ForgetReplaced(*this, sectionKept);
    RememberSavedFields();
    RememberCurrentDir();
    return true;
}

void CVokraDoc::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        VokFile::Write(*this, ar);
    } else {
        VokFile::Read(*this, ar);
    }
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

int CVokraDoc::OnKeyCommand(unsigned virtualKey, unsigned /*repeatCount*/, unsigned flags) {
    if (virtualKey != kVkInsert && virtualKey != kVkDelete) return 0;
    // A key held down repeats; one press is one edit.
    if (flags & kRepeatFlag) return 1;
    if (virtualKey == kVkInsert) {
        FillSelection();
    } else {
        DeleteSelection();
    }
    UpdateAllViews(nullptr, kHintAll);
    return 1;
}

void CVokraDoc::SelectedFrames(std::int32_t& first, std::int32_t& last) const {
    first = FrameOf(timeState.SelectionStart() + 1.0);
    last = FrameOf(timeState.SelectionEnd());
    if (first < 0) first = 0;
}

void CVokraDoc::FillSelection() {
    if (!timeState.HasSelection()) return;
    std::int32_t first;
    std::int32_t last;
    SelectedFrames(first, last);
    const std::int64_t count = last < first ? 0 : static_cast<std::int64_t>(last) - first + 1;
    if (!AllowNewKeys("Insert", count)) return;
    // Each frame takes the opening interpolated from the list as it stands when that frame is
    // keyed: the frames already filled are its left neighbour, the next key after it its right
    // one. Computed in one pass and put in as one run, however many keys lie after the range.
    std::vector<Keyframe> run;
    run.reserve(static_cast<std::size_t>(count));
    bool found;
    std::int32_t next;
    keys.Find(first, found, next);
    const Keyframe* left = keys.GetAt(next - 1);
    double x0 = left ? left->GetFrame() : 0.0;
    double y0 = left ? left->GetOpening() : 0.0;
    for (std::int64_t f = first; f <= last; ++f) {
        const Keyframe* right = keys.GetAt(next);
        double v;
        // A key already there stays as it is, mark included; the keys Insert makes are the
        // animator's own.
        bool made = true;
        if (right && right->GetFrame() == f) {
            v = right->GetOpening();
            made = right->IsHandMade();
            ++next;
        } else if (!right) {
            v = y0;
        } else {
            const double x1 = right->GetFrame();
            const double y1 = right->GetOpening();
            v = y0 + (y1 - y0) * ((static_cast<double>(f) - x0) / (x1 - x0));
        }
        run.emplace_back(static_cast<std::int32_t>(f), static_cast<float>(v));
        run.back().SetHandMade(made);
        x0 = static_cast<double>(f);
        y0 = run.back().GetOpening();
    }
    BeginKeyEdit("Insert Keys", first, last);
    keys.ReplaceRange(first, last, run);
    EndKeyEdit(true);
}

void CVokraDoc::DeleteSelection() {
    DeleteSelectionAs("Delete Keys", false);
}

void CVokraDoc::DeleteSelectionAs(const char* name, bool shapesToo) {
    if (!timeState.HasSelection()) return;
    const std::int32_t first = FrameOf(timeState.SelectionStart() + 1.0);
    const std::int32_t last = FrameOf(timeState.SelectionEnd());
    BeginKeyEdit(name, first, last, shapesToo);
    const bool keysGone = keys.RemoveRange(first, last) > 0;
    const bool shapesGone = shapesToo && shapes.RemoveRange(first, last) > 0;
    EndKeyEdit(keysGone || shapesGone);
    UpdateExtent();
}

KeyClip CVokraDoc::CopySelection() const {
    KeyClip clip;
    if (!timeState.HasSelection()) return clip;
    std::int32_t first;
    std::int32_t last;
    SelectedFrames(first, last);
    if (last < first) return clip;
    // Not cut to a frame number's range: a copy from frame 0 to a key on the last possible frame
    // spans one frame more, and must paste back where it came from.
    clip.span = static_cast<std::int64_t>(last) - first + 1;
    clip.keys = keys.CopyRange(first, last);
    for (Keyframe& key : clip.keys) key.SetFrame(key.GetFrame() - first);
    clip.hasShapes = true;
    clip.shapes = shapes.CopyRange(first, last);
    for (ShapeEntry& entry : clip.shapes) entry.frame -= first;
    return clip;
}

void CVokraDoc::CutSelection() {
    DeleteSelectionAs("Cut Keys", true);
    UpdateAllViews(nullptr, kHintAll);
}

bool CVokraDoc::PasteKeys(const KeyClip& clip) {
    CancelKeyDrag();
    if (clip.span < 1) return false;
    // Only a clip whose keys lie in order inside its span is placed whole; anything else would
    // put keys outside the frames the edit records, or two on one frame.
    for (std::size_t i = 0; i < clip.keys.size(); ++i) {
        const std::int32_t f = clip.keys[i].GetFrame();
        if (f < 0 || f >= clip.span || (i > 0 && clip.keys[i - 1].GetFrame() >= f)) {
            AfxMessageBox("The clipboard's keys are damaged.");
            return false;
        }
    }
    std::int32_t at;
    std::int32_t unused;
    SelectedFrames(at, unused);
    if (!AllowNewKeys("Pasting", static_cast<std::int64_t>(clip.keys.size()))) return false;
    const std::int64_t end = static_cast<std::int64_t>(at) + clip.span - 1;
    if (end > INT_MAX) {
        AfxMessageBox("The pasted keys would run past the last possible frame (" +
                      GroupedNumber(INT_MAX) + ").");
        return false;
    }
    // Pasted keys and shapes were put there by the animator: a re-run leaves them alone.
    std::vector<Keyframe> run = clip.keys;
    for (Keyframe& key : run) {
        key.SetFrame(key.GetFrame() + at);
        key.SetHandMade(true);
    }
    BeginKeyEdit("Paste Keys", at, static_cast<std::int32_t>(end), clip.hasShapes);
    keys.ReplaceRange(at, static_cast<std::int32_t>(end), run);
    if (clip.hasShapes) {
        std::vector<ShapeEntry> placed;
        placed.reserve(clip.shapes.size());
        for (const ShapeEntry& entry : clip.shapes) {
            if (entry.frame < 0 || entry.frame >= clip.span) continue;
            placed.push_back({entry.frame + at, entry.shape, true});
        }
        shapes.ReplaceRange(at, static_cast<std::int32_t>(end), placed);
    }
    EndKeyEdit(true);
    UpdateExtent();
    timeState.SetAnchor(at - 0.5);
    timeState.SetCursor(std::min(static_cast<double>(end) + 0.5, timeState.GetExtentMax()));
    timeState.ScrollToCursor();
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

bool CVokraDoc::AllowNewKeys(const std::string& what, std::int64_t count) {
    if (count <= kMaxKeysPerEdit) return true;
    AfxMessageBox(TooManyKeysMessage(what, count));
    return false;
}

void CVokraDoc::BeginKeyEdit(std::string name, std::int32_t first, std::int32_t last,
                             bool shapesToo) {
    CancelKeyDrag();
    pendingEdit = KeyEdit{};
    pendingEdit.name = std::move(name);
    pendingEdit.first = first;
    pendingEdit.last = last;
    pendingEdit.shapeChange = shapesToo;
    // Kept even without a history: an edit that leaves every key as it was is no edit.
    pendingEdit.before = keys.CopyRange(first, last);
    if (shapesToo) pendingEdit.shapesBefore = shapes.CopyRange(first, last);
    editOpen = true;
}

void CVokraDoc::EndKeyEdit(bool changed) {
    if (!editOpen) return;
    editOpen = false;
    KeyEdit edit = std::move(pendingEdit);
    pendingEdit = KeyEdit{};
    if (!changed) return;
    edit.after = keys.CopyRange(edit.first, edit.last);
    if (edit.shapeChange) edit.shapesAfter = shapes.CopyRange(edit.first, edit.last);
    if (edit.ChangesNothing()) return;
    // Recorded before the flag is set: the history decides what "modified" means from here on.
    if (keyEditSink) keyEditSink->Record(std::move(edit));
    SetModifiedFlag();
}

void CVokraDoc::ApplyKeyEdit(const KeyEdit& edit, bool redo) {
    CancelKeyDrag();
    keys.ReplaceRange(edit.first, edit.last, redo ? edit.after : edit.before);
    if (edit.shapeChange) {
        shapes.ReplaceRange(edit.first, edit.last, redo ? edit.shapesAfter : edit.shapesBefore);
    }
    if (edit.rateChange) {
        frameRate = redo ? edit.rateAfter : edit.rateBefore;
        fpsPreset = redo ? edit.presetAfter : edit.presetBefore;
        customFps = redo ? edit.customAfter : edit.customBefore;
        // The rate new documents start with goes back (or forth) with it.
        IniFile& profile = Profile();
        profile.WriteInt(kSettings, "FPS_TYPE",
                         redo ? edit.settingPresetAfter : edit.settingPresetBefore);
        if (edit.settingCustomBefore != edit.settingCustomAfter) {
            profile.WriteInt(kSettings, "FPS_CUSTOM",
                             redo ? edit.settingCustomAfter : edit.settingCustomBefore);
        }
        ++contentGeneration;
        UpdateExtent();
        timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
        timeState.SetAnchor(timeState.GetExtentMin());
        timeState.SetCursor(timeState.GetExtentMin());
    } else {
        UpdateExtent();
        if (edit.first <= edit.last) {
            // The frames that changed become the selection, so the user sees what came back.
            timeState.SetAnchor(std::max(edit.first - 0.5, timeState.GetExtentMin()));
            timeState.SetCursor(std::min(edit.last + 0.5, timeState.GetExtentMax()));
        }
    }
    UpdateAllViews(nullptr, kHintAll);
}

const Keyframe* CVokraDoc::GetKeyAfterSelection() const {
    return keys.FindAtOrAfter(FrameOf(timeState.SelectionEnd() + 1.0));
}

const Keyframe* CVokraDoc::GetKeyBeforeSelection() const {
    bool found;
    std::int32_t index;
    keys.Find(FrameOf(timeState.SelectionStart() + 1.0), found, index);
    return keys.GetAt(index - 1);
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
    LoadSound(path, nullptr);
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

std::int32_t CVokraDoc::LoadSound(const std::string& path, std::string* refusal) {
    CancelKeyDrag();
    // Edits made against another sound are not taken back across it.
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    const std::string full = FullPath(path);
    std::string message;
    const std::int32_t code = g_sound.Load(full, message);
    if (code != 0) {
        if (refusal) {
            *refusal = message;
        } else {
            AfxMessageBox(message);
        }
    }
    AfterSoundLoad(code == 0, full);
    return code;
}

bool CVokraDoc::LoadSoundFromMemory(const std::string& waveBytes, const std::string& origin) {
    CancelKeyDrag();
    if (keyEditSink) keyEditSink->Clear();
    SetModifiedFlag();
    const bool loaded = g_sound.LoadMemory(waveBytes.data(), waveBytes.size()) == 0;
    // Exports name the recording the keys were made from.
    if (loaded && !origin.empty()) SplitPath(FullPath(origin), soundDir, soundName);
    AfterSoundLoad(loaded, std::string());
    return loaded;
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
    // A folder, a pipe or an empty file is no sound at all: said so, and nothing changes.
    if (const std::string reason = NotASoundReason(full); !reason.empty()) {
        AfxMessageBox(reason);
        return;
    }
    // Loaded to the side: the sound in use stays until a new one has actually loaded.
    SoundData candidate;
    std::string refusal;
    const std::int32_t code = candidate.Load(full, refusal);
    if (code == 0) {
        AdoptSound(candidate, full);
        return;
    }
    SoundFileInfo info;
    // Measured to its end, as the converter would read it: a header that promises more than the
    // file holds must not earn an offer the conversion then cannot keep.
    if (!IsConvertibleRefusal(code) || !MeasureSound(full, info)) {
        RefuseSound(refusal);
        return;
    }
    std::string dir, name;
    SplitPath(full, dir, name);
    const std::int64_t frames = info.EndsEarly() ? info.readableFrames : info.frames;
    const RatePlan plan = PlanImportRate(info.sampleRate, frames);
    if (!plan.fits || info.longerThanFrames) {
        AfxMessageBox(name + ": " + info.Describe() + "\n\n" + TooLongForImport(name, info));
        return;
    }
    // Nothing a conversion could make would load: the loader's own reason first, then the
    // converter's when it is another (a header that lies about the data behind it).
    if (frames == 0 || IsTooShortForLoader(plan.samples, plan.rate)) {
        constexpr const char* kTooShort = "sound data is too short.";
        RefuseSound(refusal == kTooShort ? refusal : refusal + "\n" + kTooShort);
        return;
    }
    MessageRequest offer;
    offer.text = name + ": " + info.Describe() + "\n\nIt does not load as it is: " + refusal +
                 "\n" + LoadableSoundSummary() + "\n\nConvert it to a mono 16-bit copy at " +
                 std::to_string(plan.rate) + " Hz and load that?";
    offer.buttons = MsgButtons::OkCancel;
    offer.icon = MsgIcon::Question;
    offer.acceptText = "Convert";
    if (Messages().Show(offer) != IDOK) return;

    std::string notice;
    const std::string copy = ConvertToCopy(full, notice);
    if (copy.empty()) return;
    LoadSound(copy, nullptr);
    if (!notice.empty()) AfxMessageBox(notice, MsgButtons::Ok, MsgIcon::Information);
}

std::string CVokraDoc::ConvertToCopy(const std::string& full, std::string& notice) {
    std::string dir, name;
    SplitPath(full, dir, name);
    FileDialogRequest request;
    request.save = true;
    request.filter = "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||";
    request.defaultExt = "wav";
    std::string copyDir;
    SplitPath(ConvertedCopyPath(full), copyDir, request.initialName);
    request.initialDir = dir;
    request.overwritePrompt = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return {};
    const std::string copy = FullPath(*chosen);
    std::error_code ec;
    if (std::filesystem::equivalent(copy, full, ec)) {
        AfxMessageBox("The converted copy cannot replace the recording itself:\n     " + full);
        return {};
    }

    auto progress = BeginProgress("Converting " + name + "...");
    ImportOptions options;
    options.progress = [&progress](double fraction) { return progress->Update(fraction); };
    const ImportResult result = ImportSound(full, options, name);
    progress.reset();
    switch (result.status) {
        case ImportStatus::Ok:
            break;
        case ImportStatus::Cancelled:
            return {};
        case ImportStatus::Unreadable:
        case ImportStatus::TooShort:
            AfxMessageBox(Format("Could not convert %s: it cannot be read to its end.", full));
            return {};
        default:
            AfxMessageBox(result.message);
            return {};
    }
    std::string reason;
    if (!WriteWaveFile(copy, result.samples, result.rate, &reason)) {
        AfxMessageBox(CouldNotWriteMessage(copy, reason));
        return {};
    }
    notice = EndsEarlyNotice(name, result.info);
    return copy;
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

std::string CVokraDoc::OnSetFramesPerSec(const FpsDialogRunner& runner) {
    if (!runner) return {};
    CancelKeyDrag();
    const auto choice = runner(fpsPreset, frameRate, customFps);
    if (!choice) return {};
    // The dialog only returns rates it accepted; anything else is not applied.
    if (!std::isfinite(choice->rate) || choice->rate < 1.0 || choice->rate > 100.0 ||
        choice->preset < 0 || choice->preset >= kPresetCount) {
        return {};
    }
    IniFile& profile = Profile();
    const double customAfter = choice->preset == 0 ? choice->rate : customFps;
    const std::int32_t settingCustomAfter = static_cast<int>(customAfter * 1000.0 + 0.5);
    if (choice->rate == frameRate && choice->preset == fpsPreset && customAfter == customFps) {
        // The same rate again changes nothing in the document: no step, no modified mark.
        profile.WriteInt(kSettings, "FPS_TYPE", fpsPreset);
        if (fpsPreset == 0) profile.WriteInt(kSettings, "FPS_CUSTOM", settingCustomAfter);
        return {};
    }
    KeyEdit edit;
    edit.customBefore = customFps;
    edit.customAfter = customAfter;
    edit.settingPresetBefore = profile.GetInt(kSettings, "FPS_TYPE", kDefaultPreset);
    edit.settingPresetAfter = choice->preset;
    edit.settingCustomBefore = profile.GetInt(kSettings, "FPS_CUSTOM", 15000);
    edit.settingCustomAfter = choice->preset == 0 ? settingCustomAfter : edit.settingCustomBefore;
    edit.name = "Frame Rate";
    edit.first = 0;
    edit.last = INT_MAX;
    edit.rateChange = true;
    edit.rateBefore = frameRate;
    edit.presetBefore = fpsPreset;
    edit.rateAfter = choice->rate;
    edit.presetAfter = choice->preset;
    std::string status;
    if (choice->rate != frameRate && keys.GetCount() > 0) {
        MessageRequest question;
        question.text =
            "Changing the frames per Second will cause the deletion of all existing "
            "keyframes.\n\nRe-time keeps them instead: each keyframe moves to the frame nearest "
            "its old time.";
        // The shapes are not deleted either way; the question says so rather than leave the
        // animator guessing about the other half of the work.
        if (!shapes.IsEmpty()) {
            question.text += "\n\nThe " + GroupedNumber(shapes.GetCount()) +
                             (shapes.GetCount() == 1 ? " mouth shape is" : " mouth shapes are") +
                             " re-timed either way: each moves to the frame nearest its old "
                             "time.";
        }
        question.buttons = MsgButtons::YesNoCancel;
        question.icon = MsgIcon::Question;
        question.acceptText = "Re-time";
        question.noText = "Delete";
        const int answer = Messages().Show(question);
        if (answer != IDYES && answer != IDNO) return {};
        std::vector<Keyframe> kept;
        if (answer == IDYES) {
            RetimeResult moved = RetimeKeys(keys, frameRate, choice->rate);
            if (!moved.ok) {
                AfxMessageBox("Re-timing would move the keyframe at frame " +
                              GroupedNumber(moved.offender) +
                              " past the last possible frame. Nothing was changed.");
                return {};
            }
            status = "Re-timed " + GroupedNumber(keys.GetCount()) + " keyframes to " +
                     FormatRate(choice->rate) + " frames per second; " +
                     GroupedNumber(moved.merged) + " merged into a neighbour.";
            kept = std::move(moved.keys);
        }
        if (keyEditSink) edit.before = keys.CopyRange(0, INT_MAX);
        keys.ReplaceRange(0, INT_MAX, kept);
        if (kept.empty()) keys.RemoveAll();  // gives the memory back, as deleting always did
        if (keyEditSink) edit.after = std::move(kept);
    }
    // The shapes stay where they are in time, whatever became of the keys: they were guessed
    // from the sound or set by hand against it.
    if (choice->rate != frameRate && !shapes.IsEmpty()) {
        RetimeShapesResult moved = RetimeShapes(shapes, frameRate, choice->rate);
        if (!moved.ok) {
            AfxMessageBox(
                "The mouth shapes would reach past the last possible frame at the new "
                "rate; they were removed.");
        }
        edit.shapeChange = true;
        if (moved.ok) {
            const std::string line = "Re-timed " + GroupedNumber(shapes.GetCount()) +
                                     (shapes.GetCount() == 1 ? " mouth shape" : " mouth shapes") +
                                     " to " + FormatRate(choice->rate) + " frames per second.";
            status = status.empty() ? line : status + " " + line;
        }
        if (keyEditSink) edit.shapesBefore = shapes.Entries();
        shapes.RemoveAll();
        shapes.ReplaceRange(0, INT_MAX, moved.shapes);
        if (keyEditSink) edit.shapesAfter = std::move(moved.shapes);
    }
    // Recorded before SetFrameRate marks the document modified (see EndKeyEdit).
    if (keyEditSink) keyEditSink->Record(std::move(edit));
    SetFrameRate(choice->rate, choice->preset);
    if (choice->preset == 0) {
        customFps = choice->rate;
        profile.WriteInt(kSettings, "FPS_CUSTOM", static_cast<int>(customFps * 1000.0 + 0.5));
    }
    profile.WriteInt(kSettings, "FPS_TYPE", fpsPreset);
    return status;
}

void CVokraDoc::OnSelectAll() {
    UpdateExtent();
    timeState.SetAnchor(timeState.GetExtentMin());
    timeState.SetCursor(timeState.GetExtentMax());
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    UpdateAllViews(nullptr, kHintAll);
}

}  // namespace vokra

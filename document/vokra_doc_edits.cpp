// The document's key edits: Insert and Delete over the selected frames, cut, copy and paste of
// their keys and shapes, Select All, and the recorded edit that the history takes back and makes
// again.
#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "document/vokra_doc.h"
#include "document/vokra_doc_common.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

constexpr unsigned kVkInsert = 0x2D;
constexpr unsigned kVkDelete = 0x2E;
constexpr unsigned kRepeatFlag = 0x4000;

// Integer part (toward zero) as a frame number, kept inside the range of a frame.
std::int32_t FrameOf(double x) {
    if (!(x > static_cast<double>(INT_MIN))) return INT_MIN;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<std::int32_t>(x);
}

}  // namespace

void CVokraDoc::CancelKeyDrag() {
    // Taken out first: the pane clears it again while it cancels.
    if (auto cancel = std::exchange(keyDragCanceller, nullptr)) cancel();
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

void CVokraDoc::SetScriptInEdit(const DocumentScript& newScript,
                                std::vector<ScriptWordPlace> words) {
    if (!editOpen) return;
    pendingEdit.scriptChange = true;
    pendingEdit.scriptBefore = script;
    pendingEdit.wordsBefore = scriptWords;
    script = newScript;
    scriptWords = std::move(words);
}

void CVokraDoc::EndKeyEdit(bool changed) {
    if (!editOpen) return;
    editOpen = false;
    KeyEdit edit = std::move(pendingEdit);
    pendingEdit = KeyEdit{};
    if (!changed) return;
    edit.after = keys.CopyRange(edit.first, edit.last);
    if (edit.shapeChange) edit.shapesAfter = shapes.CopyRange(edit.first, edit.last);
    if (edit.scriptChange) {
        edit.scriptAfter = script;
        edit.wordsAfter = scriptWords;
    }
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
    if (edit.scriptChange) {
        script = redo ? edit.scriptAfter : edit.scriptBefore;
        scriptWords = redo ? edit.wordsAfter : edit.wordsBefore;
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

void CVokraDoc::OnSelectAll() {
    UpdateExtent();
    timeState.SetAnchor(timeState.GetExtentMin());
    timeState.SetCursor(timeState.GetExtentMax());
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    UpdateAllViews(nullptr, kHintAll);
}

}  // namespace vokra

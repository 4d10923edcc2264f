// Set Frames per Second: the new rate for the document and for new documents, the keys deleted
// or re-timed to it, the mouth shapes kept in their time, all as one step.
#include <charconv>
#include <climits>
#include <cmath>
#include <vector>

#include "document/vokra_doc.h"
#include "document/vokra_doc_common.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

// A rate as the dialog shows it: "25", "29.97", never with a decimal comma.
std::string FormatRate(double rate) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, rate);
    return std::string(buf, r.ptr);
}

}  // namespace

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

}  // namespace vokra

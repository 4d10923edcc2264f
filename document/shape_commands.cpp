#include "document/shape_commands.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "document/key_edit.h"
#include "document/vokra_doc.h"
#include "platform/message_service.h"
#include "shapes/shape_estimator.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

std::int32_t FrameOf(double x) {
    if (!(x > static_cast<double>(INT_MIN))) return INT_MIN;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<std::int32_t>(x);
}

// The selected frames, as the key commands take them; false when nothing is selected.
bool SelectedRange(const CVokraDoc& doc, std::int32_t& first, std::int32_t& last) {
    const TimelineState& ts = doc.GetTimeRange();
    if (!ts.HasSelection()) return false;
    first = std::max(FrameOf(ts.SelectionStart() + 1.0), 0);
    last = FrameOf(ts.SelectionEnd());
    return first <= last;
}

std::int64_t FrameCount(std::int32_t first, std::int32_t last) {
    return static_cast<std::int64_t>(last) - first + 1;
}

std::string TooManyShapesMessage(const char* what, std::int64_t count) {
    return std::string(what) + " would touch " + GroupedNumber(count) + " frames; at most " +
           GroupedNumber(kMaxKeysPerEdit) + " can be changed at once.";
}

// Puts `run` in place of the shapes of first..last as one recorded edit, when it differs.
// `alongside` changes what else the same step changes (the script), inside the edit.
bool ReplaceShapes(CVokraDoc& doc, const char* name, std::int32_t first, std::int32_t last,
                   const std::vector<ShapeEntry>& run, const EditAlongside& alongside = {}) {
    if (!alongside && doc.GetShapes().CopyRange(first, last) == run) return false;
    doc.BeginKeyEdit(name, first, last, true);
    doc.GetShapes().ReplaceRange(first, last, run);
    if (alongside) alongside(doc);
    doc.EndKeyEdit(true);
    doc.UpdateAllViews(nullptr, kHintAll);
    return true;
}

// The last frame that holds any of the sound at `frameRate`; -1 without a sound.
std::int32_t LastSoundFrame(const SoundData& sound, double frameRate) {
    if (!sound.IsLoaded() || sound.GetSampleRate() <= 0 || sound.GetSampleCount() <= 0) return -1;
    const double frames =
        static_cast<double>(sound.GetSampleCount()) / sound.GetSampleRate() * frameRate;
    return FrameOf(std::ceil(frames) - 1.0);
}

}  // namespace

bool SetSelectionShape(CVokraDoc& doc, MouthShape shape) {
    std::int32_t first, last;
    if (!SelectedRange(doc, first, last)) return false;
    const std::int64_t count = FrameCount(first, last);
    if (count > kMaxKeysPerEdit) {
        AfxMessageBox(TooManyShapesMessage("Setting the shape", count));
        return false;
    }
    std::vector<ShapeEntry> run;
    run.reserve(static_cast<std::size_t>(count));
    for (std::int64_t f = first; f <= last; ++f) {
        run.push_back({static_cast<std::int32_t>(f), shape, true});
    }
    return ReplaceShapes(doc, "Set Shape", first, last, run);
}

bool SetFrameShape(CVokraDoc& doc, std::int32_t frame, MouthShape shape) {
    if (frame < 0) return false;
    return ReplaceShapes(doc, "Set Shape", frame, frame, {{frame, shape, true}});
}

void MoveShapeBoundary(ShapeTrack& track, const std::vector<ShapeEntry>& original,
                       std::int32_t first, std::int32_t last, std::int32_t at, MouthShape left,
                       MouthShape right) {
    std::vector<ShapeEntry> run = original;
    for (ShapeEntry& entry : run) {
        const MouthShape wanted = entry.frame < at ? left : right;
        // Only the frames the boundary passed over change, and those are the animator's now.
        if (entry.shape != wanted) entry = {entry.frame, wanted, true};
    }
    track.ReplaceRange(first, last, run);
}

bool ClearSelectionShapes(CVokraDoc& doc) {
    std::int32_t first, last;
    if (!SelectedRange(doc, first, last)) return false;
    return ReplaceShapes(doc, "Clear Shapes", first, last, {});
}

GuessOutcome FillSelectionShapes(CVokraDoc& doc, bool replaceHandEdits, const char* name,
                                 const Per10msSource& source, const EditAlongside& alongside) {
    GuessOutcome outcome;
    if (!g_sound.IsLoaded()) {
        outcome.ok = false;
        outcome.error = "Load a sound file before guessing shapes.";
        return outcome;
    }
    const TimelineState& ts = doc.GetTimeRange();
    std::int32_t first, last;
    if (!SelectedRange(doc, first, last)) {
        // Like AutoKey: without a selection, from the frame after the cursor to the end.
        first = std::max(FrameOf(ts.SelectionStart() + 1.0), 0);
        last = FrameOf(ts.GetExtentMax());
    }
    const std::int32_t soundLast = LastSoundFrame(g_sound, doc.GetFrameRate());
    // Reaching the end of the sound, the guess answers for every frame after it too: what an
    // earlier, longer take left there would move the mouth after the line has ended.
    const bool reachesEnd = last > soundLast;
    last = std::min(last, soundLast);
    const std::int64_t count = first > last ? 0 : FrameCount(first, last);
    if (count > kMaxKeysPerEdit) {
        outcome.ok = false;
        outcome.error = TooManyShapesMessage("Guessing shapes", count);
        return outcome;
    }

    std::vector<MouthShape> guessed;
    if (count > 0) {
        const std::vector<MouthShape> per10ms = source();
        if (per10ms.empty()) return outcome;  // the source had nothing to say (and said why)
        guessed =
            ShapesForFrames(per10ms, g_sound.GetSampleRate(), doc.GetFrameRate(), first, last);
    }

    const ShapeTrack& track = doc.GetShapes();
    std::vector<ShapeEntry> run;
    run.reserve(static_cast<std::size_t>(count));
    const std::size_t n = std::min<std::size_t>(guessed.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t frame = first + static_cast<std::int32_t>(i);
        const ShapeEntry* old = track.Find(frame);
        if (old && old->hand && !replaceHandEdits) {
            run.push_back(*old);
            ++outcome.kept;
        } else {
            run.push_back({frame, guessed[i], false});
            ++outcome.filled;
        }
    }
    // Hand-set shapes beyond what the estimator returned are kept as well.
    if (!replaceHandEdits && count > 0) {
        for (const ShapeEntry& old : track.CopyRange(first + static_cast<std::int32_t>(n), last)) {
            if (old.hand) {
                run.push_back(old);
                ++outcome.kept;
            }
        }
    }
    std::int32_t editLast = last;
    if (reachesEnd) {
        // Past the end only the animator's own shapes stay, whatever the option says: nothing
        // was guessed there to replace them.
        const std::int32_t from = std::max(first, soundLast + 1);
        std::vector<ShapeEntry> hand;
        for (const ShapeEntry& old : track.CopyRange(from, INT_MAX)) {
            if (old.hand) {
                hand.push_back(old);
                ++outcome.keptPastEnd;
            } else {
                ++outcome.cleared;
            }
        }
        if (outcome.cleared > 0) {
            run.insert(run.end(), hand.begin(), hand.end());
            editLast = INT_MAX;
        }
    }
    if (first > editLast) return outcome;  // nothing of the sound lies there, nothing to clear
    ReplaceShapes(doc, name, first, editLast, run, alongside);
    return outcome;
}

GuessOutcome GuessSelectionShapes(CVokraDoc& doc, bool replaceHandEdits,
                                  const ShapeOptions& options) {
    return FillSelectionShapes(doc, replaceHandEdits, "Guess Shapes", [&options] {
        return GuessShapes(g_sound.GetSamples(), g_sound.GetSampleCount(), g_sound.GetSampleRate(),
                           options);
    });
}

std::string GuessStatusText(const GuessOutcome& outcome) {
    std::string text =
        "Guessed " + GroupedNumber(outcome.filled) + (outcome.filled == 1 ? " frame" : " frames");
    if (outcome.kept > 0) {
        text += "; kept " + GroupedNumber(outcome.kept) +
                (outcome.kept == 1 ? " hand-set shape" : " hand-set shapes");
    }
    if (outcome.cleared > 0) {
        text += "; cleared " + GroupedNumber(outcome.cleared) +
                (outcome.cleared == 1 ? " guessed shape" : " guessed shapes") +
                " past the end of the sound";
    }
    if (outcome.keptPastEnd > 0) {
        text += "; kept " + GroupedNumber(outcome.keptPastEnd) +
                (outcome.keptPastEnd == 1 ? " hand-set shape" : " hand-set shapes") +
                " past the end of the sound";
    }
    return text + ".";
}

std::int32_t MarkSelectionHandMade(CVokraDoc& doc, bool hand) {
    std::int32_t first, last;
    if (!SelectedRange(doc, first, last)) return 0;
    std::vector<Keyframe> keys = doc.GetKeys().CopyRange(first, last);
    std::vector<ShapeEntry> shapes = doc.GetShapes().CopyRange(first, last);
    std::int32_t changed = 0;
    for (Keyframe& key : keys) {
        if (key.IsHandMade() != hand) {
            key.SetHandMade(hand);
            ++changed;
        }
    }
    for (ShapeEntry& entry : shapes) {
        if (entry.hand != hand) {
            entry.hand = hand;
            ++changed;
        }
    }
    if (changed == 0) return 0;
    doc.BeginKeyEdit(hand ? "Mark as Hand-Made" : "Release Hand Edits", first, last, true);
    doc.GetKeys().ReplaceRange(first, last, keys);
    doc.GetShapes().ReplaceRange(first, last, shapes);
    doc.EndKeyEdit(true);
    doc.UpdateAllViews(nullptr, kHintAll);
    return changed;
}

}  // namespace vokra

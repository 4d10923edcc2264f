#pragma once
// The application's one document: the frame rate, the keys, the shared timeline record, where the
// sound and the last envelope file live, and the commands that edit them.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "document/key_clip.h"
#include "document/key_edit.h"
#include "document/keyframe_list.h"
#include "document/script_record.h"
#include "document/shape_track.h"
#include "document/vok_section.h"
#include "panes/timeline_state.h"
#include "platform/document_base.h"
#include "sound/load_recording.h"

namespace vokra {

class SoundData;

// What the document needs of the two palettes while they are shown (they register themselves).
class PlaybackPaletteLink {
public:
    virtual ~PlaybackPaletteLink() = default;
    virtual void Refresh(int code) = 0;
};
class AutoKeyPaletteLink {
public:
    virtual ~AutoKeyPaletteLink() = default;
    virtual void UpdateRangeLabel(int code) = 0;
};

// The answer of the frames-per-second dialog.
struct FpsChoice {
    double rate = 15.0;
    std::int32_t preset = 7;
};
// Shows the dialog with (preset, rate, custom rate); nothing when cancelled.
using FpsDialogRunner =
    std::function<std::optional<FpsChoice>(std::int32_t preset, double rate, double customRate)>;

// Frame rate of a preset index 1..11 (0 is the custom rate and has none here).
double PresetFrameRate(std::int32_t preset, double customFps);
constexpr int kPresetCount = 12;

// Update hints.
enum UpdateHint { kHintAll = 0, kHintVisibleRange = 55, kHintKeepStartEnd = 57 };

class CVokraDoc : public DocumentBase {
public:
    CVokraDoc();
    ~CVokraDoc() override;

    TimelineState& GetTimeRange() { return timeState; }
    const TimelineState& GetTimeRange() const { return timeState; }
    KeyframeList& GetKeys() { return keys; }
    const KeyframeList& GetKeys() const { return keys; }
    ShapeTrack& GetShapes() { return shapes; }
    const ShapeTrack& GetShapes() const { return shapes; }
    double GetFrameRate() const { return frameRate; }
    std::int32_t GetFpsPreset() const { return fpsPreset; }
    double GetCustomFps() const { return customFps; }
    std::int32_t GetContentGeneration() const { return contentGeneration; }
    // The script of the line, remembered for Guess Shapes from Script; changing it modifies the
    // document.
    const DocumentScript& GetScript() const { return script; }
    void SetScript(const DocumentScript& newScript);
    // The file reader's way in: the script as read, without marking the document modified.
    void LoadScript(DocumentScript newScript) { script = std::move(newScript); }
    // The words of the last accepted alignment, where they were placed (empty without one).
    const std::vector<ScriptWordPlace>& GetScriptWords() const { return scriptWords; }
    // Within an open key edit: the script and its placed words change with it, and go back
    // with its undo.
    void SetScriptInEdit(const DocumentScript& newScript, std::vector<ScriptWordPlace> words);
    const std::string& GetSoundName() const { return soundName; }
    const std::string& GetSoundDir() const { return soundDir; }
    const std::string& GetEnvName() const { return envName; }
    const std::string& GetEnvDir() const { return envDir; }

    void SetFrameRate(double rate, std::int32_t preset);
    void UpdateExtent();
    double SnapToFrameEdge(double position) const;
    // Insert (0x2D) fills, Delete (0x2E) clears the selection; auto-repeat (flag 0x4000) ignored.
    int OnKeyCommand(unsigned virtualKey, unsigned repeatCount, unsigned flags);
    void FillSelection();
    void DeleteSelection();
    // The keys and shapes of the selected frames, counted from the first selected frame (span 0:
    // none).
    KeyClip CopySelection() const;
    // Copy, then delete the selected frames' keys and shapes as one edit.
    void CutSelection();
    // Puts a clip at the first selected frame (the frame after the cursor when nothing is
    // selected), replacing the keys on every frame it covers (and the shapes, when the clip
    // carries them), and selects those frames. What is pasted counts as set by hand. False,
    // after saying why, when it would make too many keys or run past the last possible frame.
    bool PasteKeys(const KeyClip& clip);

    // The history that receives every key edit (not owned; null: nothing is recorded).
    void SetKeyEditSink(KeyEditSink* sink) { keyEditSink = sink; }
    // A pane dragging keys shows them moved and writes them only at the release. While it runs
    // it leaves here how to cancel it: every other key edit (undo, redo, paste, a rate change, a
    // new document...) ends the drag as cancelled before it changes anything.
    void SetKeyDragCanceller(std::function<void()> cancel) { keyDragCanceller = std::move(cancel); }
    void CancelKeyDrag();
    // True when everything the document file stores apart from the keys (rates, the sound's and
    // the envelope's locations) is as it was when the document was last opened, saved or made
    // new. The undo history answers for the keys.
    bool StoredFieldsAsSaved() const { return StoredFieldsNow() == savedFields; }
    // Unmodified means "as saved": the fields are remembered as the saved state.
    void SetModifiedFlag(bool modified = true) override;
    // Brackets a change that a pane or palette makes to the keys of frames first..last: Begin
    // notes what those frames held; End, when `changed`, records the edit and marks the document
    // modified. Edits outside the range must not happen in between. With `shapesToo` the frames'
    // mouth shapes are noted as well and the edit may change them.
    void BeginKeyEdit(std::string name, std::int32_t first, std::int32_t last,
                      bool shapesToo = false);
    void EndKeyEdit(bool changed);
    // Takes a recorded edit back (redo false) or makes it again, and selects the frames it covered.
    void ApplyKeyEdit(const KeyEdit& edit, bool redo);
    // Whether an edit may create `count` keys; when not, says so (naming `what` and the count).
    bool AllowNewKeys(const std::string& what, std::int64_t count);
    const Keyframe* GetKeyAfterSelection() const;
    const Keyframe* GetKeyBeforeSelection() const;

    void SetPlaybackPalette(PlaybackPaletteLink* palette) { playbackPalette = palette; }
    void SetAutoKeyPalette(AutoKeyPaletteLink* palette) { autoKeyPalette = palette; }
    PlaybackPaletteLink* GetPlaybackPalette() const { return playbackPalette; }
    AutoKeyPaletteLink* GetAutoKeyPalette() const { return autoKeyPalette; }
    void NotifyPalettes(int hint);

    // Commands.
    void OnLoadSoundFile();      // 32775
    void OnWriteEnvelopeFile();  // 32777
    // Returns a line for the status bar when keys were re-timed.
    std::string OnSetFramesPerSec(const FpsDialogRunner&);  // 32778
    void OnSelectAll();                                     // 32784
    // Loads a sound by path with the exact loader, as the command did before conversion existed
    // (the command-line tool and tests use it).
    void LoadSoundFrom(const std::string& path);
    // Loads any recording through the sound layer's one way in (LoadRecording): as it is, or
    // converted in memory or to a copy in `request.copyFolder`. Shows nothing: what the user must
    // be told comes back with the outcome. The sound in use stays when nothing loads, unless the
    // loader tried the file (a failed load always took the old sound away).
    RecordingLoad TryLoadSound(const std::string& path, const RecordingRequest& request = {});
    // What the command, a dropped sound and a sound on the command line do: load it through the
    // sound layer's one way in, and when the loader refuses it for its format or size but it can
    // be read, offer to convert it to a loadable copy beside it and load that.
    void LoadOrConvertSound(const std::string& path);
    // Writes the envelope to a path as the command does after its dialog; false on failure.
    bool WriteEnvelopeTo(const std::string& path);
    // True, after saying so, when `path` names the file of this document's recording (directly,
    // through a link or a second hard link): a save or an export there would destroy the sound.
    bool RefusesOwnSound(const std::string& path) const;

    // Framework hooks.
    void DeleteContents() override;  // the reset
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    // Asks first when the write would replace records of the file it could not read (see
    // LostOnWrite); a "no" saves nothing.
    bool OnSaveDocument(const std::string& path) override;
    void Serialize(Archive& ar) override;

    // What the document's file held that this version could not read, kept for the next write.
    const VokSectionKept& GetSectionKept() const { return sectionKept; }
    // What the next save would lose of it, named ("mouth shapes"); empty when nothing.
    std::string LostOnSave() const { return LostOnWrite(*this, sectionKept); }
    // The next saves replace what they must without asking (vokra-cli --drop-damaged).
    void SetDropDamagedOnSave(bool drop) { dropDamagedOnSave = drop; }
    // The message that says what a save would lose, with or without the question at its end.
    static std::string LostOnSaveText(const std::string& lost);

private:
    // Everything the document file stores besides the keys.
    struct StoredFields {
        double frameRate = 0.0;
        std::int32_t fpsPreset = 0;
        double customFps = 0.0;
        std::string soundDir, soundName, envDir, envName;
        DocumentScript script;
        bool operator==(const StoredFields&) const = default;
    };
    StoredFields StoredFieldsNow() const;
    // Takes the fields as the saved state once the document is unmodified (opened, saved, new).
    void RememberSavedFields();
    void DeleteSelectionAs(const char* name, bool shapesToo);
    // The selected frames (first > last when none); first is never below 0.
    void SelectedFrames(std::int32_t& first, std::int32_t& last) const;
    void AfterSoundLoad(bool loaded, const std::string& full);
    // Asks whether to convert a recording the loader refuses, then where its copy goes; nothing
    // when the user says no to either.
    std::optional<std::string> OfferConversion(const RecordingOffer& offer);
    // Puts a sound loaded to the side in place, as a successful load does.
    void AdoptSound(SoundData& loaded, const std::string& full);
    // A failed load as the command has always done it: the sound gone, the refusal shown.
    void RefuseSound(const std::string& refusal);

    TimelineState timeState;
    KeyframeList keys;
    ShapeTrack shapes;
    DocumentScript script;
    std::vector<ScriptWordPlace> scriptWords;
    PlaybackPaletteLink* playbackPalette = nullptr;
    AutoKeyPaletteLink* autoKeyPalette = nullptr;
    std::string soundName;
    std::string soundDir;
    std::string envName;
    std::string envDir;
    double frameRate = 15.0;
    std::int32_t fpsPreset = 7;
    double customFps = 15.0;
    std::int32_t contentGeneration = 0;
    KeyEditSink* keyEditSink = nullptr;
    KeyEdit pendingEdit;
    bool editOpen = false;
    std::function<void()> keyDragCanceller;
    StoredFields savedFields;
    VokSectionKept sectionKept;
    bool dropDamagedOnSave = false;

    friend class VokFile;
};

}  // namespace vokra

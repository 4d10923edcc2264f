#include <cmath>
#include <filesystem>

#include "sound/import.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

using Keys = std::vector<std::pair<int, float>>;

// --- The reset takes its rates from the settings, with fallbacks.

struct SettingsCase {
    const char* name;
    const char* ini;  // contents of the settings file, or null for none
    double rate;
    int preset;
    double custom;
};

class Document_ResetFromSettings : public DocFixture,
                                   public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(Document_ResetFromSettings, GivesRatePresetAndCustomRate) {
    const SettingsCase& c = GetParam();
    if (c.ini) WriteFile(IniPath(), c.ini);
    CVokraDoc& doc = NewDoc();
    EXPECT_DOUBLE_EQ(doc.GetFrameRate(), c.rate);
    EXPECT_EQ(doc.GetFpsPreset(), c.preset);
    EXPECT_DOUBLE_EQ(doc.GetCustomFps(), c.custom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Document_ResetFromSettings,
    ::testing::Values(
        SettingsCase{"no_settings_file", nullptr, 15.0, 7, 15.0},
        SettingsCase{"preset_twelve_is_out_of_range", "[SETTINGS]\nFPS_TYPE=12\n", 15.0, 7, 15.0},
        SettingsCase{"negative_preset", "[SETTINGS]\nFPS_TYPE=-1\n", 15.0, 7, 15.0},
        SettingsCase{"custom_500_is_too_slow", "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=500\n", 15.0, 0,
                     15.0},
        SettingsCase{"custom_23976", "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=23976\n", 23.976, 0,
                     23.976},
        SettingsCase{"custom_upper_bound", "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=100000\n", 100.0, 0,
                     100.0},
        SettingsCase{"custom_above_bound", "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=100001\n", 15.0, 0,
                     15.0},
        SettingsCase{"custom_kept_for_a_standard_preset",
                     "[SETTINGS]\nFPS_TYPE=10\nFPS_CUSTOM=23976\n", 29.97, 10, 23.976},
        SettingsCase{"lowest_preset", "[settings]\nfps_type=1\n", 4.0, 1, 15.0},
        SettingsCase{"half_ntsc", "[SETTINGS]\nFPS_TYPE=6\n", 14.985, 6, 15.0}),
    [](const auto& info) { return std::string(info.param.name); });

class Document_Reset : public DocFixture {};

TEST_F(Document_Reset, FreshStartIsFramesZeroToTenWithCursorAtTheStart) {
    CVokraDoc& doc = NewDoc();
    const TimelineState& t = doc.GetTimeRange();
    EXPECT_EQ(t.GetExtentMin(), -0.5);
    EXPECT_EQ(t.GetExtentMax(), 10.5);
    EXPECT_EQ(t.GetVisibleMin(), -0.5);
    EXPECT_EQ(t.GetVisibleMax(), 10.5);
    EXPECT_EQ(t.GetAnchor(), -0.5);
    EXPECT_EQ(t.GetCursor(), -0.5);
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetSoundDir(), "");
    EXPECT_EQ(doc.GetEnvDir(), "");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(g_maxAmplitude, 1.0);
}

TEST_F(Document_Reset, FoldersComeFromTheSettings) {
    WriteFile(IniPath(), "[DIRECTORIES]\nWAVEDIR=/voices\nENVDIR=/out\n");
    CVokraDoc& doc = NewDoc();
    EXPECT_EQ(doc.GetSoundDir(), "/voices");
    EXPECT_EQ(doc.GetSoundName(), "");
    EXPECT_EQ(doc.GetEnvDir(), "/out");
}

TEST_F(Document_Reset, UnloadsTheSoundAndCountsAGeneration) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("v.wav", 1.0));
    ASSERT_TRUE(g_sound.IsLoaded());
    const int before = doc.GetContentGeneration();
    doc.OnNewDocument();
    EXPECT_FALSE(g_sound.IsLoaded());
    EXPECT_EQ(g_maxAmplitude, 1.0);
    EXPECT_GT(doc.GetContentGeneration(), before);
}

// --- The extent follows sound, rate and keys.

struct ExtentCase {
    const char* name;
    double soundSeconds;  // 0: no sound
    double rate;
    int keyFrame;  // -1: no key
    double end;
};

class Document_Extent : public DocFixture, public ::testing::WithParamInterface<ExtentCase> {};

TEST_P(Document_Extent, CoversSoundAndKeys) {
    const ExtentCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    doc.SetFrameRate(c.rate, 0);
    if (c.soundSeconds > 0) doc.LoadSoundFrom(MakeSound("v.wav", c.soundSeconds));
    if (c.keyFrame >= 0) doc.GetKeys().SetKey(Keyframe(c.keyFrame, 0.5f));
    doc.UpdateExtent();
    EXPECT_EQ(doc.GetTimeRange().GetExtentMin(), -0.5);
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), c.end);
}

INSTANTIATE_TEST_SUITE_P(Cases, Document_Extent,
                         ::testing::Values(ExtentCase{"four_seconds", 4.0, 15.0, -1, 60.5},
                                           ExtentCase{"half_a_second", 0.5, 15.0, -1, 10.5},
                                           ExtentCase{"ends_inside_frame_60", 4.05, 15.0, -1, 60.5},
                                           ExtentCase{"ends_inside_frame_61", 4.1, 15.0, -1, 61.5},
                                           ExtentCase{"key_at_40", 0, 15.0, 40, 40.5},
                                           ExtentCase{"key_beyond_sound", 1.0, 15.0, 70, 70.5},
                                           ExtentCase{"fast_rate", 4.0, 100.0, -1, 400.5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document_Extent, ShrinksBackWhenTheLastKeyIsDeleted) {
    CVokraDoc& doc = NewDoc();
    doc.GetKeys().SetKey(Keyframe(40, 0.5f));
    doc.OnSelectAll();
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 40.5);
    EXPECT_EQ(doc.OnKeyCommand(0x2E, 1, 0), 1);
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 10.5);
}

TEST_F(Document_Extent, AbsurdRateDoesNotRunAway) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("v.wav", 1.0));
    for (double rate : {std::nan(""), static_cast<double>(INFINITY), -5.0, 1e300}) {
        doc.SetFrameRate(rate, 0);  // returns: the extent computation ends
        EXPECT_TRUE(std::isfinite(doc.GetTimeRange().GetExtentMax())) << rate;
    }
}

// --- Snapping.

struct SnapCase {
    const char* name;
    double position, want;
};

class Document_Snap : public DocFixture, public ::testing::WithParamInterface<SnapCase> {};

TEST_P(Document_Snap, GoesToTheFrameEdge) {
    CVokraDoc& doc = NewDoc();
    EXPECT_EQ(doc.SnapToFrameEdge(GetParam().position), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Cases, Document_Snap,
                         ::testing::Values(SnapCase{"low_in_frame", 3.2, 3.5},
                                           SnapCase{"high_in_frame", 3.7, 3.5},
                                           SnapCase{"zero", 0.0, -0.5},
                                           SnapCase{"just_above_zero", 0.1, 0.5},
                                           SnapCase{"before_the_extent", -3.0, -0.5},
                                           SnapCase{"after_the_extent", 100.0, 10.5},
                                           SnapCase{"not_a_number", std::nan(""), -0.5}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Key edits on the selection.

class Document_KeyEdits : public DocFixture {
protected:
    void Select(CVokraDoc& doc, double a, double b) {
        doc.GetTimeRange().SetAnchor(a);
        doc.GetTimeRange().SetCursor(b);
    }
};

TEST_F(Document_KeyEdits, InsertFillsTheSelectedFramesOnTheLine) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2, 0.2f}, {8, 0.8f}});
    Select(doc, 6.5, 2.5);  // frames 3 to 6, dragged leftwards
    EXPECT_EQ(doc.OnKeyCommand(0x2D, 1, 0), 1);
    const Keys keys = KeysOf(doc);
    ASSERT_EQ(keys.size(), 6u);
    const float want[] = {0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.8f};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(keys[i].second, want[i], 1e-6) << i;
    EXPECT_EQ(keys[1].first, 3);
    EXPECT_EQ(keys[4].first, 6);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(Document_KeyEdits, FillKeepsKeysInsideAndRampsFromZeroBeforeTheFirst) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{4, 0.8f}});
    Select(doc, -0.5, 5.5);  // frames 0 to 5
    doc.FillSelection();
    EXPECT_EQ(KeysOf(doc),
              (Keys{{0, 0.0f}, {1, 0.2f}, {2, 0.4f}, {3, 0.6f}, {4, 0.8f}, {5, 0.8f}}));
}

struct NoEditCase {
    const char* name;
    unsigned key;
    unsigned flags;
    double anchor, cursor;
    int handled;
};

class Document_KeyEditsIgnored : public DocFixture,
                                 public ::testing::WithParamInterface<NoEditCase> {};

TEST_P(Document_KeyEditsIgnored, ChangeNothing) {
    const NoEditCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2, 0.2f}, {8, 0.8f}});
    doc.GetTimeRange().SetAnchor(c.anchor);
    doc.GetTimeRange().SetCursor(c.cursor);
    EXPECT_EQ(doc.OnKeyCommand(c.key, 1, c.flags), c.handled);
    EXPECT_EQ(KeysOf(doc), (Keys{{2, 0.2f}, {8, 0.8f}}));
    EXPECT_FALSE(doc.IsModified());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Document_KeyEditsIgnored,
    ::testing::Values(NoEditCase{"insert_held_down", 0x2D, 0x4000, 1.5, 9.5, 1},
                      NoEditCase{"delete_held_down", 0x2E, 0x4000, 1.5, 9.5, 1},
                      NoEditCase{"insert_without_selection", 0x2D, 0, 3.5, 3.505, 1},
                      NoEditCase{"delete_without_selection", 0x2E, 0, 3.5, 3.495, 1},
                      NoEditCase{"delete_where_there_are_no_keys", 0x2E, 0, 3.5, 6.5, 1},
                      NoEditCase{"other_key", 0x41, 0, 1.5, 9.5, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document_KeyEdits, DeleteRemovesOnlySelectedFrames) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2, 0.2f}, {3, 0.3f}, {6, 0.6f}, {7, 0.7f}});
    Select(doc, 2.5, 6.5);  // frames 3 to 6
    doc.OnKeyCommand(0x2E, 1, 0);
    EXPECT_EQ(KeysOf(doc), (Keys{{2, 0.2f}, {7, 0.7f}}));
    EXPECT_TRUE(doc.IsModified());
}

struct StepCase {
    const char* name;
    double anchor, cursor;
    int after, before;  // frames, -1 for none
};

class Document_KeySteps : public DocFixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(Document_KeySteps, FindNeighboursOfTheSelection) {
    const StepCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2, 0.2f}, {5, 0.5f}, {9, 0.9f}});
    doc.GetTimeRange().SetAnchor(c.anchor);
    doc.GetTimeRange().SetCursor(c.cursor);
    const Keyframe* after = doc.GetKeyAfterSelection();
    const Keyframe* before = doc.GetKeyBeforeSelection();
    EXPECT_EQ(after ? after->GetFrame() : -1, c.after);
    EXPECT_EQ(before ? before->GetFrame() : -1, c.before);
}

INSTANTIATE_TEST_SUITE_P(Cases, Document_KeySteps,
                         ::testing::Values(StepCase{"selection_on_the_middle_key", 4.5, 5.5, 9, 2},
                                           StepCase{"cursor_only", 4.5, 4.5, 5, 2},
                                           StepCase{"cursor_at_start", -0.5, -0.5, 2, -1},
                                           StepCase{"cursor_past_all", 9.5, 9.5, -1, 9},
                                           StepCase{"selection_over_all", -0.5, 10.5, -1, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document_KeyEdits, SelectAllOnANewDocumentSelectsFramesZeroToTen) {
    CVokraDoc& doc = NewDoc();
    doc.OnSelectAll();
    EXPECT_EQ(doc.GetTimeRange().SelectionStart(), -0.5);
    EXPECT_EQ(doc.GetTimeRange().SelectionEnd(), 10.5);
    EXPECT_EQ(doc.GetTimeRange().GetVisibleMin(), -0.5);
    EXPECT_EQ(doc.GetTimeRange().GetVisibleMax(), 10.5);
    doc.FillSelection();
    EXPECT_EQ(doc.GetKeys().GetCount(), 11);
}

// --- Views and palettes.

class RecordingView final : public View {
public:
    void OnUpdate(View* sender, int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

struct Recorder {
    std::vector<std::string> calls;
};
class FakePlayback final : public PlaybackPaletteLink {
public:
    explicit FakePlayback(Recorder& r) : r_(r) {}
    void Refresh(int code) override { r_.calls.push_back("playback " + std::to_string(code)); }
    Recorder& r_;
};
class FakeAutoKey final : public AutoKeyPaletteLink {
public:
    explicit FakeAutoKey(Recorder& r) : r_(r) {}
    void UpdateRangeLabel(int code) override {
        r_.calls.push_back("autokey " + std::to_string(code));
    }
    Recorder& r_;
};

class Document_Notify : public DocFixture {};

TEST_F(Document_Notify, PalettesHearPlaybackFirst) {
    CVokraDoc& doc = NewDoc();
    Recorder r;
    FakePlayback playback(r);
    FakeAutoKey autoKey(r);
    doc.SetAutoKeyPalette(&autoKey);
    doc.SetPlaybackPalette(&playback);
    doc.NotifyPalettes(57);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"playback 57", "autokey 57"}));
    doc.SetPlaybackPalette(nullptr);
    doc.NotifyPalettes(0);
    EXPECT_EQ(r.calls.back(), "autokey 0");
    EXPECT_EQ(r.calls.size(), 3u);
}

TEST_F(Document_Notify, EditsRedrawEveryView) {
    CVokraDoc& doc = NewDoc();
    RecordingView a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.OnSelectAll();
    doc.OnKeyCommand(0x2D, 1, 0);
    doc.SetFrameRate(24.0, 8);
    EXPECT_EQ(a.hints, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(b.hints, a.hints);
    doc.UpdateAllViews(&a, 55);
    EXPECT_EQ(a.hints.size(), 3u);
    EXPECT_EQ(b.hints.back(), 55);
}

// --- Frame rate.

class Document_FrameRate : public DocFixture {};

TEST_F(Document_FrameRate, SettingItResetsTheTimelineAndMarksModified) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    doc.GetTimeRange().SetAnchor(2.5);
    doc.GetTimeRange().SetCursor(5.5);
    const int gen = doc.GetContentGeneration();
    doc.SetFrameRate(15.0, 7);  // the same rate
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetContentGeneration(), gen + 1);
    EXPECT_EQ(doc.GetTimeRange().GetAnchor(), -0.5);
    EXPECT_EQ(doc.GetTimeRange().GetCursor(), -0.5);
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
}

struct FpsCase {
    const char* name;
    std::optional<FpsChoice> choice;  // the dialog's answer
    bool hasKeys;
    int questionAnswer;  // 0: no question expected
    double rate;
    int preset;
    int keysLeft;
    bool modified;
    const char* fpsType;    // written FPS_TYPE, or null
    const char* fpsCustom;  // written FPS_CUSTOM, or null
};

class Document_SetFramesPerSec : public DocFixture,
                                 public ::testing::WithParamInterface<FpsCase> {};

TEST_P(Document_SetFramesPerSec, AppliesTheDialogsChoice) {
    const FpsCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    if (c.hasKeys) SetKeys(doc, {{1, 0.1f}, {4, 0.4f}});
    if (c.questionAnswer) {
        messages_->Expect(
            "Changing the frames per Second will cause the deletion of all existing "
            "keyframes.\n\nRe-time keeps them instead: each keyframe moves to the frame nearest "
            "its old time.",
            c.questionAnswer);
    }
    std::vector<double> shown;
    doc.OnSetFramesPerSec([&](std::int32_t preset, double rate, double custom) {
        shown = {static_cast<double>(preset), rate, custom};
        return c.choice;
    });
    EXPECT_EQ(shown, (std::vector<double>{7, 15.0, 15.0}));
    if (c.questionAnswer) {
        EXPECT_EQ(messages_->Shown().at(0).buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(messages_->Shown().at(0).acceptText, "Re-time");
        EXPECT_EQ(messages_->Shown().at(0).noText, "Delete");
        EXPECT_EQ(messages_->Shown().at(0).icon, MsgIcon::Question);
    }
    EXPECT_DOUBLE_EQ(doc.GetFrameRate(), c.rate);
    EXPECT_EQ(doc.GetFpsPreset(), c.preset);
    EXPECT_EQ(doc.GetKeys().GetCount(), c.keysLeft);
    EXPECT_EQ(doc.IsModified(), c.modified);
    EXPECT_EQ(Profile().GetString("SETTINGS", "FPS_TYPE", "-"), c.fpsType ? c.fpsType : "-");
    EXPECT_EQ(Profile().GetString("SETTINGS", "FPS_CUSTOM", "-"), c.fpsCustom ? c.fpsCustom : "-");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Document_SetFramesPerSec,
    ::testing::Values(FpsCase{"cancelled", std::nullopt, true, 0, 15.0, 7, 2, false, nullptr,
                              nullptr},
                      FpsCase{"new_rate_without_keys", FpsChoice{24.0, 8}, false, 0, 24.0, 8, 0,
                              true, "8", nullptr},
                      FpsCase{"new_rate_with_keys_cancelled", FpsChoice{24.0, 8}, true, IDCANCEL,
                              15.0, 7, 2, false, nullptr, nullptr},
                      FpsCase{"new_rate_with_keys_deleted", FpsChoice{24.0, 8}, true, IDNO, 24.0, 8,
                              0, true, "8", nullptr},
                      FpsCase{"new_rate_with_keys_retimed", FpsChoice{24.0, 8}, true, IDYES, 24.0,
                              8, 2, true, "8", nullptr},
                      // Nothing changed: no modified mark.
                      FpsCase{"same_rate_keeps_keys", FpsChoice{15.0, 7}, true, 0, 15.0, 7, 2,
                              false, "7", nullptr},
                      FpsCase{"custom_rate_rounds_thousandths", FpsChoice{23.9765, 0}, false, 0,
                              23.9765, 0, 0, true, "0", "23977"},
                      FpsCase{"custom_same_as_preset", FpsChoice{15.0, 0}, true, 0, 15.0, 0, 2,
                              true, "0", "15000"},
                      FpsCase{"rate_the_dialog_never_gives", FpsChoice{std::nan(""), 0}, true, 0,
                              15.0, 7, 2, false, nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document_FrameRate, CustomRateIsRememberedForTheNextDialog) {
    CVokraDoc& doc = NewDoc();
    doc.OnSetFramesPerSec([](std::int32_t, double, double) { return FpsChoice{23.5, 0}; });
    double customShown = 0;
    doc.OnSetFramesPerSec([&](std::int32_t, double, double custom) {
        customShown = custom;
        return std::nullopt;
    });
    EXPECT_EQ(customShown, 23.5);
    EXPECT_EQ(doc.GetCustomFps(), 23.5);
}

// --- Loading a sound.

class Document_LoadSound : public DocFixture {};

TEST_F(Document_LoadSound, CommandAsksForAWaveFileAndRemembersItsFolder) {
    WriteFile(IniPath(), "[DIRECTORIES]\nWAVEDIR=/start\n");
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    const std::string wav = MakeSound("voice.wav", 2.0);
    dialogs_->Answer(wav);
    const int gen = doc.GetContentGeneration();
    doc.OnLoadSoundFile();
    const FileDialogRequest& r = dialogs_->Requests().at(0);
    EXPECT_FALSE(r.save);
    EXPECT_TRUE(r.fileMustExist);
    // Every file the converter reads first, then WAVE files alone, then all files.
    const std::string readable = ReadableSoundPatterns();
    EXPECT_EQ(r.filter, "Sound Files (" + readable + ")|" + readable +
                            "|Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||");
    EXPECT_EQ(r.initialDir, "/start");
    EXPECT_EQ(r.initialName, "");
    EXPECT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(doc.GetSoundName(), "voice.wav");
    EXPECT_EQ(doc.GetSoundDir(), dir_.Path());
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "WAVEDIR"), dir_.Path());
    EXPECT_EQ(KeysOf(doc), (Keys{{3, 0.3f}}));  // keys stay
    EXPECT_TRUE(doc.IsModified());
    EXPECT_GT(doc.GetContentGeneration(), gen);
    EXPECT_GT(g_maxAmplitude, 1.0);
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 30.5);

    // The next dialog starts with that file.
    dialogs_->Answer(std::nullopt);
    doc.OnLoadSoundFile();
    EXPECT_EQ(dialogs_->Requests().at(1).initialName, "voice.wav");
    EXPECT_EQ(dialogs_->Requests().at(1).initialDir, dir_.Path());
}

TEST_F(Document_LoadSound, CancelOnlyCountsAGeneration) {
    CVokraDoc& doc = NewDoc();
    const int gen = doc.GetContentGeneration();
    dialogs_->Answer(std::nullopt);
    doc.OnLoadSoundFile();
    EXPECT_EQ(doc.GetContentGeneration(), gen + 1);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(Document_LoadSound, FailureKeepsThePreviousNamesButNotTheSound) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("good.wav", 1.0));
    doc.SetModifiedFlag(false);
    WriteFile(dir_.File("bad.wav"), "not a wave file at all");
    messages_->AllowAny();  // the loader says why
    doc.LoadSoundFrom(dir_.File("bad.wav"));
    EXPECT_FALSE(messages_->Shown().empty());
    EXPECT_FALSE(g_sound.IsLoaded());
    EXPECT_EQ(g_maxAmplitude, 1.0);
    EXPECT_EQ(doc.GetSoundName(), "good.wav");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 10.5);
}

TEST_F(Document_LoadSound, OpeningReloadsTheSound) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("v.wav", 2.0));
    SetKeys(doc, {{5, 0.5f}});
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("d.vok")));
    doc.OnNewDocument();
    ASSERT_FALSE(g_sound.IsLoaded());
    ASSERT_TRUE(doc.OnOpenDocument(dir_.File("d.vok")));
    EXPECT_TRUE(g_sound.IsLoaded());
    EXPECT_GT(g_maxAmplitude, 1.0);
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 30.5);
    EXPECT_EQ(doc.GetTimeRange().GetCursor(), -0.5);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(Document_LoadSound, MovedSoundIsReportedAndTheKeysStillLoad) {
    CVokraDoc& doc = NewDoc();
    const std::string wav = MakeSound("v.wav", 2.0);
    doc.LoadSoundFrom(wav);
    SetKeys(doc, {{40, 0.5f}});
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("d.vok")));
    std::filesystem::remove(wav);
    doc.OnNewDocument();

    // One box: the loader's "Failed to open file" before it said the same thing twice.
    messages_->Expect("Vokra cannot locate the associated sound file:\n     " + wav +
                      "\nThe keyframes will be loaded.\nYou may reload the sound file manually.");
    ASSERT_TRUE(doc.OnOpenDocument(dir_.File("d.vok")));
    EXPECT_FALSE(g_sound.IsLoaded());
    EXPECT_EQ(KeysOf(doc), (Keys{{40, 0.5f}}));
    EXPECT_EQ(doc.GetSoundName(), "v.wav");
    EXPECT_EQ(doc.GetSoundDir(), dir_.Path());
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 40.5);
    EXPECT_FALSE(doc.IsModified());
}

}  // namespace
}  // namespace vokra::test

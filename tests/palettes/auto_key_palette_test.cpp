#include "palettes/qt/auto_key_palette.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/palettes/palette_test_support.h"
#include "tests/support/scripted_services.h"

namespace vokra {
namespace {

using test::DocWithSound;
using test::FakeFrame;

class AutoKeyPaletteTest : public ::testing::Test {
protected:
    void Show(CVokraDoc* doc) {
        // As the main frame shows it.
        palette_.SetDocument(doc);
        if (doc) doc->SetAutoKeyPalette(&palette_);
        palette_.show();
        palette_.UpdateRangeLabel(0);
    }
    QString Label() const { return palette_.findChild<QLabel*>("rangeLabel")->text(); }
    QPushButton* Apply() const { return palette_.findChild<QPushButton*>("apply"); }
    QLineEdit* Edit(const char* name) const { return palette_.findChild<QLineEdit*>(name); }

    test::ScriptedMessages messages_;
    FakeFrame frame_;
    CAutoKeyPalette palette_;
};

TEST_F(AutoKeyPaletteTest, CreatedHiddenWithItsCaptionAndDefaults) {
    EXPECT_FALSE(palette_.isVisible());
    EXPECT_EQ(palette_.windowTitle(), "AutoKey Palette");
    EXPECT_TRUE(palette_.windowFlags() & Qt::Tool);
    EXPECT_EQ(Label(), "Frames 0 to End");
    EXPECT_EQ(Edit("highThreshold")->text(), "100");
    EXPECT_EQ(Edit("lowThreshold")->text(), "0");
    EXPECT_EQ(Edit("highRange")->text(), "100");
    EXPECT_EQ(Edit("lowRange")->text(), "0");
    EXPECT_TRUE(Apply()->isDefault());
}

TEST_F(AutoKeyPaletteTest, WithoutDocumentLabelEmptyAndApplyDisabled) {
    Show(nullptr);
    EXPECT_EQ(Label(), "");
    EXPECT_FALSE(Apply()->isEnabled());
}

TEST_F(AutoKeyPaletteTest, LabelShowsSelectionOrCursorToEnd) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 15.0, 7);  // 60 frames: the timeline ends at 60.5
    Show(&d.Doc());
    EXPECT_EQ(Label(), "Frames 0 to End");
    EXPECT_EQ(palette_.GetEndFrame(), 60);
    EXPECT_TRUE(Apply()->isEnabled());

    d.SelectFrames(10, 19);
    palette_.UpdateRangeLabel(55);
    EXPECT_EQ(Label(), "Frames 10 to 19");
    EXPECT_EQ(palette_.GetStartFrame(), 10);
    EXPECT_EQ(palette_.GetEndFrame(), 19);

    d.PlaceCursor(4.5);
    palette_.UpdateRangeLabel(0);
    EXPECT_EQ(Label(), "Frames 5 to End");
    EXPECT_EQ(palette_.GetStartFrame(), 5);
}

TEST_F(AutoKeyPaletteTest, ApplyDisabledWithoutSound) {
    DocWithSound d(0.0, 8000, 15.0, 7);
    Show(&d.Doc());
    d.Doc().SetModifiedFlag(false);
    EXPECT_FALSE(Apply()->isEnabled());
    // Reached anyway (Enter is routed to the default button only when enabled): nothing happens.
    palette_.OnApply();
    EXPECT_EQ(d.Doc().GetKeys().GetCount(), 0);
    EXPECT_FALSE(d.Doc().IsModified());
}

TEST_F(AutoKeyPaletteTest, ApplyKeysTheLabelledRangeAndRefreshes) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    test::ForwardingView view(d.Doc());
    d.SetKey(30, 1.9f);  // outside: kept
    d.SetKey(12, 1.9f);  // inside: replaced
    d.SelectFrames(10, 19);
    Show(&d.Doc());
    d.Doc().SetModifiedFlag(false);

    QTest::mouseClick(Apply(), Qt::LeftButton);

    const KeyframeList& keys = d.Doc().GetKeys();
    EXPECT_EQ(keys.GetCount(), 11);
    EXPECT_EQ(keys.GetAt(0)->GetFrame(), 10);
    EXPECT_EQ(keys.GetAt(9)->GetFrame(), 19);
    EXPECT_LE(keys.GetAt(2)->GetOpening(), 1.0f);
    EXPECT_EQ(keys.GetAt(10)->GetFrame(), 30);
    EXPECT_EQ(keys.GetAt(10)->GetOpening(), 1.9f);
    EXPECT_TRUE(d.Doc().IsModified());
    ASSERT_FALSE(view.hints.empty());
    EXPECT_EQ(view.hints.back(), 0);
}

TEST_F(AutoKeyPaletteTest, ApplyUsesTheRangeOfTheLastRefreshNotTheCurrentSelection) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    d.SelectFrames(10, 11);
    Show(&d.Doc());
    d.SelectFrames(40, 49);  // no refresh in between
    palette_.OnApply();
    ASSERT_EQ(d.Doc().GetKeys().GetCount(), 2);
    EXPECT_EQ(d.Doc().GetKeys().GetAt(0)->GetFrame(), 10);
}

TEST_F(AutoKeyPaletteTest, EmptyRangeSetsNoKeyAndLeavesDocumentUnmodified) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    test::ForwardingView view(d.Doc());
    // A selection narrower than one frame: start frame after end frame.
    d.Doc().GetTimeRange().SetAnchor(9.6);
    d.Doc().GetTimeRange().SetCursor(9.9);
    Show(&d.Doc());
    d.Doc().SetModifiedFlag(false);
    palette_.OnApply();
    EXPECT_EQ(d.Doc().GetKeys().GetCount(), 0);
    EXPECT_FALSE(d.Doc().IsModified());
    EXPECT_FALSE(view.hints.empty());  // the views and palettes are still refreshed
}

TEST_F(AutoKeyPaletteTest, EnterInAnEditPressesApply) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    d.SelectFrames(3, 4);
    Show(&d.Doc());
    Edit("lowRange")->setFocus();
    QTest::keyClick(Edit("lowRange"), Qt::Key_Return);
    EXPECT_EQ(d.Doc().GetKeys().GetCount(), 2);
}

struct PromptCase {
    const char* name;
    const char* edit;
    const char* text;
    const char* prompt;
};

class AutoKeyPalette_Prompts : public AutoKeyPaletteTest,
                               public ::testing::WithParamInterface<PromptCase> {};

TEST_P(AutoKeyPalette_Prompts, RefusedBeforeAnyKeyChanges) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    d.SelectFrames(3, 4);
    Show(&d.Doc());
    QLineEdit* edit = Edit(GetParam().edit);
    edit->setText(QString::fromLatin1(GetParam().text));
    messages_.Expect(GetParam().prompt);
    palette_.OnApply();
    messages_.VerifyAllShown();
    EXPECT_EQ(d.Doc().GetKeys().GetCount(), 0);
    EXPECT_EQ(palette_.focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), edit->text());
}

INSTANTIATE_TEST_SUITE_P(
    Table, AutoKeyPalette_Prompts,
    ::testing::Values(PromptCase{"HighRange151", "highRange", "151",
                                 "Please enter an integer between 0 and 150."},
                      PromptCase{"LowRange999", "lowRange", "999",
                                 "Please enter an integer between 0 and 150."},
                      PromptCase{"HighThreshold101", "highThreshold", "101",
                                 "Please enter an integer between 0 and 100."},
                      PromptCase{"LowThreshold101", "lowThreshold", "101",
                                 "Please enter an integer between 0 and 100."},
                      PromptCase{"EmptyThreshold", "lowThreshold", "", "Please enter an integer."},
                      PromptCase{"EmptyRange", "highRange", "", "Please enter an integer."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoKeyPaletteTest, TypedValuesAreUsedAtApply) {
    test::FakeAudioScope audio;
    DocWithSound d(4.0, 8000, 25.0, 9);
    d.SelectFrames(3, 3);
    Show(&d.Doc());
    // Everything at or above 0 % loudness gets the high range.
    Edit("highThreshold")->setText("0");
    Edit("highRange")->setText("150");
    palette_.OnApply();
    EXPECT_EQ(palette_.GetSettings().highRange, 150);
    EXPECT_EQ(d.Doc().GetKeys().GetAt(0)->GetOpening(), 1.5f);
}

TEST_F(AutoKeyPaletteTest, EditsTakeDigitsOnly) {
    QLineEdit* edit = Edit("highRange");
    edit->clear();
    QTest::keyClicks(edit, "1a-2.5");
    EXPECT_EQ(edit->text(), "125");
    EXPECT_TRUE(edit->alignment() & Qt::AlignHCenter);
}

TEST_F(AutoKeyPaletteTest, CloseBoxAsksTheMainFrameAndStaysUp) {
    Show(nullptr);
    palette_.close();
    EXPECT_EQ(frame_.commands, std::vector<int>{32776});
    EXPECT_TRUE(palette_.isVisible());
}

TEST_F(AutoKeyPaletteTest, EscapeHidesDirectlyWithoutTheToggle) {
    Show(nullptr);
    palette_.activateWindow();
    Edit("highRange")->setFocus();
    QTest::keyClick(Edit("highRange"), Qt::Key_Escape);
    EXPECT_FALSE(palette_.isVisible());
    EXPECT_TRUE(frame_.commands.empty());
}

TEST_F(AutoKeyPaletteTest, HelpOpensTopic440OrSaysItFailed) {
    test::FakeHelp help;
    QTest::mouseClick(palette_.findChild<QPushButton*>("help"), Qt::LeftButton);
    EXPECT_EQ(help.contexts, std::vector<int>{440});
    help.opens = false;
    messages_.Expect("Failed to launch help.");
    palette_.OnHelp();
}

TEST_F(AutoKeyPaletteTest, TabOrderFollowsTheRows) {
    Show(nullptr);
    const char* order[] = {"highThreshold", "highRange", "lowThreshold", "lowRange",
                           "replaceHand",   "help",      "apply"};
    QWidget* w = Edit("highThreshold");
    for (const char* name : order) {
        EXPECT_EQ(w->objectName(), name);
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    }
}

}  // namespace
}  // namespace vokra

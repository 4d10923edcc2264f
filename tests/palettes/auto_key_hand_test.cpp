// AutoKey Apply and the keys set by hand: kept unless "Replace hand edits" is ticked, the count in
// the status bar, the choice remembered.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "palettes/qt/auto_key_palette.h"
#include "platform/ini_file.h"
#include "tests/palettes/palette_test_support.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

class AutoKeyHandEdits : public ::testing::Test {
protected:
    AutoKeyHandEdits() : savedIni_(Profile().Path()) {}
    ~AutoKeyHandEdits() override { Profile().SetPath(savedIni_); }

    test::TempDir iniDir_;
    std::string savedIni_;
    test::ScriptedMessages messages_;
    test::FakeFrame frame_;
    test::FakeAudioScope audio_;
};

TEST_F(AutoKeyHandEdits, ApplyKeepsHandMadeKeysUnlessToldToReplaceThem) {
    test::DocWithSound d(4.0, 8000, 25.0, 9);
    Profile().SetPath(iniDir_.File("vokra.INI"));  // the document's set-up cleared it
    Keyframe hand(12, 1.4f);
    hand.SetHandMade(true);
    d.Doc().GetKeys().SetKey(hand);
    d.SelectFrames(10, 19);
    CAutoKeyPalette palette;
    palette.SetDocument(&d.Doc());
    palette.show();
    palette.UpdateRangeLabel(0);
    auto* replace = palette.findChild<QCheckBox*>("replaceHand");
    ASSERT_TRUE(replace);
    EXPECT_FALSE(replace->isChecked()) << "off by default";

    QTest::mouseClick(palette.findChild<QPushButton*>("apply"), Qt::LeftButton);
    const KeyframeList& keys = d.Doc().GetKeys();
    EXPECT_EQ(keys.GetCount(), 10);
    EXPECT_EQ(keys.FindAtOrAfter(12)->GetOpening(), 1.4f);
    EXPECT_TRUE(keys.FindAtOrAfter(12)->IsHandMade());
    EXPECT_FALSE(keys.FindAtOrAfter(11)->IsHandMade());
    ASSERT_FALSE(frame_.statuses.empty());
    EXPECT_NE(frame_.statuses.back().find("kept 1 hand-made key"), std::string::npos);

    replace->setChecked(true);
    QTest::mouseClick(palette.findChild<QPushButton*>("apply"), Qt::LeftButton);
    EXPECT_NE(keys.FindAtOrAfter(12)->GetOpening(), 1.4f);
    EXPECT_FALSE(keys.FindAtOrAfter(12)->IsHandMade());

    CAutoKeyPalette next;  // the choice is remembered
    EXPECT_TRUE(next.IsReplacingHandEdits());
}

}  // namespace
}  // namespace vokra

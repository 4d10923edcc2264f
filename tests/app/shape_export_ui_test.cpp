// The window and the shapes as animators hand them on: the switch data of a document with shapes
// asks for the shapes' names (and writes them), the mouth cues refuse a document without shapes,
// Save asks before it replaces what the file held but could not be read, and View > Shape Lane
// hides the lane for good.
#include <QAction>
#include <QApplication>
#include <QTableWidget>

#include "app/commands.h"
#include "app/export_menu.h"
#include "app/main_frame.h"
#include "app/shape_names_dlg.h"
#include "app/window_state.h"
#include "document/key_export_command.h"
#include "document/shape_export.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

using ShapeExportUi = AppFixture;

// Which dialog the switch data asks with, and what it writes, with and without shapes.
TEST_F(ShapeExportUi, SwitchDataAsksForWhatItWillWrite) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(0, 0.0f));
    Doc().GetKeys().SetKey(Keyframe(4, 1.0f));
    ExportMenu* menu = Frame().GetExportMenu();
    int bandsAsked = 0;
    int namesAsked = 0;
    menu->askMouths = [&](const MouthBands& bands) {
        ++bandsAsked;
        return std::optional<MouthBands>(bands);
    };
    MouthShapeNames offered;
    menu->askShapeNames = [&](const MouthShapeNames& names) {
        ++namesAsked;
        offered = names;
        MouthShapeNames chosen = names;
        chosen[MouthShapeIndex(MouthShape::X)] = "closed";
        return std::optional<MouthShapeNames>(chosen);
    };
    dialogs_->Answer(dir_.File("keys.dat"));
    menu->ExportAction(KeyFormat::Dat)->trigger();
    EXPECT_EQ(bandsAsked, 1);
    EXPECT_EQ(namesAsked, 0);

    Doc().GetShapes().Set(2, MouthShape::G, false);
    dialogs_->Answer(dir_.File("shapes.dat"));
    menu->ExportAction(KeyFormat::Dat)->trigger();
    EXPECT_EQ(bandsAsked, 1) << "the openings' mouths do not matter with shapes";
    EXPECT_EQ(namesAsked, 1);
    EXPECT_EQ(FormatMouthShapeNames(offered), "MBP,etc,E,AI,O,U,FV,L,rest");
    EXPECT_EQ(ReadFile(dir_.File("shapes.dat")), "MohoSwitch1\n1 closed\n3 FV\n4 closed\n");
    // Remembered for the next time.
    EXPECT_EQ(LoadMouthShapeNames()[MouthShapeIndex(MouthShape::X)], "closed");
}

TEST_F(ShapeExportUi, NamesDialogShowsTheNineShapesAndRefusesWhatReadersDrop) {
    ShapeNamesDlg dialog(DefaultMouthShapeNames());
    QTableWidget* table = dialog.Table();
    ASSERT_EQ(table->rowCount(), kMouthShapeCount);
    EXPECT_TRUE(table->item(6, 0)->text().startsWith(QStringLiteral("G  Lower lip")));
    EXPECT_EQ(table->item(8, 1)->text(), QStringLiteral("rest"));
    std::string error;
    table->item(3, 1)->setText(QStringLiteral("12"));
    EXPECT_FALSE(dialog.ReadNames(error));
    EXPECT_NE(error.find("plain number"), std::string::npos) << error;
    table->item(3, 1)->setText(QStringLiteral("A:x"));
    EXPECT_FALSE(dialog.ReadNames(error));
    table->item(3, 1)->setText(QStringLiteral("wide"));
    const auto names = dialog.ReadNames(error);
    ASSERT_TRUE(names) << error;
    EXPECT_EQ((*names)[3], "wide");
}

TEST_F(ShapeExportUi, MouthCuesWriteTheShapesOrSayThereAreNone) {
    Start();
    ExportMenu* menu = Frame().GetExportMenu();
    messages_->Expect(NoShapesToExportMessage() +
                      "\n\nGuess them with Shapes > Guess Shapes, or set them in the shape lane.");
    const auto asked = dialogs_->Requests().size();
    menu->ExportAction(KeyFormat::RhubarbJson)->trigger();
    messages_->VerifyAllShown();
    EXPECT_EQ(dialogs_->Requests().size(), asked) << "no save dialog without shapes";

    Doc().GetShapes().Set(0, MouthShape::D, true);
    Doc().GetShapes().Set(1, MouthShape::A, false);
    dialogs_->Answer(dir_.File("cues.tsv"));
    menu->ExportAction(KeyFormat::RhubarbTsv)->trigger();
    EXPECT_EQ(dialogs_->Requests().back().defaultExt, "tsv");
    // No sound: the cues end with the last shape (frame 1 at 15 frames per second).
    EXPECT_EQ(ReadFile(dir_.File("cues.tsv")), "0.00\tD\n0.07\tA\n0.13\tX\n");
}

// Save over a file whose damaged shapes the document's new ones would replace: asked first.
TEST_F(ShapeExportUi, SaveAsksBeforeReplacingDamagedShapes) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(1, 0.5f));
    const std::string vok = dir_.File("line.vok");
    ASSERT_TRUE(Doc().OnSaveDocument(vok));
    // One bad shape number in the shapes record.
    const std::string bad = std::string("VKX1SHPS") + Le32(10) + Le32(0) + Le32(3) + '\x0C' + '\0';
    WriteFile(vok, ReadFile(vok) + bad);
    messages_->AllowAny();
    ASSERT_TRUE(Doc().OnOpenDocument(vok));
    Doc().GetShapes().Set(2, MouthShape::B, true);
    Doc().SetModifiedFlag();
    const std::string before = ReadFile(vok);
    messages_->AllowAny(IDNO);
    const auto shown = messages_->Shown().size();
    Frame().OnCommand(ID_FILE_SAVE);
    ASSERT_EQ(messages_->Shown().size(), shown + 1);
    EXPECT_EQ(messages_->Shown().back().acceptText, "Save");
    EXPECT_EQ(ReadFile(vok), before);
    EXPECT_TRUE(Doc().IsModified());
    messages_->AllowAny(IDYES);
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(ReadFile(vok).find(bad.substr(4)), std::string::npos);
}

TEST_F(ShapeExportUi, ShapeLaneHiddenFromTheViewMenuStaysHidden) {
    Start();
    QAction* toggle = Frame().ActionFor(ID_VIEW_SHAPE_LANE);
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    const int laneHeight = Frame().GetLanes()->Heights()[1];
    toggle->trigger();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(Frame().GetShapeLane()->isVisible());
    EXPECT_EQ(Profile().GetInt(kWindowSection, kShapeLaneKey, 1), 0);
    // F6 walks the lanes on show only.
    Frame().OnNextPane(false);
    Frame().OnNextPane(false);
    EXPECT_NE(QApplication::focusWidget(), Frame().GetShapeLane());
    Stop();

    Start();
    EXPECT_FALSE(Frame().ActionFor(ID_VIEW_SHAPE_LANE)->isChecked());
    EXPECT_FALSE(Frame().GetShapeLane()->isVisible());
    Frame().ActionFor(ID_VIEW_SHAPE_LANE)->trigger();
    EXPECT_TRUE(Frame().GetShapeLane()->isVisible());
    EXPECT_EQ(Frame().GetLanes()->Heights()[1], laneHeight) << "back at its height";
    EXPECT_EQ(Profile().GetInt(kWindowSection, kShapeLaneKey, 0), 1);
}

}  // namespace
}  // namespace vokra::test

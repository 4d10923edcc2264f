// File > Export Keys and Edit > Copy as After Effects Keyframes in the running program, and the
// mouth dialog of the switch data.
#include "app/export_menu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTableWidget>

#include "app/main_frame.h"
#include "app/mouth_bands_dlg.h"
#include "document/key_export_command.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

using ExportMenuTest = AppFixture;

TEST_F(ExportMenuTest, SubmenuHasAnItemPerFormatThatWritesIt) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(2, 0.5f));
    ExportMenu* menu = Frame().GetExportMenu();
    ASSERT_NE(menu, nullptr);
    const struct {
        KeyFormat format;
        const char* file;
        const char* first;
    } cases[] = {{KeyFormat::Csv, "k.csv", "frame,time,opening\n"},
                 {KeyFormat::Json, "k.json", "{\n"},
                 {KeyFormat::Ae, "k.txt", "Adobe After Effects 8.0 Keyframe Data\n"}};
    for (const auto& c : cases) {
        QAction* action = menu->ExportAction(c.format);
        ASSERT_NE(action, nullptr);
        dialogs_->Answer(dir_.File(c.file));
        action->trigger();
        EXPECT_EQ(dialogs_->Requests().back().defaultExt, KeyFormatExtension(c.format));
        EXPECT_EQ(ReadFile(dir_.File(c.file)).rfind(c.first, 0), 0u) << c.file;
    }
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(ExportMenuTest, SwitchDataAsksForTheMouthsAndKeepsThem) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(0, 0.0f));
    Doc().GetKeys().SetKey(Keyframe(4, 1.0f));
    ExportMenu* menu = Frame().GetExportMenu();
    MouthBands offered;
    menu->askMouths = [&](const MouthBands& bands) {
        offered = bands;
        return std::optional<MouthBands>(ParseMouthBands("shut:0.5,open").bands);
    };
    dialogs_->Answer(dir_.File("m.dat"));
    menu->ExportAction(KeyFormat::Dat)->trigger();
    EXPECT_EQ(FormatMouthBands(offered), "rest:0.1,etc:0.3,E:0.55,AI");
    EXPECT_EQ(ReadFile(dir_.File("m.dat")), "MohoSwitch1\n1 shut\n3 open\n");
    EXPECT_EQ(FormatMouthBands(LoadMouthBands()), "shut:0.5,open");
    // Cancelling the mouths cancels the export.
    menu->askMouths = [](const MouthBands&) { return std::optional<MouthBands>(); };
    const auto asked = dialogs_->Requests().size();
    menu->ExportAction(KeyFormat::Dat)->trigger();
    EXPECT_EQ(dialogs_->Requests().size(), asked);
}

TEST_F(ExportMenuTest, CopyPutsAfterEffectsTextOnTheClipboard) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(3, 0.25f));
    QAction* copy = Frame().GetExportMenu()->CopyAction();
    emit qobject_cast<QMenu*>(copy->parent())->aboutToShow();  // the user opens the Edit menu
    copy->trigger();
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(text, KeysAsText(Doc(), KeyFormat::Ae, {}));
    EXPECT_NE(text.find("\n\t0\t0\n\t3\t25\n\n\nEnd of Keyframe Data\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(ExportMenuTest, CopyIsGreyedOutWithoutKeys) {
    Start();
    QAction* copy = Frame().GetExportMenu()->CopyAction();
    auto* edit = qobject_cast<QMenu*>(copy->parent());
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_FALSE(copy->isEnabled());
    Doc().GetKeys().SetKey(Keyframe(3, 0.25f));
    emit edit->aboutToShow();
    EXPECT_TRUE(copy->isEnabled());
}

// The dialog: what it accepts and what it refuses with a message, staying open.
struct RowsCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> rows;  // name, limit (last row: ignored)
    const char* message;                                    // empty: accepted
};

class MouthBandsDlg_Rows : public AppFixture, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(MouthBandsDlg_Rows, AcceptsOnlyAUsableList) {
    MouthBandsDlg dialog(DefaultMouthBands());
    QTableWidget* table = dialog.Table();
    table->setRowCount(0);
    for (const auto& [name, limit] : GetParam().rows) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(name)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(limit)));
    }
    if (*GetParam().message) messages_->Expect(GetParam().message);
    dialog.show();
    dialog.accept();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, !*GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MouthBandsDlg_Rows,
    ::testing::Values(
        RowsCase{"usable", {{"closed", "0.2"}, {" open ", ""}}, ""},
        RowsCase{"unordered",
                 {{"a", "0.5"}, {"b", "0.25"}, {"c", ""}},
                 "The limits must rise from one mouth to the next ('b' at 0.25 follows 'a' at "
                 "0.5)."},
        RowsCase{"comma_decimal",
                 {{"a", "0,5"}, {"b", ""}},
                 "The limit of mouth 'a' must be a number (got '0,5')."},
        // The same rule as --mouths: switch-data readers drop names that are numbers.
        RowsCase{"number_name",
                 {{"closed", "0.2"}, {"2", ""}},
                 "The mouth name '2' is a plain number, which readers of switch data drop."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExportMenuTest, DialogRowsGrowAndShrinkInOrder) {
    MouthBandsDlg dialog(DefaultMouthBands());
    dialog.Table()->setCurrentCell(1, 0);  // before "etc": halfway between 0.1 and 0.3
    dialog.AddRow();
    dialog.Table()->setCurrentCell(4, 0);  // the last mouth goes; "E" becomes open-ended
    dialog.RemoveRow();
    std::string error;
    const auto bands = dialog.ReadRows(error);
    ASSERT_TRUE(bands) << error;
    EXPECT_EQ(FormatMouthBands(*bands), "rest:0.1,mouth:0.2,etc:0.3,E");
}

}  // namespace
}  // namespace vokra::test

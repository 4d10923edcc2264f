// The window's engine and rig exports: each is an item of Export Keys, asks for its map and target
// (offering what was chosen last time, kept in the settings file) and writes the file; the dialog
// takes only what the writers take.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>

#include "app/export_menu.h"
#include "app/main_frame.h"
#include "app/rig_export_dlg.h"
#include "document/rig_settings.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

using RigExportUi = AppFixture;

TEST_F(RigExportUi, EachFormatAsksForItsMapAndRemembersIt) {
    Start();
    Doc().GetShapes().Set(0, MouthShape::A, false);
    Doc().GetShapes().Set(1, MouthShape::D, false);
    ExportMenu* menu = Frame().GetExportMenu();
    for (int i = 0; i < kRigFormatCount; ++i) {
        EXPECT_NE(menu->ExportAction(KeyFormatOf(static_cast<RigFormat>(i))), nullptr) << i;
    }
    RigExportOptions offered;
    menu->askRig = [&](RigFormat, const RigExportOptions& options) {
        offered = options;
        RigExportOptions chosen = options;
        chosen.names = ParseRigMap(RigFormat::GodotTres, "A:shut,D:wide").names;
        chosen.target = "Head/Mouth:animation";
        return std::optional<RigExportOptions>(chosen);
    };
    dialogs_->Answer(dir_.File("line.tres"));
    menu->ExportAction(KeyFormat::GodotTres)->trigger();
    const std::string tres = ReadFile(dir_.File("line.tres"));
    EXPECT_NE(tres.find("NodePath(\"Head/Mouth:animation\")"), std::string::npos) << tres;
    EXPECT_NE(tres.find("\"values\": [\"shut\", \"wide\", 8]"), std::string::npos) << tres;
    // Offered again the next time.
    dialogs_->Answer(dir_.File("again.tres"));
    menu->ExportAction(KeyFormat::GodotTres)->trigger();
    EXPECT_EQ(offered.target, "Head/Mouth:animation");
    ASSERT_TRUE(offered.names);
    EXPECT_EQ((*offered.names)[0], "shut");
    EXPECT_EQ(LoadRigOptions(RigFormat::GodotTres).target, "Head/Mouth:animation");
}

TEST_F(RigExportUi, DialogRefusesWhatTheWritersCannotTake) {
    RigExportDlg dialog(RigFormat::Live2dMotion, RigExportOptions{});
    QTableWidget* table = dialog.Table();
    ASSERT_EQ(table->rowCount(), kMouthShapeCount);
    EXPECT_EQ(table->item(3, 1)->text(), QStringLiteral("1/0"));
    std::string error;
    table->item(3, 1)->setText(QStringLiteral("wide"));
    EXPECT_FALSE(dialog.ReadOptions(error));
    EXPECT_NE(error.find("needs OPEN/FORM"), std::string::npos) << error;
    table->item(3, 1)->setText(QStringLiteral("0.9/0.1"));
    dialog.Target()->setText(QStringLiteral("ParamMouthOpenY"));
    EXPECT_FALSE(dialog.ReadOptions(error));
    dialog.Target()->setText(QStringLiteral("ParamA/ParamB"));
    const auto options = dialog.ReadOptions(error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ((*options->names)[3], "0.9/0.1");
    EXPECT_EQ(options->target, "ParamA/ParamB");
}

}  // namespace
}  // namespace vokra::test

// The window as it was left: saved in the settings file's [Window] section on close and put back
// at the next start, every place checked against the screens there are now.
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <ostream>

#include "app/commands.h"
#include "app/window_state.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

struct ScreenCase {
    const char* name;
    QRect window;
    QRect expect;
};
void PrintTo(const ScreenCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowLayout_KeepOnScreens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(WindowLayout_KeepOnScreens, LeavesAGrippableWindowAndBringsTheRestToThePrimary) {
    const QRect primary(0, 0, 1920, 1080);
    const QList<QRect> screens = {primary, QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(KeepOnScreens(GetParam().window, screens, primary), GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowLayout_KeepOnScreens,
    ::testing::Values(
        ScreenCase{"OnThePrimary", QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        ScreenCase{"OnTheSecond", QRect(2000, 100, 800, 600), QRect(2000, 100, 800, 600)},
        ScreenCase{"MostlyOffButGrippable", QRect(1800, 1000, 800, 600),
                   QRect(1800, 1000, 800, 600)},
        ScreenCase{"SmallAndWhollyOn", QRect(10, 10, 50, 30), QRect(10, 10, 50, 30)},
        ScreenCase{"OffEveryScreen", QRect(5000, 5000, 800, 600), QRect(560, 240, 800, 600)},
        ScreenCase{"ASliverAboveTheTop", QRect(100, -590, 800, 600), QRect(560, 240, 800, 600)},
        ScreenCase{"HugeOnThePrimary", QRect(0, 0, 100000, 100000), QRect(0, 0, 1920, 1080)},
        ScreenCase{"BiggerThanThePrimary", QRect(-9000, 0, 4000, 3000), QRect(0, 0, 1920, 1080)},
        ScreenCase{"Empty", QRect(), QRect(959, 539, 1, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

// The first start: the palettes' column (220 pixels) goes right of the window, not over its panes.
struct RoomCase {
    const char* name;
    QRect window;
    int screenWidth;
    QRect expect;
};
void PrintTo(const RoomCase& c, std::ostream* os) {
    *os << c.name;
}
class WindowLayout_RoomForPalettes : public ::testing::TestWithParam<RoomCase> {};

TEST_P(WindowLayout_RoomForPalettes, MovesLeftThenNarrows) {
    const RoomCase& c = GetParam();
    EXPECT_EQ(MakeRoomForPalettes(c.window, 220, QRect(0, 0, c.screenWidth, 768), 480), c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowLayout_RoomForPalettes,
    ::testing::Values(
        RoomCase{"AlreadyFits", QRect(10, 20, 700, 600), 1024, QRect(10, 20, 700, 600)},
        RoomCase{"MovedLeft", QRect(200, 20, 700, 600), 1024, QRect(0, 20, 700, 600)},
        RoomCase{"Narrowed", QRect(0, 0, 900, 600), 1024, QRect(0, 0, 780, 600)},
        RoomCase{"NoRoomLeavesItAlone", QRect(50, 0, 900, 600), 600, QRect(50, 0, 900, 600)}),
    [](const auto& info) { return std::string(info.param.name); });

using WindowLayout = AppFixture;

TEST_F(WindowLayout, ComesBackAsItWasLeft) {
    Start();
    Frame().setGeometry(QRect(40, 50, 700, 500));
    Frame().GetSplitter()->setSizes({150, 40, 250});
    Frame().OnCommand(ID_VIEW_TOOLBAR);
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    Frame().GetPlaybackPalette().move(60, 70);
    QApplication::processEvents();
    const QList<int> sizes = Frame().GetSplitter()->sizes();
    const QPoint palette = Frame().GetPlaybackPalette().pos();
    ASSERT_TRUE(Frame().close());
    EXPECT_EQ(Profile().GetInt(kWindowSection, "Width", 0), 700);
    EXPECT_EQ(Profile().GetInt(kWindowSection, "PlaybackPalette", -1), 1);
    Stop();

    Start();
    QApplication::processEvents();
    EXPECT_EQ(Frame().geometry().size(), QSize(700, 500));
    EXPECT_EQ(Frame().GetSplitter()->sizes(), sizes);
    EXPECT_TRUE(Frame().GetToolBar()->isHidden());
    EXPECT_FALSE(Frame().GetStatusBar()->isHidden());
    EXPECT_EQ(Frame().IsPlaybackPaletteShown(), 1);
    EXPECT_TRUE(Frame().GetPlaybackPalette().isVisible());
    EXPECT_EQ(Frame().GetPlaybackPalette().pos(), palette);
    EXPECT_EQ(Frame().IsAutoKeyPaletteShown(), 0);
    EXPECT_TRUE(Frame().ActionFor(ID_PLAYBACK_PALETTE)->isChecked());
}

TEST_F(WindowLayout, PlacesOffEveryScreenComeBackOntoThePrimary) {
    IniFile ini(IniPath());
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, int>>{{"Left", -30000},
                                                  {"Top", 40000},
                                                  {"Width", 400},
                                                  {"Height", 300},
                                                  {"AutoKeyPalette", 1},
                                                  {"AutoKeyLeft", 90000},
                                                  {"AutoKeyTop", -90000}}) {
        ini.WriteInt(kWindowSection, key, value);
    }
    Start();
    QApplication::processEvents();
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(primary.intersects(Frame().geometry())) << Frame().geometry().x();
    EXPECT_EQ(Frame().geometry().size(), QSize(400, 300));
    EXPECT_TRUE(Frame().GetAutoKeyPalette().isVisible());
    EXPECT_TRUE(primary.contains(Frame().GetAutoKeyPalette().pos()));
}

}  // namespace
}  // namespace vokra::test

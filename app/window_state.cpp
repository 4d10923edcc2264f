#include "app/window_state.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "panes/qt/timeline_lanes.h"
#include "platform/ini_file.h"

namespace vokra {
namespace {

constexpr int kGripWidth = 100;
constexpr int kGripHeight = 40;
// Numbers from the file are brought into a range where rectangle arithmetic cannot overflow;
// KeepOnScreens then cuts them down to a real screen.
constexpr int kFarthest = 1'000'000;

int Coordinate(const IniFile& ini, const std::string& key, int fallback) {
    return std::clamp(ini.GetInt(kWindowSection, key, fallback), -kFarthest, kFarthest);
}

QList<QRect> AvailableScreens() {
    QList<QRect> out;
    for (const QScreen* s : QGuiApplication::screens()) out.push_back(s->availableGeometry());
    return out;
}

QRect PrimaryScreen() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect OnScreen(const QRect& r) {
    return KeepOnScreens(r, AvailableScreens(), PrimaryScreen());
}

void WriteRect(IniFile& ini, const std::string& prefix, const QRect& r, bool withSize) {
    ini.WriteInt(kWindowSection, prefix + "Left", r.x());
    ini.WriteInt(kWindowSection, prefix + "Top", r.y());
    if (!withSize) return;
    ini.WriteInt(kWindowSection, prefix + "Width", r.width());
    ini.WriteInt(kWindowSection, prefix + "Height", r.height());
}

// Places a palette saved as shown: at its saved place (kept on a screen), then shown through the
// frame's own toggle, so its check mark and document link follow.
void RestorePalette(CMainFrame& frame, QWidget& palette, const IniFile& ini,
                    const std::string& prefix, bool shown, void (CMainFrame::*toggle)()) {
    if (ini.GetInt(kWindowSection, prefix + "Palette", -1) == -1) return;
    const QRect saved(Coordinate(ini, prefix + "Left", palette.x()),
                      Coordinate(ini, prefix + "Top", palette.y()), palette.width(),
                      palette.height());
    palette.move(OnScreen(saved).topLeft());
    const bool wanted = ini.GetInt(kWindowSection, prefix + "Palette", 0) != 0;
    if (wanted != shown) (frame.*toggle)();
}

}  // namespace

QRect KeepOnScreens(const QRect& r, const QList<QRect>& screens, const QRect& primary) {
    if (r.isValid()) {
        const int needW = std::min(kGripWidth, r.width());
        const int needH = std::min(kGripHeight, r.height());
        for (const QRect& s : screens) {
            const QRect common = s.intersected(r);
            if (common.width() >= needW && common.height() >= needH) {
                // On this screen; a size from a bigger one is cut down to it.
                return QRect(r.topLeft(), r.size().boundedTo(s.size()));
            }
        }
    }
    const int w = std::clamp(r.width(), 1, std::max(1, primary.width()));
    const int h = std::clamp(r.height(), 1, std::max(1, primary.height()));
    return QRect(primary.x() + (primary.width() - w) / 2, primary.y() + (primary.height() - h) / 2,
                 w, h);
}

void SaveWindowLayout(CMainFrame& frame, IniFile& ini) {
    const bool maximized = frame.isMaximized();
    WriteRect(ini, "", maximized ? frame.normalGeometry() : frame.geometry(), true);
    ini.WriteInt(kWindowSection, "Maximized", maximized ? 1 : 0);
    if (TimelineLanes* lanes = frame.GetLanes()) {
        // One height per lane, top to bottom; a hidden lane's as it will come back.
        std::string text;
        for (int size : lanes->Heights()) text += (text.empty() ? "" : ",") + std::to_string(size);
        if (lanes->count() >= 2) ini.WriteString(kWindowSection, "Splitter", text);
    }
    if (QToolBar* bar = frame.GetToolBar()) {
        ini.WriteInt(kWindowSection, "ToolBar", bar->isHidden() ? 0 : 1);
        ini.WriteInt(kWindowSection, "ToolBarArea", static_cast<int>(frame.toolBarArea(bar)));
    }
    if (QStatusBar* bar = frame.GetStatusBar())
        ini.WriteInt(kWindowSection, "StatusBar", bar->isHidden() ? 0 : 1);
    ini.WriteInt(kWindowSection, "PlaybackPalette", frame.IsPlaybackPaletteShown());
    WriteRect(ini, "Playback", QRect(frame.GetPlaybackPalette().pos(), QSize(1, 1)), false);
    ini.WriteInt(kWindowSection, "AutoKeyPalette", frame.IsAutoKeyPaletteShown());
    WriteRect(ini, "AutoKey", QRect(frame.GetAutoKeyPalette().pos(), QSize(1, 1)), false);
}

QRect MakeRoomForPalettes(const QRect& window, int column, const QRect& screen, int least) {
    // The gap PlacePalettes leaves, and room for the window's frame the window system adds.
    constexpr int kSlack = 8 + 16;
    const int need = column + kSlack;
    if (window.right() + need <= screen.right()) return window;
    QRect r = window;
    r.moveLeft(screen.left());
    if (r.right() + need <= screen.right()) return r;
    const int width = screen.right() - need - r.left() + 1;
    // A screen too small for both keeps the window as it was: narrowing it would not help.
    if (width < least) return window;
    r.setWidth(width);
    return r;
}

void RestoreWindowLayout(CMainFrame& frame, const IniFile& ini) {
    const int width = std::min(ini.GetInt(kWindowSection, "Width", 0), kFarthest);
    const int height = std::min(ini.GetInt(kWindowSection, "Height", 0), kFarthest);
    if (width <= 0 || height <= 0) {
        const int column =
            std::max(frame.GetAutoKeyPalette().width(), frame.GetPlaybackPalette().width());
        const QRect room = MakeRoomForPalettes(frame.geometry(), column, PrimaryScreen(), 480);
        // Left alone when it fits, so the window system still chooses where the window opens.
        if (room != frame.geometry()) frame.setGeometry(room);
    } else {
        // A size from a bigger screen is cut down to this one.
        const QRect saved(Coordinate(ini, "Left", 0), Coordinate(ini, "Top", 0), width, height);
        frame.setGeometry(OnScreen(saved));
        if (ini.GetInt(kWindowSection, "Maximized", 0) != 0)
            frame.setWindowState(frame.windowState() | Qt::WindowMaximized);
    }
    const std::string splitter = ini.GetString(kWindowSection, "Splitter", "");
    if (TimelineLanes* lanes = frame.GetLanes()) {
        std::vector<int> heights;
        bool sane = true;
        std::size_t from = 0;
        // At most a few lanes: a longer list is damaged, and so are sizes far beyond any screen
        // (the splitter would share them out).
        while (sane && !splitter.empty() && heights.size() < 16) {
            const std::size_t comma = splitter.find(',', from);
            const int h = std::atoi(splitter.substr(from, comma - from).c_str());
            sane = h > 0 && h < 100000;
            heights.push_back(h);
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        if (sane && heights.size() >= 2) lanes->RestoreHeights(heights);
        // View > Shape Lane, as it was left.
        if (ini.GetInt(kWindowSection, kShapeLaneKey, 1) == 0) frame.ShowShapeLane(false);
    }
    if (QToolBar* bar = frame.GetToolBar()) {
        const int area = ini.GetInt(kWindowSection, "ToolBarArea", 0);
        if (area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea ||
            area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea) {
            frame.addToolBar(static_cast<Qt::ToolBarArea>(area), bar);
        }
        if (ini.GetInt(kWindowSection, "ToolBar", 1) == 0) bar->hide();
    }
    if (QStatusBar* bar = frame.GetStatusBar()) {
        if (ini.GetInt(kWindowSection, "StatusBar", 1) == 0) bar->hide();
    }
}

void RestorePaletteLayout(CMainFrame& frame, const IniFile& ini) {
    RestorePalette(frame, frame.GetAutoKeyPalette(), ini, "AutoKey", frame.IsAutoKeyPaletteShown(),
                   &CMainFrame::OnAutoKeyPalette);
    RestorePalette(frame, frame.GetPlaybackPalette(), ini, "Playback",
                   frame.IsPlaybackPaletteShown(), &CMainFrame::OnPlaybackPalette);
    frame.UpdateCheckMarks();
}

}  // namespace vokra

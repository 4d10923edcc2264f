#pragma once
// Where the user left the window: its geometry, the splitter between the panes, the tool bar and
// status bar, and which palettes were open and where. Kept in the settings file's own [Window]
// section (never mixed with the program's other settings) and put back at the next start, each
// place checked against the screens there are now.
#include <QList>
#include <QRect>

namespace vokra {

class CMainFrame;
class IniFile;

inline constexpr const char* kWindowSection = "Window";
// Whether View > Shape Lane shows the lane (1, the default) or hides it (0).
inline constexpr const char* kShapeLaneKey = "ShapeLane";

// `r` when enough of it lies on one of `screens` to be grabbed and moved (a 100 x 40 pixel
// corner, or all of it when smaller), its size cut down to that screen's; otherwise the same
// size (cut down to fit) centred on `primary`. All rectangles are available screen areas in global
// coordinates.
QRect KeepOnScreens(const QRect& r, const QList<QRect>& screens, const QRect& primary);

// The window's first place (no layout saved yet) on `screen`: the palettes, stacked in a column
// `column` pixels wide, must fit to its right rather than open over the panes. The window moves
// left first, then narrows, never below `least` pixels; it stays as it is when they already fit
// or cannot be made to.
QRect MakeRoomForPalettes(const QRect& window, int column, const QRect& screen, int least);

// Writes the frame's layout into the [Window] section.
void SaveWindowLayout(CMainFrame& frame, IniFile& ini);
// The window's size and place, the splitter and the bars, before the window is shown; nothing
// changes when the section holds no layout yet.
void RestoreWindowLayout(CMainFrame& frame, const IniFile& ini);
// The palettes' places and visibility, once the window is shown (their first places are set).
void RestorePaletteLayout(CMainFrame& frame, const IniFile& ini);

}  // namespace vokra

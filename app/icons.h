#pragma once
// The program's pictures, drawn in code so that they stay sharp at any device pixel ratio: the tool
// bar buttons (16 by 15 logical pixels) and the application icon.
#include <QIcon>

namespace vokra {

constexpr int kToolButtonWidth = 16;
constexpr int kToolButtonHeight = 15;

// The button picture for a command of the tool bar (null icon for any other command).
QIcon ToolBarIcon(int command);
// The program's icon: a pair of lips over a waveform.
QIcon ApplicationIcon();

}  // namespace vokra

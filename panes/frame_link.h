#pragma once
// What the panes and palettes need of the main frame, reached through the application's main
// window; null until the main frame exists (then these calls do nothing).
#include <string>

namespace vokra {

class FrameLink {
public:
    virtual ~FrameLink() = default;
    // Repaint every pane with a pending update, the upper pane first.
    virtual void PaintPanesNow() = 0;
    // Move (or hide) the playback marker in both panes.
    virtual void SetPlaybackMarkers(double position, bool show) = 0;
    // Post a command to the main window, as a palette's close box does.
    virtual void PostCommand(int command) = 0;
    // A key drag in the envelope pane began (true) or ended or was cancelled (false); the frame
    // may play the selected frames meanwhile.
    virtual void OnKeyDrag(bool /*dragging*/) {}
    // A passing note for the status bar (how many hand edits a re-run kept, say).
    virtual void ShowStatus(const std::string& /*text*/) {}
};

FrameLink* MainFrameLink();
void SetMainFrameLink(FrameLink* link);

}  // namespace vokra

namespace vokra {
// Commands the palettes post to the main window from their close boxes.
enum PaletteCommand { kCmdTogglePlaybackPalette = 32771, kCmdToggleAutoKeyPalette = 32776 };
}  // namespace vokra

#pragma once
// The window's side of mouth shapes and hand edits: the Shapes menu (Guess Shapes, whether it may
// replace shapes set by hand, setting and clearing the selected frames' shape, the lead and the
// rig's mouths), the Edit menu's
// Mark as Hand-Made and Release Hand Edits, and the shape lane's context-menu extras. Every
// change goes through the document's shape commands, so each is one undoable step.
#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "shapes/mouth_shape.h"
#include "shapes/shape_options.h"

class QAction;
class QMainWindow;
class QMenu;

namespace vokra {

class CVokraDoc;
class CLivePalette;
class ShapeLane;

class ShapeMenu : public QObject {
    Q_OBJECT
public:
    ShapeMenu(CVokraDoc* doc, QMainWindow* window);

    // The "Shapes" menu, for the menu bar.
    QMenu* CreateMenu(QWidget* parent);
    // Mark as Hand-Made and Release Hand Edits, appended to the Edit menu.
    void AddHandItems(QMenu* edit);
    // Offers Guess Shapes in the lane's context menu too.
    void AttachLane(ShapeLane* lane);

    QAction* GuessAction() const { return guess_; }
    QAction* GuessFromScriptAction() const { return guessScript_; }
    QAction* ReplaceHandAction() const { return replaceHand_; }
    QAction* MarkHandAction() const { return markHand_; }
    QAction* ReleaseHandAction() const { return releaseHand_; }
    QAction* SetShapeAction(MouthShape shape) const { return setShape_[MouthShapeIndex(shape)]; }
    QAction* SettingsAction() const { return settings_; }
    QAction* LiveAction() const { return live_; }

    // Asks for the shape settings (the Shape Settings dialog; tests answer it themselves).
    std::function<std::optional<ShapeOptions>(const ShapeOptions&)> askSettings;

    // Guess Shapes over the selection (from the cursor on without one), keeping shapes set by
    // hand unless the option says otherwise; the status bar tells how many were filled and kept.
    void GuessShapes();
    // Guess Shapes from Script...: asks for the line's script (offering the document's), then
    // fills the selected frames (every frame without a selection) from it in one step.
    void GuessShapesFromScript();
    // Edit > Mark as Hand-Made (true) and Release Hand Edits (false).
    void MarkHandMade(bool hand);
    void SetShape(MouthShape shape);
    void ClearShapes();
    // Shapes > Shape Settings: the lead and the rig's mouths, saved in the settings file.
    void EditSettings();
    // Shapes > Live...: shows the Live palette (made the first time), brought forward.
    void ShowLive();
    // Ends a live run and closes the Live palette (the window closing): the take is finished.
    void CloseLive();
    // The Live palette, once shown.
    CLivePalette* LivePalette() const { return livePalette_; }

    // Opens a take the Live palette kept (the main frame's open).
    std::function<void(const std::string&)> openDocument;

private:
    void ShowStatus(const QString& text);
    // Enables the items that need a selection as things stand when a menu opens.
    void UpdateActions();
    bool HasSelection() const;

    CVokraDoc* doc_;
    QMainWindow* window_;
    QAction* guess_ = nullptr;
    QAction* guessScript_ = nullptr;
    QAction* replaceHand_ = nullptr;
    QAction* clear_ = nullptr;
    QAction* markHand_ = nullptr;
    QAction* releaseHand_ = nullptr;
    QAction* setShape_[kMouthShapeCount] = {};
    QAction* settings_ = nullptr;
    QAction* live_ = nullptr;
    CLivePalette* livePalette_ = nullptr;
};

}  // namespace vokra

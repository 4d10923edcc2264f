#pragma once
// File > Export Keys (an item per format, each with its save dialog; the mouth cues of the
// document's shapes and the engine and rig formats among them) and Edit > Copy as After
// Effects Keyframes (the same text on the clipboard). The writing itself is the document
// folder's; this is only the window's side of it.
#include <QObject>
#include <functional>
#include <optional>

#include "document/key_export.h"

class QAction;
class QMainWindow;
class QMenu;

namespace vokra {

class CVokraDoc;

class ExportMenu : public QObject {
    Q_OBJECT
public:
    ExportMenu(CVokraDoc* doc, QMainWindow* window);

    // The "Export Keys" submenu, to be added to the File menu.
    QMenu* CreateMenu(QWidget* parent);
    // The Edit menu's copy item.
    QAction* CreateCopyAction(QObject* parent);
    QAction* ExportAction(KeyFormat format) const;
    QAction* CopyAction() const { return copy_; }

    // The export of one format. The switch data first asks for the mouths: the names of the
    // shapes for a document with shapes, else the openings' mouth list. The mouth cues refuse a
    // document without shapes.
    void Export(KeyFormat format);
    void CopyAfterEffects();
    // Enables the copy item only when there are keys to copy.
    void UpdateCopyAction();

    // Asks for the mouths of the switch data (the dialog; tests put in their own answer).
    std::function<std::optional<MouthBands>(const MouthBands&)> askMouths;
    // Asks for the names of the nine shapes, for a document that has shapes.
    std::function<std::optional<MouthShapeNames>(const MouthShapeNames&)> askShapeNames;
    // Asks for the map, target and curves of an engine or rig format.
    std::function<std::optional<RigExportOptions>(RigFormat, const RigExportOptions&)> askRig;
    // Applies a value still pending in a palette edit; false stops the export (it said why).
    std::function<bool()> commitPending;

private:
    CVokraDoc* doc_;
    QMainWindow* window_;
    QAction* formats_[kKeyFormatCount] = {};
    QAction* copy_ = nullptr;
};

}  // namespace vokra

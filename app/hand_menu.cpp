// Edit > Mark as Hand-Made and Edit > Release Hand Edits: the ShapeMenu's part of the Edit menu.
#include <QAction>
#include <QMenu>

#include "app/shape_menu.h"
#include "document/shape_commands.h"
#include "document/vokra_doc.h"

namespace vokra {

void ShapeMenu::AddHandItems(QMenu* edit) {
    edit->addSeparator();
    markHand_ =
        edit->addAction(QStringLiteral("Mark as &Hand-Made"), this, [this] { MarkHandMade(true); });
    markHand_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    markHand_->setStatusTip(QStringLiteral(
        "Mark the selected frames' keys and shapes as set by hand: AutoKey and Guess Shapes keep "
        "them"));
    releaseHand_ = edit->addAction(QStringLiteral("Re&lease Hand Edits"), this,
                                   [this] { MarkHandMade(false); });
    releaseHand_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    releaseHand_->setStatusTip(QStringLiteral(
        "Let AutoKey and Guess Shapes replace the selected frames' keys and shapes again"));
    connect(edit, &QMenu::aboutToShow, this, &ShapeMenu::UpdateActions);
    UpdateActions();
}

void ShapeMenu::MarkHandMade(bool hand) {
    if (!doc_) return;
    if (!HasSelection()) {
        ShowStatus(QStringLiteral("Select the frames to mark"));
        return;
    }
    const std::int32_t n = MarkSelectionHandMade(*doc_, hand);
    if (n > 0) doc_->UpdateAllViews(nullptr, kHintAll);
    ShowStatus(hand ? QStringLiteral("Marked %1 keys and shapes as hand-made").arg(n)
                    : QStringLiteral("Released %1 hand-made keys and shapes").arg(n));
}

}  // namespace vokra

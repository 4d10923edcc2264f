// Files reaching the main frame from outside: a document or a sound named on the command line or
// dropped on the window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "app/main_frame.h"
#include "document/vokra_doc.h"
#include "platform/document_base.h"
#include "sound/import.h"

namespace vokra {

bool CMainFrame::OpenDocument(const std::string& path) {
    if (!doc_ || !playbackPalette.CommitPendingEdits()) return false;
    if (LooksLikeSound(path) || IsNotARegularFile(path)) {
        doc_->LoadOrConvertSound(path);
        return true;
    }
    const bool opened = OpenDocumentFile(*doc_, path);
    UpdateRecentFileMenu();
    return opened;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return;
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return;
    event->acceptProposedAction();
    const std::string path = QFileInfo(url.toLocalFile()).absoluteFilePath().toStdString();
    activateWindow();
    // Opened once the drop has finished, so the dragging program is not kept waiting by a prompt.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenDocument(path); }, Qt::QueuedConnection);
}

}  // namespace vokra

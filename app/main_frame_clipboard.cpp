// Edit > Cut, Copy and Paste of the selected frames' keys through the clipboard, in the program's
// own form and as text, and the enabling of those items as the selection and the clipboard change.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "app/commands.h"
#include "app/main_frame.h"
#include "document/key_clip.h"
#include "document/vokra_doc.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

bool HoldsKeys(const QMimeData* mime) {
    return mime && (mime->hasFormat(QLatin1String(kKeyClipMimeType)) || mime->hasText());
}

}  // namespace

void CMainFrame::WatchClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    connect(clipboard, &QClipboard::dataChanged, this, [this] {
        clipboardHasKeys_ = HoldsKeys(QGuiApplication::clipboard()->mimeData());
        UpdateEditActions();
    });
    clipboardHasKeys_ = HoldsKeys(clipboard->mimeData());
}

void CMainFrame::OnEditCopy() {
    if (!doc_) return;
    const KeyClip clip = doc_->CopySelection();
    if (clip.span < 1) return;
    auto* mime = new QMimeData;
    const std::string data = KeyClipData(clip);
    mime->setData(QLatin1String(kKeyClipMimeType), QByteArray(data.data(), qsizetype(data.size())));
    mime->setText(QString::fromStdString(KeyClipText(clip)));
    QGuiApplication::clipboard()->setMimeData(mime);
    clipboardHasKeys_ = true;
}

void CMainFrame::OnEditCut() {
    if (!doc_ || !doc_->GetTimeRange().HasSelection()) return;
    OnEditCopy();
    doc_->CutSelection();
}

void CMainFrame::OnEditPaste() {
    if (!doc_) return;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return;
    KeyClipReadResult read;
    if (mime->hasFormat(QLatin1String(kKeyClipMimeType))) {
        const QByteArray data = mime->data(QLatin1String(kKeyClipMimeType));
        read = ReadKeyClipData(std::string_view(data.constData(), std::size_t(data.size())));
    } else if (mime->hasText()) {
        const QByteArray text = mime->text().toUtf8();
        read = ReadKeyClipText(std::string_view(text.constData(), std::size_t(text.size())));
    } else {
        return;
    }
    if (!read.ok) {
        AfxMessageBox(read.error);
        return;
    }
    doc_->PasteKeys(read.clip);
}

void CMainFrame::UpdateEditActions() {
    const bool selection = doc_ && doc_->GetTimeRange().HasSelection();
    if (QAction* a = ActionFor(ID_EDIT_CUT)) a->setEnabled(selection);
    if (QAction* a = ActionFor(ID_EDIT_COPY)) a->setEnabled(selection);
    if (QAction* a = ActionFor(ID_EDIT_PASTE)) a->setEnabled(doc_ && clipboardHasKeys_);
}

}  // namespace vokra

#include "app/key_history.h"

#include <QUndoCommand>
#include <utility>
#include <vector>

#include "document/vokra_doc.h"

namespace vokra {
namespace {

class KeyEditCommand : public QUndoCommand {
public:
    KeyEditCommand(CVokraDoc* doc, std::shared_ptr<const KeyEdit> edit)
        : QUndoCommand(QString::fromStdString(edit->name)), doc_(doc), edit_(std::move(edit)) {}

    void undo() override { doc_->ApplyKeyEdit(*edit_, false); }
    void redo() override {
        // The edit is already in the document when it is pushed.
        if (pushed_) {
            pushed_ = false;
            return;
        }
        doc_->ApplyKeyEdit(*edit_, true);
    }
    const std::shared_ptr<const KeyEdit>& Edit() const { return edit_; }

private:
    CVokraDoc* doc_;
    std::shared_ptr<const KeyEdit> edit_;
    bool pushed_ = true;
};

}  // namespace

KeyHistory::KeyHistory(CVokraDoc* doc, QObject* parent) : QObject(parent), doc_(doc) {
    connect(&stack_, &QUndoStack::cleanChanged, this, [this](bool clean) {
        // Back at the saved keys, the document is unmodified only if nothing else it stores
        // (a written envelope's location, say) changed meanwhile.
        if (!quiet_ && doc_) doc_->SetModifiedFlag(!clean || !doc_->StoredFieldsAsSaved());
    });
    if (doc_) doc_->SetKeyEditSink(this);
}

KeyHistory::~KeyHistory() {
    if (doc_) doc_->SetKeyEditSink(nullptr);
    quiet_ = true;
    stack_.clear();
}

std::shared_ptr<const KeyEdit> KeyHistory::EditAt(int index) const {
    return static_cast<const KeyEditCommand*>(stack_.command(index))->Edit();
}

std::size_t KeyHistory::Bytes() const {
    std::size_t total = 0;
    for (int i = 0; i < stack_.count(); ++i) total += EditAt(i)->Bytes();
    return total;
}

void KeyHistory::Record(KeyEdit&& edit) {
    if (!doc_) return;
    stack_.push(new KeyEditCommand(doc_, std::make_shared<const KeyEdit>(std::move(edit))));
    Trim();
}

void KeyHistory::Clear() {
    quiet_ = true;
    stack_.clear();
    quiet_ = false;
    SyncWithDocument();
}

void KeyHistory::SyncWithDocument() {
    if (quiet_ || !doc_) return;
    // The document's flag is the truth here: the stack follows it without asking it back.
    quiet_ = true;
    if (!doc_->IsModified() && !stack_.isClean()) {
        stack_.setClean();
    } else if (doc_->IsModified() && stack_.isClean()) {
        stack_.resetClean();
    }
    quiet_ = false;
}

void KeyHistory::Trim() {
    const int count = stack_.count();
    int keep = 0;
    std::size_t total = 0;
    for (int i = count - 1; i >= 0; --i) {
        const std::size_t bytes = EditAt(i)->Bytes();
        if (keep > 0 && (keep >= kStepLimit || total + bytes > kByteBudget)) break;
        total += bytes;
        ++keep;
    }
    if (keep == count) return;
    const int dropped = count - keep;
    std::vector<std::shared_ptr<const KeyEdit>> kept;
    kept.reserve(static_cast<std::size_t>(keep));
    for (int i = dropped; i < count; ++i) kept.push_back(EditAt(i));
    // A push leaves nothing to redo, so the index is at the top; -1 when the saved state is gone.
    const int clean = stack_.cleanIndex() < 0 ? -1 : stack_.cleanIndex() - dropped;
    quiet_ = true;
    stack_.clear();
    for (int i = 0; i < keep; ++i) {
        if (i == clean) stack_.setClean();
        stack_.push(new KeyEditCommand(doc_, kept[static_cast<std::size_t>(i)]));
    }
    if (clean == keep) {
        stack_.setClean();
    } else if (clean < 0) {
        stack_.resetClean();
    }
    quiet_ = false;
}

}  // namespace vokra

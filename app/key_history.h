#pragma once
// The undo history of the key edits. Every edit the document records becomes one named step of a
// QUndoStack ("Undo AutoKey", "Redo Delete Keys"); a step holds only the frames it changed. The
// stack's clean state and the document's modified flag are kept equal, so undoing back to the
// saved state makes the document unmodified again, and a change nothing can take back (a sound
// loaded, an envelope written) makes the saved state unreachable. The history keeps the newest
// kStepLimit steps within kByteBudget bytes; the newest step is always kept whatever its size.
#include <QObject>
#include <QUndoStack>
#include <cstddef>
#include <memory>

#include "document/key_edit.h"

namespace vokra {

class CVokraDoc;

class KeyHistory : public QObject, public KeyEditSink {
    Q_OBJECT
public:
    static constexpr int kStepLimit = 100;
    static constexpr std::size_t kByteBudget = std::size_t{64} << 20;

    // Connects itself to `doc` (not owned) as its key-edit sink; the destructor disconnects.
    explicit KeyHistory(CVokraDoc* doc, QObject* parent = nullptr);
    ~KeyHistory() override;

    QUndoStack& Stack() { return stack_; }
    // What the kept steps hold in memory.
    std::size_t Bytes() const;

    void Record(KeyEdit&& edit) override;
    void Clear() override;
    // To be called whenever the document's modified flag may have changed.
    void SyncWithDocument();

private:
    std::shared_ptr<const KeyEdit> EditAt(int index) const;
    // Drops the oldest steps beyond the limits. QUndoStack cannot drop steps from the bottom, so
    // the kept ones are pushed again onto a cleared stack, with the clean state carried over.
    void Trim();

    CVokraDoc* doc_;
    QUndoStack stack_;
    bool quiet_ = false;  // the stack is being rebuilt or cleared: its signals are not edits
};

}  // namespace vokra

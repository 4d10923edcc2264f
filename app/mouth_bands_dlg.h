#pragma once
// The mouths of the switch data export: a table of mouth names and the opening below which each
// one is used (the last takes every opening above), with rows to add, remove or reset to the
// usual mouth chart. OK accepts only a usable list.
#include <QDialog>
#include <optional>

#include "document/key_export.h"

class QTableWidget;

namespace vokra {

class MouthBandsDlg : public QDialog {
    Q_OBJECT
public:
    explicit MouthBandsDlg(const MouthBands& bands, QWidget* parent = nullptr);

    // The list after OK.
    const MouthBands& Bands() const { return bands_; }
    QTableWidget* Table() const { return table_; }

    void SetRows(const MouthBands& bands);
    void AddRow();
    void RemoveRow();
    // The list in the table, or the reason it cannot be used.
    std::optional<MouthBands> ReadRows(std::string& error) const;

public slots:
    void accept() override;

private:
    // The last row's limit cell says that it has none, and cannot be edited.
    void MarkLastRow();

    QTableWidget* table_ = nullptr;
    MouthBands bands_;
};

// Shows the dialog over `parent`; the accepted list, or nothing on Cancel.
std::optional<MouthBands> RunMouthBandsDlg(const MouthBands& bands, QWidget* parent);

}  // namespace vokra

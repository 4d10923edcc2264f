#pragma once
// The names of the nine mouth shapes in the switch data of a document that has shapes: a row per
// shape (its letter and what the mouth does) with the name the file gives it, the Preston Blair
// names by default. OK accepts only names the switch data's readers take.
#include <QDialog>
#include <optional>

#include "shapes/mouth_shape.h"

class QTableWidget;

namespace vokra {

class ShapeNamesDlg : public QDialog {
    Q_OBJECT
public:
    explicit ShapeNamesDlg(const MouthShapeNames& names, QWidget* parent = nullptr);

    // The names after OK.
    const MouthShapeNames& Names() const { return names_; }
    QTableWidget* Table() const { return table_; }
    void SetNames(const MouthShapeNames& names);
    // The names in the table, or the reason they cannot be used.
    std::optional<MouthShapeNames> ReadNames(std::string& error) const;

public slots:
    void accept() override;

private:
    QTableWidget* table_ = nullptr;
    MouthShapeNames names_;
};

// Shows the dialog over `parent`; the accepted names, or nothing on Cancel.
std::optional<MouthShapeNames> RunShapeNamesDlg(const MouthShapeNames& names, QWidget* parent);

}  // namespace vokra

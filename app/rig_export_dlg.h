#pragma once
// The choices of an engine or rig export before its save dialog: the name each of the nine mouths
// has in the target (a frame number, an animation, an attachment, a blend shape, a phoneme, an
// opening and form), the node path, slot or renderer path, and the format's own choices (a method
// track, stepped or linear curves, the ease and fade of weights, VRM vowels). OK accepts only
// what the writers take, checked as the command line checks it.
#include <QDialog>
#include <optional>

#include "document/rig_export.h"

class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace vokra {

class RigExportDlg : public QDialog {
    Q_OBJECT
public:
    RigExportDlg(RigFormat format, const RigExportOptions& options, QWidget* parent = nullptr);

    const RigExportOptions& Options() const { return options_; }
    QTableWidget* Table() const { return table_; }
    QLineEdit* Target() const { return target_; }
    // The choices in the dialog, or the reason they cannot be used.
    std::optional<RigExportOptions> ReadOptions(std::string& error) const;

public slots:
    void accept() override;

private:
    void SetNames(const MouthShapeNames& names);

    RigFormat format_;
    RigExportOptions options_;
    QTableWidget* table_ = nullptr;
    QLineEdit* target_ = nullptr;
    QLineEdit* method_ = nullptr;
    QComboBox* curve_ = nullptr;
    QComboBox* ease_ = nullptr;
    QSpinBox* fade_ = nullptr;
    QComboBox* weights_ = nullptr;
};

// Shows the dialog over `parent`; the accepted choices, or nothing on Cancel.
std::optional<RigExportOptions> RunRigExportDlg(RigFormat format, const RigExportOptions& options,
                                                QWidget* parent);

}  // namespace vokra

#pragma once
// Shapes > Shape Settings: how far guessed mouths lead their sound, and which extended mouths
// (G, H, X) the rig has. What OK accepts is saved in the settings file and used by the next
// Guess Shapes and by every export of shapes.
#include <QDialog>
#include <optional>

#include "shapes/shape_options.h"

class QCheckBox;
class QSpinBox;

namespace vokra {

class ShapeSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit ShapeSettingsDlg(const ShapeOptions& options, QWidget* parent = nullptr);

    // The choices as the controls show them.
    ShapeOptions Options() const;

    QSpinBox* LeadBox() const { return lead_; }
    // The check box of G, H or X; null for a basic mouth.
    QCheckBox* ShapeBox(MouthShape shape) const;

private:
    QSpinBox* lead_ = nullptr;
    QCheckBox* g_ = nullptr;
    QCheckBox* h_ = nullptr;
    QCheckBox* x_ = nullptr;
};

// Shows the dialog over `parent`; the accepted choices, or nothing on Cancel.
std::optional<ShapeOptions> RunShapeSettingsDlg(const ShapeOptions& options, QWidget* parent);

}  // namespace vokra

#include "app/shape_settings_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/qt/dialog_units.h"
#include "shapes/shape_lead.h"

namespace vokra {
namespace {

QLabel* Note(const QString& text, QWidget* parent) {
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    note->setEnabled(false);  // greyed: it explains, it is not a setting
    return note;
}

}  // namespace

ShapeSettingsDlg::ShapeSettingsDlg(const ShapeOptions& options, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Shape Settings"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    auto* timing = new QGroupBox(QStringLiteral("Timing"), this);
    lead_ = new QSpinBox(timing);
    lead_->setObjectName(QStringLiteral("leadMs"));
    lead_->setRange(0, kMaxShapeLeadMs);
    lead_->setSingleStep(10);
    lead_->setValue(options.leadMs);
    lead_->setAccelerated(true);
    auto* leadLabel = new QLabel(QStringLiteral("Mouths &lead the sound by"), timing);
    leadLabel->setBuddy(lead_);
    auto* leadRow = new QHBoxLayout;
    leadRow->addWidget(leadLabel);
    leadRow->addWidget(lead_);
    leadRow->addWidget(new QLabel(QStringLiteral("ms"), timing));
    leadRow->addStretch(1);
    auto* timingLayout = new QVBoxLayout(timing);
    timingLayout->addLayout(leadRow);
    timingLayout->addWidget(
        Note(QStringLiteral("Guessed mouths show this much before their sound, to the nearest "
                            "10 ms. One frame is 42 ms at 24 fps, 33 ms at 30 fps."),
             timing));

    auto* rig = new QGroupBox(QStringLiteral("Mouths the rig has"), this);
    auto* rigLayout = new QVBoxLayout(rig);
    rigLayout->addWidget(new QLabel(QStringLiteral("A to F, and:"), rig));
    auto box = [&](const char* name, const char* text, bool on) {
        auto* check = new QCheckBox(QString::fromUtf8(text), rig);
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(on);
        rigLayout->addWidget(check);
        return check;
    };
    g_ = box("shapeG", "&G  lower lip on the upper teeth (F, V)", options.extended.g);
    h_ = box("shapeH", "&H  tongue up (L)", options.extended.h);
    x_ = box("shapeX", "&X  rest", options.extended.x);
    rigLayout->addWidget(Note(QStringLiteral("A mouth the rig lacks is guessed and exported as its "
                                             "basic mouth: G and X as A, H as C."),
                              rig));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(timing);
    layout->addWidget(rig);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(du.X(200));
}

QCheckBox* ShapeSettingsDlg::ShapeBox(MouthShape shape) const {
    switch (shape) {
        case MouthShape::G:
            return g_;
        case MouthShape::H:
            return h_;
        case MouthShape::X:
            return x_;
        default:
            return nullptr;
    }
}

ShapeOptions ShapeSettingsDlg::Options() const {
    ShapeOptions options;
    options.leadMs = lead_->value();
    options.extended.g = g_->isChecked();
    options.extended.h = h_->isChecked();
    options.extended.x = x_->isChecked();
    return options;
}

std::optional<ShapeOptions> RunShapeSettingsDlg(const ShapeOptions& options, QWidget* parent) {
    ShapeSettingsDlg dialog(options, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Options();
}

}  // namespace vokra

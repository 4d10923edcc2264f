#include "app/rig_export_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cctype>

#include "panes/qt/shape_lane.h"
#include "platform/message_service.h"
#include "platform/qt/dialog_units.h"

namespace vokra {
namespace {

const char* MapHeader(RigFormat format) {
    switch (format) {
        case RigFormat::GodotTres:
            return "Frame or name";
        case RigFormat::SpineJson:
            return "Attachment";
        case RigFormat::Live2dMotion:
            return "Opening/form";
        case RigFormat::UnityAnim:
            return "Blend shape";
        case RigFormat::Pgo:
            return "Phoneme";
        default:
            return "Column";
    }
}

const char* TargetLabel(RigFormat format) {
    switch (format) {
        case RigFormat::GodotTres:
            return "&Node path:";
        case RigFormat::SpineJson:
            return "&Slot:";
        case RigFormat::Live2dMotion:
            return "&Parameters:";
        case RigFormat::UnityAnim:
            return "&Renderer path:";
        default:
            return nullptr;
    }
}

}  // namespace

RigExportDlg::RigExportDlg(RigFormat format, const RigExportOptions& options, QWidget* parent)
    : QDialog(parent), format_(format), options_(options) {
    QString title = QString::fromLatin1(RigFormatInfo(format).menuText);
    title.remove(QLatin1Char('&')).remove(QStringLiteral(" ..."));
    setWindowTitle(QStringLiteral("Export ") + title);
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    auto* intro = new QLabel(QString::fromLatin1(RigFormatInfo(format).prompt) +
                                 QStringLiteral(", under the names below."),
                             this);
    intro->setWordWrap(true);
    table_ = new QTableWidget(kMouthShapeCount, 2, this);
    table_->setObjectName(QStringLiteral("rigMapTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Shape"), QString::fromLatin1(MapHeader(format))});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < kMouthShapeCount; ++row) {
        auto* shape = new QTableWidgetItem(ShapeMenuText(*MouthShapeFromIndex(row)).remove('&'));
        shape->setFlags(Qt::ItemIsEnabled);
        table_->setItem(row, 0, shape);
    }
    SetNames(options.names.value_or(DefaultRigNames(format)));

    auto* form = new QFormLayout;
    if (const char* label = TargetLabel(format)) {
        target_ =
            new QLineEdit(QString::fromStdString(options.target.empty() ? DefaultRigTarget(format)
                                                                        : options.target),
                          this);
        target_->setObjectName(QStringLiteral("rigTarget"));
        form->addRow(QString::fromLatin1(label), target_);
    }
    if (format == RigFormat::GodotTres) {
        method_ = new QLineEdit(QString::fromStdString(options.method), this);
        method_->setPlaceholderText(QStringLiteral("none"));
        form->addRow(QStringLiteral("&Method track calls:"), method_);
    }
    if (format == RigFormat::Live2dMotion) {
        curve_ = new QComboBox(this);
        curve_->addItems({QStringLiteral("Stepped"), QStringLiteral("Linear")});
        curve_->setCurrentIndex(options.linear ? 1 : 0);
        form->addRow(QStringLiteral("&Curves:"), curve_);
    }
    if (format == RigFormat::UnityAnim || format == RigFormat::WeightsCsv ||
        format == RigFormat::WeightsJson) {
        ease_ = new QComboBox(this);
        ease_->addItems(
            {QStringLiteral("Step"), QStringLiteral("Linear"), QStringLiteral("Smooth")});
        ease_->setCurrentIndex(static_cast<int>(options.ease));
        fade_ = new QSpinBox(this);
        fade_->setRange(1, kMaxFadeFrames);
        fade_->setValue(options.fade);
        fade_->setSuffix(QStringLiteral(" frames"));
        form->addRow(QStringLiteral("&Ease:"), ease_);
        form->addRow(QStringLiteral("&Fade over:"), fade_);
    }
    if (format == RigFormat::WeightsCsv || format == RigFormat::WeightsJson) {
        weights_ = new QComboBox(this);
        weights_->addItems({QStringLiteral("The nine mouths"),
                            QStringLiteral("VRM 0 vowels (A I U E O)"),
                            QStringLiteral("VRM 1 vowels (aa ih ou ee oh)")});
        weights_->setCurrentIndex(static_cast<int>(options.weights));
        form->addRow(QStringLiteral("&Weights:"), weights_);
        // The vowels have their own names: the mouths' columns apply to the nine alone.
        const auto nineOnly = [this](int index) { table_->setEnabled(index == 0); };
        connect(weights_, &QComboBox::currentIndexChanged, this, nineOnly);
        nineOnly(weights_->currentIndex());
    }

    auto* defaults = new QPushButton(QStringLiteral("&Defaults"), this);
    connect(defaults, &QPushButton::clicked, this, [this] {
        SetNames(DefaultRigNames(format_));
        if (target_) target_->setText(QString::fromStdString(DefaultRigTarget(format_)));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export..."));
    buttons->addButton(defaults, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &RigExportDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RigExportDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table_, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    table_->setWordWrap(false);
    table_->resizeRowsToContents();
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->verticalHeader()->length() + 2 * table_->frameWidth());
    resize(du.X(260), sizeHint().height());
}

void RigExportDlg::SetNames(const MouthShapeNames& names) {
    for (int row = 0; row < kMouthShapeCount; ++row) {
        table_->setItem(
            row, 1,
            new QTableWidgetItem(QString::fromStdString(names[static_cast<std::size_t>(row)])));
    }
}

std::optional<RigExportOptions> RigExportDlg::ReadOptions(std::string& error) const {
    RigExportOptions o = options_;
    std::string text;
    for (int row = 0; row < kMouthShapeCount; ++row) {
        const QTableWidgetItem* item = table_->item(row, 1);
        const QString name = item ? item->text().trimmed() : QString();
        // A ',' typed in a name would change how the list reads: refused as it stands.
        if (name.contains(QLatin1Char(','))) {
            error = "the name '" + name.toStdString() + "' has a ','";
            return std::nullopt;
        }
        text += (row > 0 ? "," : "") + name.toStdString();
    }
    RigMapParse parsed = ParseRigMap(format_, text);
    if (!parsed.error.empty()) {
        error = parsed.error;
        return std::nullopt;
    }
    o.names = parsed.names;
    if (target_) {
        o.target = target_->text().trimmed().toStdString();
        if (o.target.empty()) o.target = DefaultRigTarget(format_);
        error = CheckRigTarget(format_, o.target);
        if (!error.empty()) return std::nullopt;
    }
    if (method_) {
        o.method = method_->text().trimmed().toStdString();
        for (char c : o.method) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
                error = "the method name '" + o.method +
                        "' has a character other than letters, "
                        "digits and '_'";
                return std::nullopt;
            }
        }
        if (!o.method.empty() && std::isdigit(static_cast<unsigned char>(o.method[0]))) {
            error = "the method name '" + o.method + "' starts with a digit";
            return std::nullopt;
        }
    }
    if (curve_) o.linear = curve_->currentIndex() == 1;
    if (ease_) o.ease = static_cast<RigEase>(ease_->currentIndex());
    if (fade_) o.fade = fade_->value();
    if (weights_) o.weights = static_cast<WeightSet>(weights_->currentIndex());
    return o;
}

void RigExportDlg::accept() {
    std::string error;
    const auto options = ReadOptions(error);
    if (!options) {
        if (!error.empty()) error[0] = static_cast<char>(std::toupper(error[0]));
        AfxMessageBox(error + ".", MsgButtons::Ok, MsgIcon::Exclamation, this);
        return;
    }
    options_ = *options;
    QDialog::accept();
}

std::optional<RigExportOptions> RunRigExportDlg(RigFormat format, const RigExportOptions& options,
                                                QWidget* parent) {
    RigExportDlg dialog(format, options, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Options();
}

}  // namespace vokra

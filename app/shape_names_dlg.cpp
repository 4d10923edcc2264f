#include "app/shape_names_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cctype>

#include "document/shape_export.h"
#include "panes/qt/shape_lane.h"
#include "platform/message_service.h"
#include "platform/qt/dialog_units.h"

namespace vokra {

ShapeNamesDlg::ShapeNamesDlg(const MouthShapeNames& names, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Mouth Shapes"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    // Which of the two kinds of switch data is written: this one names the document's shapes.
    auto* intro = new QLabel(
        QStringLiteral("This document has mouth shapes: the switch data gives every frame its "
                       "shape, under the names below. (A document without shapes chooses a "
                       "mouth from each frame's opening instead.)"),
        this);
    intro->setObjectName(QStringLiteral("shapeNamesIntro"));
    intro->setWordWrap(true);
    table_ = new QTableWidget(kMouthShapeCount, 2, this);
    table_->setObjectName(QStringLiteral("shapeNameTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Shape"), QStringLiteral("Name in the file")});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < kMouthShapeCount; ++row) {
        auto* shape = new QTableWidgetItem(ShapeMenuText(*MouthShapeFromIndex(row)).remove('&'));
        shape->setFlags(Qt::ItemIsEnabled);
        table_->setItem(row, 0, shape);
    }

    auto* defaults = new QPushButton(QStringLiteral("&Defaults"), this);
    defaults->setObjectName(QStringLiteral("defaultShapeNames"));
    connect(defaults, &QPushButton::clicked, this, [this] { SetNames(DefaultMouthShapeNames()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export..."));
    buttons->addButton(defaults, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ShapeNamesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ShapeNamesDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    SetNames(names);
    // All nine rows in view, whatever the font: a scroll bar would hide the rest mouth.
    table_->setWordWrap(false);
    table_->resizeRowsToContents();
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->verticalHeader()->length() + 2 * table_->frameWidth());
    resize(du.X(240), sizeHint().height());
}

void ShapeNamesDlg::SetNames(const MouthShapeNames& names) {
    for (int row = 0; row < kMouthShapeCount; ++row) {
        table_->setItem(
            row, 1,
            new QTableWidgetItem(QString::fromStdString(names[static_cast<std::size_t>(row)])));
    }
}

std::optional<MouthShapeNames> ShapeNamesDlg::ReadNames(std::string& error) const {
    std::string text;
    for (int row = 0; row < kMouthShapeCount; ++row) {
        const QTableWidgetItem* item = table_->item(row, 1);
        if (row > 0) text += ',';
        text += item ? item->text().trimmed().toStdString() : std::string();
    }
    // Through the parser, so the names meet the command line's checks exactly; a ',' or ':' typed
    // in a name would change how the list reads, and is refused as it stands.
    for (int row = 0; row < kMouthShapeCount; ++row) {
        const QTableWidgetItem* item = table_->item(row, 1);
        if (item &&
            (item->text().contains(QLatin1Char(',')) || item->text().contains(QLatin1Char(':')))) {
            error = "the mouth name '" + item->text().trimmed().toStdString() +
                    "' has a space, a control character, ':' or ','";
            return std::nullopt;
        }
    }
    MouthShapeNamesParse parsed = ParseMouthShapeNames(text);
    error = parsed.error;
    if (!error.empty()) return std::nullopt;
    return parsed.names;
}

void ShapeNamesDlg::accept() {
    std::string error;
    const auto names = ReadNames(error);
    if (!names) {
        if (!error.empty()) error[0] = static_cast<char>(std::toupper(error[0]));
        AfxMessageBox(error + ".", MsgButtons::Ok, MsgIcon::Exclamation, this);
        return;
    }
    names_ = *names;
    QDialog::accept();
}

std::optional<MouthShapeNames> RunShapeNamesDlg(const MouthShapeNames& names, QWidget* parent) {
    ShapeNamesDlg dialog(names, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Names();
}

}  // namespace vokra

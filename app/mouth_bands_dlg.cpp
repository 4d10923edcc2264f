#include "app/mouth_bands_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/message_service.h"
#include "platform/qt/dialog_units.h"

namespace vokra {
namespace {

QString LimitText(float limit) {
    std::string text;
    AppendShortest(text, limit);
    return QString::fromStdString(text);
}

const QString kNoLimit = QStringLiteral("(and above)");

}  // namespace

MouthBandsDlg::MouthBandsDlg(const MouthBands& bands, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Mouth Shapes"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    auto* intro = new QLabel(
        QStringLiteral("This document has no mouth shapes: the switch data chooses a mouth "
                       "from each frame's opening. Each frame gets the first mouth whose limit "
                       "lies above its opening; an opening at a limit gets the next mouth."),
        this);
    intro->setWordWrap(true);
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName(QStringLiteral("mouthTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Mouth"), QStringLiteral("Below opening")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* add = new QPushButton(QStringLiteral("&Add"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    auto* defaults = new QPushButton(QStringLiteral("&Defaults"), this);
    add->setObjectName(QStringLiteral("addMouth"));
    remove->setObjectName(QStringLiteral("removeMouth"));
    defaults->setObjectName(QStringLiteral("defaultMouths"));
    connect(add, &QPushButton::clicked, this, &MouthBandsDlg::AddRow);
    connect(remove, &QPushButton::clicked, this, &MouthBandsDlg::RemoveRow);
    connect(defaults, &QPushButton::clicked, this, [this] { SetRows(DefaultMouthBands()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export..."));
    connect(buttons, &QDialogButtonBox::accepted, this, &MouthBandsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MouthBandsDlg::reject);

    auto* rowButtons = new QVBoxLayout;
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addWidget(defaults);
    rowButtons->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(table_, 1);
    middle->addLayout(rowButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(middle, 1);
    layout->addWidget(buttons);
    resize(du.X(220), du.Y(170));
    SetRows(bands.empty() ? DefaultMouthBands() : bands);
}

void MouthBandsDlg::SetRows(const MouthBands& bands) {
    table_->setRowCount(0);
    for (const MouthBand& band : bands) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(band.name)));
        table_->setItem(row, 1, new QTableWidgetItem(LimitText(band.upper)));
    }
    MarkLastRow();
}

void MouthBandsDlg::AddRow() {
    // A new mouth goes before the selected one (before the open-ended last one by default), with
    // a limit halfway to its neighbour's so that the list stays in order.
    int row = table_->currentRow();
    if (row < 0 || row >= table_->rowCount()) row = std::max(0, table_->rowCount() - 1);
    float below = 0.0f;
    if (row > 0) {
        const std::string text = table_->item(row - 1, 1)->text().toStdString();
        std::from_chars(text.data(), text.data() + text.size(), below);
    }
    float above = below + 0.2f;
    if (row < table_->rowCount() - 1) {
        const std::string text = table_->item(row, 1)->text().toStdString();
        std::from_chars(text.data(), text.data() + text.size(), above);
    }
    table_->insertRow(row);
    table_->setItem(row, 0, new QTableWidgetItem(QStringLiteral("mouth")));
    table_->setItem(row, 1, new QTableWidgetItem(LimitText((below + above) / 2)));
    MarkLastRow();
    table_->setCurrentCell(row, 0);
    table_->editItem(table_->item(row, 0));
}

void MouthBandsDlg::RemoveRow() {
    if (table_->rowCount() <= 1) return;  // a list needs one mouth
    int row = table_->currentRow();
    if (row < 0) row = table_->rowCount() - 1;
    table_->removeRow(row);
    MarkLastRow();
}

void MouthBandsDlg::MarkLastRow() {
    const int last = table_->rowCount() - 1;
    for (int row = 0; row <= last; ++row) {
        QTableWidgetItem* limit = table_->item(row, 1);
        if (!limit) continue;
        if (row == last) {
            limit->setText(kNoLimit);
            limit->setFlags(limit->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsEnabled));
        } else if (!(limit->flags() & Qt::ItemIsEditable)) {
            // The row that used to be last needs a limit again.
            limit->setFlags(limit->flags() | Qt::ItemIsEditable | Qt::ItemIsEnabled);
            const QTableWidgetItem* before = row > 0 ? table_->item(row - 1, 1) : nullptr;
            const std::string text = before ? before->text().toStdString() : std::string();
            float previous = 0.0f;
            std::from_chars(text.data(), text.data() + text.size(), previous);
            limit->setText(LimitText(previous + 0.2f));
        }
    }
}

std::optional<MouthBands> MouthBandsDlg::ReadRows(std::string& error) const {
    MouthBands bands;
    const int rows = table_->rowCount();
    for (int row = 0; row < rows; ++row) {
        MouthBand band;
        const QTableWidgetItem* name = table_->item(row, 0);
        band.name = name ? name->text().trimmed().toStdString() : std::string();
        if (row + 1 < rows) {
            const QTableWidgetItem* limit = table_->item(row, 1);
            const std::string text = limit ? limit->text().trimmed().toStdString() : std::string();
            const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(),
                                                   band.upper, std::chars_format::general);
            if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
                error =
                    "the limit of mouth '" + band.name + "' must be a number (got '" + text + "')";
                return std::nullopt;
            }
        }
        bands.push_back(std::move(band));
    }
    error = CheckMouthBands(bands);
    if (!error.empty()) return std::nullopt;
    return bands;
}

void MouthBandsDlg::accept() {
    std::string error;
    const auto bands = ReadRows(error);
    if (!bands) {
        if (!error.empty()) error[0] = static_cast<char>(std::toupper(error[0]));
        AfxMessageBox(error + ".", MsgButtons::Ok, MsgIcon::Exclamation, this);
        return;
    }
    bands_ = *bands;
    QDialog::accept();
}

std::optional<MouthBands> RunMouthBandsDlg(const MouthBands& bands, QWidget* parent) {
    MouthBandsDlg dialog(bands, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Bands();
}

}  // namespace vokra

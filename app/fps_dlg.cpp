#include "app/fps_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <charconv>
#include <cstring>

#include "platform/qt/ddx.h"
#include "platform/qt/dialog_units.h"

namespace vokra {

const char* const kFpsPresetItems[kPresetCount] = {"  ---------     Custom",
                                                   "  4.000     Slow Streaming",
                                                   "  7.500     Medium Streaming",
                                                   "10.000     Fast Streaming",
                                                   "12.000     Half Film",
                                                   "12.500     Half PAL",
                                                   "14.985     Half NTSC Color",
                                                   "15.000     Video for Windows default",
                                                   "24.000     Film",
                                                   "25.000     PAL",
                                                   "29.970     NTSC Color",
                                                   "30.000     Hi Speed"};

double LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first < last && *first == '+') ++first;
    double value = 0.0;
    // from_chars takes the longest prefix that forms a number, as the old atof did.
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc()) return 0.0;
    return value;
}

std::string CustomItemText(double rate) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, rate, std::chars_format::fixed, 3);
    std::string number = ec == std::errc() ? std::string(buf, ptr) : std::string("0.000");
    while (number.size() < 2) number.insert(number.begin(), ' ');
    return number + "     Custom";
}

CFpsDlg::CFpsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Frames per Second"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    m_editRate = new QLineEdit(this);
    m_editRate->setObjectName(QStringLiteral("edit1024"));
    m_editRate->setEnabled(false);
    m_comboPreset = new QComboBox(this);
    m_comboPreset->setObjectName(QStringLiteral("combo1023"));
    m_comboPreset->setMaxVisibleItems(kPresetCount);
    for (const char* item : kFpsPresetItems) m_comboPreset->addItem(QString::fromLatin1(item));
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnOk = new QPushButton(QStringLiteral("OK"), this);
    m_btnOk->setDefault(true);

    // The combo's 82 units include its drop-down list; only the closed box is laid out.
    const QRect comboRect = du.Rect(7, 7, 160, 14);
    m_comboPreset->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                               std::max(comboRect.height(), m_comboPreset->sizeHint().height()));
    du.Place(m_editRate, 7, 37, 50, 14);
    du.Place(m_btnCancel, 62, 37, 50, 14);
    du.Place(m_btnOk, 117, 37, 50, 14);
    setFixedSize(du.X(174), du.Y(58));

    setTabOrder(m_comboPreset, m_editRate);
    setTabOrder(m_editRate, m_btnCancel);
    setTabOrder(m_btnCancel, m_btnOk);

    connect(m_comboPreset, &QComboBox::currentIndexChanged, this, &CFpsDlg::OnSelChange);
    connect(m_btnOk, &QPushButton::clicked, this, &CFpsDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CFpsDlg::reject);
}

bool CFpsDlg::UpdateData(bool save) {
    if (!DDX_Double(m_editRate, m_rate, save, 1.0, 100.0)) return false;
    if (save) {
        m_preset = m_comboPreset->currentIndex();
    } else {
        const QSignalBlocker block(m_comboPreset);
        m_comboPreset->setCurrentIndex(m_preset >= 0 && m_preset < m_comboPreset->count() ? m_preset
                                                                                          : -1);
    }
    return true;
}

void CFpsDlg::OnInitDialog() {
    m_initialised = true;
    UpdateData(false);
    if (m_preset == 0) m_editRate->setEnabled(true);
    {
        const QSignalBlocker block(m_comboPreset);
        m_comboPreset->setItemText(0, QString::fromStdString(CustomItemText(m_customRate)));
        m_comboPreset->setCurrentIndex(m_preset >= 0 && m_preset < m_comboPreset->count() ? m_preset
                                                                                          : -1);
    }
    m_comboPreset->setFocus();
}

int CFpsDlg::exec() {
    if (!m_initialised) OnInitDialog();
    return QDialog::exec();
}

void CFpsDlg::OnSelChange(int index) {
    if (index < 0) return;
    m_preset = index;
    m_rate = LeadingNumber(m_comboPreset->itemText(index).toStdString());
    m_editRate->setEnabled(m_preset == 0);
    UpdateData(false);
}

void CFpsDlg::accept() {
    if (!UpdateData(true)) return;  // the prompt was shown and the edit has the focus again
    QDialog::accept();
}

FpsDialogRunner MakeFpsDialogRunner(QWidget* parent) {
    return
        [parent](std::int32_t preset, double rate, double customRate) -> std::optional<FpsChoice> {
            CFpsDlg dialog(parent);
            dialog.m_preset = preset;
            dialog.m_rate = rate;
            dialog.m_customRate = customRate;
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            return FpsChoice{dialog.m_rate, dialog.m_preset};
        };
}

}  // namespace vokra

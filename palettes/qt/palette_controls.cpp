#include "palettes/qt/palette_controls.h"

#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace vokra {

QLineEdit* MakeNumberEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAlignment(Qt::AlignCenter);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, Qt::Alignment align, const char* name) {
    auto* label = new QLabel(text, parent);
    if (name) label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

BarsButton::BarsButton(const QString& text, int bars, QWidget* parent)
    : QPushButton(text, parent), bars_(bars) {}

void BarsButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();  // the bars stand for the text
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    // One-pixel bars with one-pixel gaps, centred, inset from the bevel.
    const QRect face = rect().adjusted(2, 2, -2, -2);
    const int span = 2 * bars_ - 1;
    const int left = face.left() + (face.width() - span) / 2;
    const QColor colour =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    for (int i = 0; i < bars_; ++i) {
        painter.fillRect(QRect(left + 2 * i, face.top(), 1, face.height()), colour);
    }
}

void SetEditReadOnly(QLineEdit* edit, bool readOnly) {
    edit->setReadOnly(readOnly);
    QPalette colours = edit->palette();
    const QPalette standard = edit->parentWidget() ? edit->parentWidget()->palette() : QPalette();
    colours.setColor(QPalette::Base,
                     readOnly ? standard.color(QPalette::Window) : standard.color(QPalette::Base));
    edit->setPalette(colours);
}

}  // namespace vokra

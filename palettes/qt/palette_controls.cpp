#include "palettes/qt/palette_controls.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

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

}  // namespace vokra

#include "platform/qt/dialog_units.h"

#include <QApplication>

namespace vokra {

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics fm(font);
    // The old platform's average width: the mean of the 52 Latin letters.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    if (baseX_ < 1) baseX_ = 1;
    baseY_ = fm.height();
    if (baseY_ < 1) baseY_ = 1;
}

QFont DialogFont() {
    QFont f = QApplication::font();
    f.setPointSize(9);
    return f;
}

}  // namespace vokra

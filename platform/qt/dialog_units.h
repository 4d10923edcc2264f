#pragma once
// Dialog units to pixels, from the dialog font's average character width (x: /4) and height
// (y: /8), so dialogs and palettes keep their designed proportions on any font and screen.
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace vokra {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int X(int du) const { return (du * baseX_ + 2) / 4; }
    int Y(int du) const { return (du * baseY_ + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    // Places a child at a rectangle given in dialog units.
    void Place(QWidget* w, int x, int y, int cx, int cy) const { w->setGeometry(Rect(x, y, cx, cy)); }

private:
    int baseX_;
    int baseY_;
};

// The font dialogs and palettes use ("MS Sans Serif" 8 on the old platform).
QFont DialogFont();

}  // namespace vokra

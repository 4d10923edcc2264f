#pragma once
// Controls the two palettes build alike: digits-only centred number edits and plain labels.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vokra {

QLineEdit* MakeNumberEdit(QWidget* parent, const char* name);
// A label vertically centred in its box; `name` (optional) becomes its object name.
QLabel* MakeLabel(QWidget* parent, const QString& text, Qt::Alignment align,
                  const char* name = nullptr);

// A push button whose face is a row of vertical bars fitted to the button, however small: a
// text of bar characters is cut off by the style's padding at the sizes a palette uses.
class BarsButton : public QPushButton {
public:
    BarsButton(const QString& text, int bars, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int bars_;
};

// Read-only number edits look it: the window colour instead of the edit's base colour, so an
// edit that takes no typing does not invite it.
void SetEditReadOnly(QLineEdit* edit, bool readOnly);

}  // namespace vokra

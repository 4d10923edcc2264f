#pragma once
// Controls the two palettes build alike: digits-only centred number edits and plain labels.
#include <QLabel>
#include <QLineEdit>

namespace vokra {

QLineEdit* MakeNumberEdit(QWidget* parent, const char* name);
// A label vertically centred in its box; `name` (optional) becomes its object name.
QLabel* MakeLabel(QWidget* parent, const QString& text, Qt::Alignment align,
                  const char* name = nullptr);

}  // namespace vokra

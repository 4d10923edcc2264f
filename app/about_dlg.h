#pragma once
// The About box: the program icon, the version line, who made it and where to turn with questions.
#include <QDialog>

namespace vokra {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The version line, exactly as the program has always shown it.
inline constexpr const char* kVersionLine = "Vokra Version 1.0  6/15/98";

}  // namespace vokra

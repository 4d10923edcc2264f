#pragma once
// The modal "Frames per Second" dialog: eleven standard rates and a custom one, the custom rate
// typed into an edit that is enabled only for the custom item.
#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

#include "document/vokra_doc.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace vokra {

// Control ids of dialog 133.
enum FpsDlgControl { kIdcFpsCombo = 1023, kIdcFpsEdit = 1024 };

// The preset items as the combo starts with them; the rate of each is the number its text starts
// with.
extern const char* const kFpsPresetItems[kPresetCount];

// The number at the start of a text, as the old C library read it (leading blanks skipped, the
// longest prefix that forms a number; 0.0 when there is none). Independent of the locale.
double LeadingNumber(const std::string& text);
// The custom item's text for a rate, "%2.3f     Custom", independent of the locale.
std::string CustomItemText(double rate);

class CFpsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFpsDlg(QWidget* parent = nullptr);

    // Set before exec(); read after OK.
    double m_rate = 0.0;
    std::int32_t m_preset = -1;
    double m_customRate = 15.0;

    QComboBox* Combo() const { return m_comboPreset; }
    QLineEdit* Edit() const { return m_editRate; }
    QPushButton* OkButton() const { return m_btnOk; }
    QPushButton* CancelButton() const { return m_btnCancel; }

    // Runs the data exchange: toward the controls (save = false) or from them with the checks.
    bool UpdateData(bool save);

    // Sets up the controls from the members; exec() calls it (tests may call show() instead).
    void OnInitDialog();

public slots:
    void accept() override;  // OK
    int exec() override;

private:
    void OnSelChange(int index);

    QLineEdit* m_editRate = nullptr;
    QComboBox* m_comboPreset = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnOk = nullptr;
    bool m_initialised = false;
};

// Shows the dialog over `parent` and gives the choice, or nothing on Cancel: the runner that
// CVokraDoc::OnSetFramesPerSec takes.
FpsDialogRunner MakeFpsDialogRunner(QWidget* parent);

}  // namespace vokra

#pragma once
// Shapes > Guess Shapes from Script...: the script of the line (typed, pasted or loaded from a
// UTF-8 .txt file) and its language, one of the voices espeak-ng has. It opens with the
// document's script when it has one, else with the language chosen last (kept in the settings
// file's [Window] section). OK accepts a script that can be aligned; the caller does the rest.
#include <QDialog>
#include <optional>

#include "document/script_record.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vokra {

class ScriptDlg : public QDialog {
    Q_OBJECT
public:
    explicit ScriptDlg(const DocumentScript& script, QWidget* parent = nullptr);

    // The script after OK.
    const DocumentScript& Script() const { return script_; }
    QPlainTextEdit* TextBox() const { return text_; }
    QComboBox* LanguageList() const { return language_; }
    QPushButton* LoadButton() const { return load_; }

    // Load .txt: asks for a text file and puts its words in the box; says why when it cannot.
    void LoadText();
    // Picks `code` in the list; false when espeak-ng has no such language.
    bool SelectLanguage(const std::string& code);

public slots:
    void accept() override;

private:
    QPlainTextEdit* text_ = nullptr;
    QComboBox* language_ = nullptr;
    QPushButton* load_ = nullptr;
    QLabel* count_ = nullptr;
    DocumentScript script_;
};

// The settings key of the language chosen last.
inline constexpr const char* kScriptLanguageKey = "ScriptLanguage";

// Shows the dialog over `parent`; the accepted script, or nothing.
std::optional<DocumentScript> RunScriptDlg(const DocumentScript& script, QWidget* parent);
// Keeps `language` as the one the dialog offers next time (after a guess that used it).
void RememberScriptLanguage(const std::string& language);

}  // namespace vokra

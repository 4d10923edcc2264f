#include "app/script_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/window_state.h"
#include "document/script_commands.h"
#include "document/script_file.h"
#include "platform/file_dialog_service.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "platform/qt/dialog_units.h"
#include "shapes/script_phonemes.h"

namespace vokra {

ScriptDlg::ScriptDlg(const DocumentScript& script, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Guess Shapes from Script"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    auto* intro = new QLabel(
        QStringLiteral("The words of the line, as spoken. Their mouths are placed where the "
                       "voice says them; words it does not say are guessed from the sound."),
        this);
    intro->setWordWrap(true);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("scriptText"));
    text_->setPlaceholderText(QStringLiteral("Paste or type the script here"));
    text_->setTabChangesFocus(true);
    // Alt+L is the language's.
    load_ = new QPushButton(QStringLiteral("L&oad .txt..."), this);
    load_->setObjectName(QStringLiteral("loadScript"));
    connect(load_, &QPushButton::clicked, this, &ScriptDlg::LoadText);
    count_ = new QLabel(this);
    connect(text_, &QPlainTextEdit::textChanged, this, [this] {
        // Counted as the status line and `info` count them.
        const std::size_t words = CountScriptWords(text_->toPlainText().toStdString());
        count_->setText(words == 1
                            ? QStringLiteral("1 word")
                            : QStringLiteral("%1 words").arg(static_cast<qulonglong>(words)));
    });

    auto* languageLabel = new QLabel(QStringLiteral("&Language:"), this);
    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("scriptLanguage"));
    for (const ScriptLanguage& l : ScriptLanguages()) {
        language_->addItem(QStringLiteral("%1 \u2013 %2")
                               .arg(QString::fromStdString(l.code), QString::fromStdString(l.name)),
                           QString::fromStdString(l.code));
    }
    languageLabel->setBuddy(language_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Guess Shapes"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ScriptDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScriptDlg::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(languageLabel);
    row->addWidget(language_, 1);
    row->addSpacing(du.X(8));
    row->addWidget(load_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(count_, 1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(text_, 1);
    layout->addLayout(row);
    layout->addLayout(bottom);
    resize(du.X(260), du.Y(170));

    text_->setPlainText(QString::fromStdString(script.text));
    const std::string remembered = Profile().GetString(kWindowSection, kScriptLanguageKey, "en-us");
    if (!SelectLanguage(script.language) && !SelectLanguage(remembered)) SelectLanguage("en");
    text_->setFocus();
}

bool ScriptDlg::SelectLanguage(const std::string& code) {
    const int at = language_->findData(QString::fromStdString(code).toLower());
    if (code.empty() || at < 0) return false;
    language_->setCurrentIndex(at);
    return true;
}

void ScriptDlg::LoadText() {
    FileDialogRequest request;
    request.filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    request.defaultExt = "txt";
    request.fileMustExist = true;
    const std::optional<std::string> path = RunFileDialog(request);
    if (!path) return;
    const ScriptFileResult file = ReadScriptFile(*path);
    if (!file.ok()) {
        AfxMessageBox(file.error);
        return;
    }
    text_->setPlainText(QString::fromStdString(file.text));
}

void ScriptDlg::accept() {
    DocumentScript script;
    script.text = text_->toPlainText().toStdString();
    script.language = language_->currentData().toString().toStdString();
    if (text_->toPlainText().trimmed().isEmpty()) {
        AfxMessageBox("Type or load the words of the line first.");
        text_->setFocus();
        return;
    }
    if (const std::string why = ScriptProblem(script); !why.empty()) {
        AfxMessageBox(why);
        return;
    }
    script_ = script;
    QDialog::accept();
}

std::optional<DocumentScript> RunScriptDlg(const DocumentScript& script, QWidget* parent) {
    ScriptDlg dlg(script, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Script();
}

void RememberScriptLanguage(const std::string& language) {
    Profile().WriteString(kWindowSection, kScriptLanguageKey, language);
}

}  // namespace vokra

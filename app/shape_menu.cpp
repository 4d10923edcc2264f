#include "app/shape_menu.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

#include "app/script_dlg.h"
#include "app/shape_settings_dlg.h"
#include "app/window_state.h"
#include "document/script_commands.h"
#include "document/shape_commands.h"
#include "document/shape_settings.h"
#include "document/vokra_doc.h"
#include "live/qt/live_palette.h"
#include "panes/qt/shape_lane.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

// Remembered in the window's own section: the option is the window's, not the document's.
constexpr const char* kGuessReplacesHandKey = "GuessReplacesHandEdits";

}  // namespace

ShapeMenu::ShapeMenu(CVokraDoc* doc, QMainWindow* window)
    : QObject(window), doc_(doc), window_(window) {
    askSettings = [this](const ShapeOptions& options) {
        return RunShapeSettingsDlg(options, window_);
    };
}

bool ShapeMenu::HasSelection() const {
    return doc_ && doc_->GetTimeRange().HasSelection();
}

QMenu* ShapeMenu::CreateMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("&Shapes"), parent);
    guess_ = menu->addAction(QStringLiteral("&Guess Shapes"), this, &ShapeMenu::GuessShapes);
    guess_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    guess_->setStatusTip(
        QStringLiteral("Guess the mouth shape of each selected frame from the sound"));
    guessScript_ = menu->addAction(QStringLiteral("Guess Shapes from Scrip&t..."), this,
                                   &ShapeMenu::GuessShapesFromScript);
    guessScript_->setStatusTip(
        QStringLiteral("Place the mouths of the line's script on the voice, in any language"));
    replaceHand_ = menu->addAction(QStringLiteral("&Replace Hand Edits"));
    replaceHand_->setCheckable(true);
    replaceHand_->setChecked(Profile().GetInt(kWindowSection, kGuessReplacesHandKey, 0) != 0);
    replaceHand_->setStatusTip(
        QStringLiteral("Let Guess Shapes replace the shapes set by hand too"));
    connect(replaceHand_, &QAction::toggled, this,
            [](bool on) { Profile().WriteInt(kWindowSection, kGuessReplacesHandKey, on ? 1 : 0); });
    menu->addSeparator();
    QMenu* set = menu->addMenu(QStringLiteral("&Set Shape"));
    for (int i = 0; i < kMouthShapeCount; ++i) {
        const MouthShape shape = *MouthShapeFromIndex(i);
        setShape_[i] =
            set->addAction(ShapeMenuText(shape), this, [this, shape] { SetShape(shape); });
        setShape_[i]->setStatusTip(
            QStringLiteral("Set the mouth shape of the selected frames by "
                           "hand (the letter key in the shape lane)"));
    }
    clear_ = menu->addAction(QStringLiteral("&Clear Shapes"), this, &ShapeMenu::ClearShapes);
    clear_->setStatusTip(QStringLiteral("Remove the mouth shapes of the selected frames"));
    menu->addSeparator();
    settings_ =
        menu->addAction(QStringLiteral("Shape Se&ttings..."), this, &ShapeMenu::EditSettings);
    settings_->setStatusTip(
        QStringLiteral("How far mouths lead the sound, and which mouths the rig has"));
    menu->addSeparator();
    live_ = menu->addAction(QStringLiteral("&Live..."), this, &ShapeMenu::ShowLive);
    live_->setStatusTip(
        QStringLiteral("Follow a microphone as it is spoken and drive an avatar's mouth"));
    for (QAction* a : menu->actions()) a->setIconVisibleInMenu(false);
    connect(menu, &QMenu::aboutToShow, this, &ShapeMenu::UpdateActions);
    UpdateActions();
    return menu;
}

void ShapeMenu::AttachLane(ShapeLane* lane) {
    if (lane && guess_) lane->SetExtraActions({guess_});
}

void ShapeMenu::UpdateActions() {
    // Only the items without a shortcut: a disabled action's keys would stay dead until a menu
    // happened to be opened. Those with one say in the status bar when there is nothing to do.
    const bool selection = HasSelection();
    if (clear_) clear_->setEnabled(selection);
    for (QAction* a : setShape_) {
        if (a) a->setEnabled(selection);
    }
}

void ShapeMenu::ShowStatus(const QString& text) {
    if (QStatusBar* bar = window_ ? window_->statusBar() : nullptr) bar->showMessage(text, 15000);
}

void ShapeMenu::GuessShapes() {
    if (!doc_) return;
    // Without a selection the guess runs from the cursor to the end, as AutoKey does.
    const bool replace = replaceHand_ && replaceHand_->isChecked();
    const GuessOutcome outcome = GuessSelectionShapes(*doc_, replace, LoadShapeOptions());
    if (!outcome.ok) {
        AfxMessageBox(outcome.error);
        return;
    }
    doc_->UpdateAllViews(nullptr, kHintAll);
    ShowStatus(QString::fromStdString(GuessStatusText(outcome)));
}

void ShapeMenu::GuessShapesFromScript() {
    if (!doc_) return;
    if (!g_sound.IsLoaded()) {
        AfxMessageBox("Load a sound file before guessing shapes.");
        return;
    }
    // A script that cannot be used brings the dialog back with what was typed, and its
    // language is remembered only once it worked.
    DocumentScript offered = doc_->GetScript();
    ScriptGuessOutcome outcome;
    for (;;) {
        const std::optional<DocumentScript> script = RunScriptDlg(offered, window_);
        if (!script) return;
        const bool replace = replaceHand_ && replaceHand_->isChecked();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        outcome = GuessSelectionShapesFromScript(*doc_, *script, replace, LoadShapeOptions());
        QApplication::restoreOverrideCursor();
        if (outcome.guess.ok) {
            RememberScriptLanguage(script->language);
            break;
        }
        AfxMessageBox(outcome.guess.error);
        offered = *script;
    }
    doc_->UpdateAllViews(nullptr, kHintAll);
    ShowStatus(QString::fromStdString(ScriptStatusText(outcome)));
}

void ShapeMenu::SetShape(MouthShape shape) {
    if (doc_ && SetSelectionShape(*doc_, shape)) doc_->UpdateAllViews(nullptr, kHintAll);
}

void ShapeMenu::ShowLive() {
    if (!livePalette_) {
        livePalette_ = new CLivePalette(Profile().Path(), window_);
        livePalette_->openTake = [this](const std::string& path) {
            if (openDocument) openDocument(path);
        };
    }
    livePalette_->show();
    livePalette_->raise();
    livePalette_->activateWindow();
}

void ShapeMenu::CloseLive() {
    if (livePalette_) livePalette_->close();
}

void ShapeMenu::EditSettings() {
    const std::optional<ShapeOptions> chosen =
        askSettings ? askSettings(LoadShapeOptions()) : std::nullopt;
    if (!chosen || *chosen == LoadShapeOptions()) return;
    if (!SaveShapeOptions(*chosen) || LoadShapeOptions() != *chosen) {
        AfxMessageBox("Could not write the settings file " + Profile().Path() +
                          "\nThe shape settings are unchanged.",
                      MsgButtons::Ok, MsgIcon::Exclamation, window_);
        return;
    }
    ShowStatus(
        QStringLiteral("The next Guess Shapes and every export of shapes use the new "
                       "settings."));
}

void ShapeMenu::ClearShapes() {
    if (doc_ && ClearSelectionShapes(*doc_)) doc_->UpdateAllViews(nullptr, kHintAll);
}

}  // namespace vokra

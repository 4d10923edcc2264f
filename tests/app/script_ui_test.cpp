// Shapes > Guess Shapes from Script... in the window: the dialog's language list is espeak-ng's,
// it offers the document's script or else the language chosen last, Load .txt fills the box (and
// refuses what is not text), and OK fills every frame of a line spoken by espeak-ng in one undo
// step, keeps hand-set shapes and keeps the script in the document.
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include "app/key_history.h"
#include "app/script_dlg.h"
#include "app/shape_menu.h"
#include "app/window_state.h"
#include "platform/ini_file.h"
#include "shapes/script_phonemes.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

const char kLine[] = "Bring the blue box to my mother.";

class ScriptUi : public AppFixture {
protected:
    // A line espeak-ng speaks, loaded into the shown window.
    void StartWithLine() {
        Start();
        Frame().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
        std::vector<std::int16_t> speech;
        ScriptSpeechOptions o;
        o.wordsPerMinute = 160;
        o.speech = &speech;
        ASSERT_TRUE(PhonemesOfScript(kLine, "en-us", o).ok());
        const std::string wav = dir_.File("line.wav");
        WriteFile(wav, MakeWav16(speech, kScriptSpeechRate));
        Doc().LoadSoundFrom(wav);
        frames_ =
            static_cast<int>(std::ceil(speech.size() * Doc().GetFrameRate() / kScriptSpeechRate));
    }
    // Answers the dialog the menu item opens with `edit`, then OK.
    void AnswerDialog(std::function<void(ScriptDlg&)> edit) {
        QTimer::singleShot(0, [edit] {
            auto* dlg = qobject_cast<ScriptDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            edit(*dlg);
            dlg->accept();
            if (dlg->isVisible()) dlg->reject();
        });
    }
    int frames_ = 0;
};

TEST_F(ScriptUi, DialogListsEspeakLanguagesAndOffersTheScriptOrTheLastLanguage) {
    Start();
    {
        ScriptDlg dlg({"Guten Tag.", "de"});
        EXPECT_GT(dlg.LanguageList()->count(), 50);
        EXPECT_EQ(dlg.LanguageList()->currentData().toString(), QStringLiteral("de"));
        EXPECT_EQ(dlg.TextBox()->toPlainText(), QStringLiteral("Guten Tag."));
    }
    Profile().WriteString(kWindowSection, kScriptLanguageKey, "fr");
    ScriptDlg fresh({});
    EXPECT_EQ(fresh.LanguageList()->currentData().toString(), QStringLiteral("fr"));
    EXPECT_TRUE(fresh.TextBox()->toPlainText().isEmpty());
    // OK with no words says so and stays open.
    messages_->Expect("Type or load the words of the line first.");
    fresh.show();
    fresh.accept();
    EXPECT_TRUE(fresh.isVisible());
}

TEST_F(ScriptUi, LoadTextFillsTheBoxAndRefusesBinary) {
    Start();
    ScriptDlg dlg({});
    const std::string good = dir_.File("line.txt");
    WriteFile(good, "\xEF\xBB\xBFHello there.\n");
    dialogs_->Answer(good);
    QTest::mouseClick(dlg.LoadButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.TextBox()->toPlainText(), QStringLiteral("Hello there.\n"));
    const std::string bad = dir_.File("picture.txt");
    WriteFile(bad, std::string("PK\3\4\0\0", 6));
    dialogs_->Answer(bad);
    messages_->Expect("Could not read the script " + bad +
                      ": it holds control characters, as a binary file does, not text.");
    dlg.LoadText();
    EXPECT_EQ(dlg.TextBox()->toPlainText(), QStringLiteral("Hello there.\n"));
}

TEST_F(ScriptUi, GuessFromScriptFillsEveryFrameInOneStepAndKeepsTheScript) {
    StartWithLine();
    Doc().GetShapes().Set(3, MouthShape::H, true);
    QUndoStack& undo = Frame().GetHistory()->Stack();
    const int steps = undo.count();
    AnswerDialog([](ScriptDlg& dlg) {
        dlg.TextBox()->setPlainText(QString::fromUtf8(kLine));
        ASSERT_TRUE(dlg.SelectLanguage("en-us"));
    });
    Frame().GetShapeMenu()->GuessFromScriptAction()->trigger();
    EXPECT_EQ(undo.count(), steps + 1);
    EXPECT_EQ(Doc().GetShapes().GetCount(), frames_);
    EXPECT_EQ(Doc().GetShapes().Find(3)->shape, MouthShape::H);
    EXPECT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_NE(Frame().GetStatusBar()->currentMessage().indexOf(QStringLiteral("Guessed")), -1)
        << Frame().GetStatusBar()->currentMessage().toStdString();
    EXPECT_EQ(Profile().GetString(kWindowSection, kScriptLanguageKey), "en-us");
    // Next time the dialog offers the same script.
    AnswerDialog([](ScriptDlg& dlg) {
        EXPECT_EQ(dlg.TextBox()->toPlainText(), QString::fromUtf8(kLine));
        dlg.TextBox()->clear();
        dlg.TextBox()->setPlainText(QStringLiteral("Bring the box."));
    });
    Frame().GetShapeMenu()->GuessFromScriptAction()->trigger();
    EXPECT_EQ(Doc().GetScript().text, "Bring the box.");
    // The script and its words go back and forth with the shapes, in the same step.
    undo.undo();
    EXPECT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    undo.undo();
    EXPECT_EQ(Doc().GetShapes().GetCount(), 1);
    EXPECT_TRUE(Doc().GetScript().IsEmpty());
    EXPECT_TRUE(Doc().GetScriptWords().empty());
    undo.redo();
    EXPECT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    EXPECT_EQ(Doc().GetScriptWords().size(), 7u);
}

// A script the program sets aside (no word in it) still guesses the frames from the sound, says
// so after the usual count, and leaves the saved script as it was, also after Undo.
TEST_F(ScriptUi, SetAsideScriptLeavesTheSavedOne) {
    StartWithLine();
    QUndoStack& undo = Frame().GetHistory()->Stack();
    AnswerDialog([](ScriptDlg& dlg) {
        dlg.TextBox()->setPlainText(QString::fromUtf8(kLine));
        ASSERT_TRUE(dlg.SelectLanguage("en-us"));
    });
    Frame().GetShapeMenu()->GuessFromScriptAction()->trigger();
    ASSERT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    Doc().GetShapes().RemoveAll();
    Doc().GetShapes().Set(2, MouthShape::H, true);
    const int steps = undo.count();
    AnswerDialog([](ScriptDlg& dlg) {
        dlg.TextBox()->setPlainText(QStringLiteral("\u2014 \u2026"));
        ASSERT_TRUE(dlg.SelectLanguage("de"));
    });
    Frame().GetShapeMenu()->GuessFromScriptAction()->trigger();
    const std::string status = Frame().GetStatusBar()->currentMessage().toStdString();
    EXPECT_NE(status.find("kept 1 hand-set shape"), std::string::npos) << status;
    EXPECT_NE(status.find("no words"), std::string::npos) << status;
    EXPECT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    EXPECT_EQ(Profile().GetString(kWindowSection, kScriptLanguageKey), "de");
    ASSERT_EQ(undo.count(), steps + 1);
    undo.undo();
    EXPECT_EQ(Doc().GetScript(), (DocumentScript{kLine, "en-us"}));
    EXPECT_EQ(Doc().GetScriptWords().size(), 7u);
}

}  // namespace
}  // namespace vokra::test

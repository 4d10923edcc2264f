// The window's side of importing: a sound dropped or named on the command line is loaded as the
// sound (converted when it must be), the offer's Convert button, and a progress dialog whose
// Cancel button is heard.
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "platform/qt/qt_services.h"
#include "sound/import.h"
#include "tests/app/app_fixture.h"
#include "tests/support/sound_writer.h"

namespace vokra::test {
namespace {

using SoundArrival = AppFixture;

void Drop(QWidget& target, const std::string& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

TEST_F(SoundArrival, ADroppedRecordingIsOfferedForConversion) {
    Start();
    const std::string flac = dir_.File("take.flac");
    ASSERT_TRUE(
        WriteSoundFile(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 2, 48000, Tone(200, 48000)));
    messages_->AllowAny(IDOK);
    dialogs_->Answer(dir_.File("take-vokra.wav"));
    Drop(Frame(), flac);
    QTRY_VERIFY(g_sound.IsLoaded());
    ASSERT_EQ(messages_->Shown().size(), 1u);
    EXPECT_EQ(messages_->Shown()[0].text.substr(0, 48),
              "take.flac: 48000 Hz, 2 channels, FLAC 24-bit PCM");
    EXPECT_EQ(Doc().GetSoundName(), "take-vokra.wav");
    EXPECT_EQ(g_sound.GetSampleRate(), 44100);
}

TEST_F(SoundArrival, ASoundOnTheCommandLineStartsANewDocumentWithIt) {
    const std::string wav = MakeVoice("voice.wav", 2.0);
    Start({QString::fromStdString(wav)});
    EXPECT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(Doc().GetSoundName(), "voice.wav");
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Vokra");
    EXPECT_TRUE(messages_->Shown().empty());
}

TEST(ImportServices, TheOffersAcceptButtonSaysConvert) {
    QtMessageService service;
    QString accept;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        accept = box->button(QMessageBox::Ok)->text();
        box->button(QMessageBox::Ok)->click();
    });
    MessageRequest offer{"voice.wav: ...", MsgButtons::OkCancel, MsgIcon::Question, nullptr,
                         "Convert", {}};
    EXPECT_EQ(service.Show(offer), IDOK);
    EXPECT_EQ(accept, "Convert");
}

TEST(ImportServices, CancelInTheProgressDialogStopsTheTask) {
    QtProgressService service;
    auto task = service.Begin("Converting voice.wav...");
    EXPECT_TRUE(task->Update(0.25));
    QProgressDialog* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QProgressDialog*>(w)) dialog = d;
    }
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->labelText(), "Converting voice.wav...");
    dialog->findChild<QPushButton*>()->click();
    EXPECT_FALSE(task->Update(0.5));
    task.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<QProgressDialog*>(w), nullptr) << "the dialog closes with its task";
    }
}

}  // namespace
}  // namespace vokra::test

#include "platform/qt/qt_services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

struct FilterCase {
    const char* old;
    std::vector<const char*> qt;
};
void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << '"' << c.old << '"';
}

class QtServices_FileFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(QtServices_FileFilter, TranslatesTheOldSyntax) {
    const QStringList got = TranslateFileFilter(GetParam().old);
    QStringList want;
    for (const char* f : GetParam().qt) want << QString::fromLatin1(f);
    EXPECT_EQ(got, want) << GetParam().old;
}

INSTANTIATE_TEST_SUITE_P(
    Table, QtServices_FileFilter,
    ::testing::Values(
        FilterCase{"Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||",
                   {"Wave Files (*.wav)", "All Files (*)"}},
        FilterCase{"Vokra files (*.vok)|*.vok|All Files (*.*)|*.*||",
                   {"Vokra files (*.vok)", "All Files (*)"}},
        FilterCase{"env Files (*.env)|*.env||", {"env Files (*.env)"}},
        // A name that does not show its patterns gets them added; several patterns are kept.
        FilterCase{"Sounds|*.wav;*.WAV||", {"Sounds (*.wav *.WAV)"}}, FilterCase{"", {}}));

struct ExtCase {
    const char* path;
    const char* ext;
    const char* expected;
};
void PrintTo(const ExtCase& c, std::ostream* os) {
    *os << c.path << " + " << c.ext;
}

class QtServices_DefaultExtension : public ::testing::TestWithParam<ExtCase> {};

TEST_P(QtServices_DefaultExtension, AppendedOnlyWithoutOne) {
    EXPECT_EQ(WithDefaultExtension(GetParam().path, GetParam().ext), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, QtServices_DefaultExtension,
                         ::testing::Values(ExtCase{"/tmp/voice", "*.wav", "/tmp/voice.wav"},
                                           ExtCase{"/tmp/voice", "env", "/tmp/voice.env"},
                                           ExtCase{"/tmp/voice.WAV", "*.wav", "/tmp/voice.WAV"},
                                           ExtCase{"/tmp/my.dir/voice", ".vok",
                                                   "/tmp/my.dir/voice.vok"},
                                           ExtCase{"/tmp/voice", "", "/tmp/voice"},
                                           ExtCase{"/tmp/voice", "*.*", "/tmp/voice"}));

TEST(QtServices_Help, OpensTheManualAtTheContextAnchor) {
    test::TempDir installed, build;
    QDir().mkpath(QString::fromStdString(build.Path()) + "/docs");
    QFile manual(QString::fromStdString(build.Path()) + "/docs/manual.html");
    ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
    manual.write("<html></html>");
    manual.close();

    QUrl opened;
    QtHelpService help({QString::fromStdString(installed.Path()) + "/share/doc/vokra",
                        QString::fromStdString(build.Path()) + "/docs"},
                       [&](const QUrl& url) {
                           opened = url;
                           return true;
                       });
    EXPECT_TRUE(help.Open(440));
    ASSERT_TRUE(opened.isLocalFile());
    // The page opened forwards to the manual's anchor, which launchers cannot drop.
    const std::string page = test::ReadFile(opened.toLocalFile().toStdString());
    const std::string target =
        QUrl::fromLocalFile(manual.fileName()).toString().toStdString() + "#ctx440";
    EXPECT_NE(page.find("http-equiv=\"refresh\" content=\"0; url=" + target + "\""),
              std::string::npos)
        << page;
}

TEST(QtServices_Help, RedirectKeepsAnUnusualPathIntact) {
    test::TempDir dir;
    const QUrl target = HelpUrl("/opt/my vokra/share/doc/vokra/manual.html", 100);
    const QString page = WriteHelpRedirect(target, QString::fromStdString(dir.Path()) + "/help");
    ASSERT_FALSE(page.isEmpty());
    const std::string text = test::ReadFile(page.toStdString());
    EXPECT_NE(text.find("url=file:///opt/my%20vokra/share/doc/vokra/manual.html#ctx100\""),
              std::string::npos)
        << text;
}

TEST(QtServices_Help, PagesGoToAPrivateFolderAndNeverThroughAPlantedLink) {
    test::TempDir dir;
    const QString shared = QString::fromStdString(dir.Path()) + "/shared";
    ASSERT_TRUE(QDir().mkpath(shared));
    test::WriteFile(dir.File("victim"), "precious");
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), (shared + "/ctx100.html").toUtf8().constData()),
              0);
    const QString page = WriteHelpRedirect(HelpUrl("/opt/vokra/manual.html", 100), shared);
    ASSERT_FALSE(page.isEmpty());
    EXPECT_EQ(test::ReadFile(dir.File("victim")), "precious");
    EXPECT_FALSE(QFileInfo(page).isSymLink());

    test::WriteFile(dir.File("manual.html"), "<html></html>");
    QUrl opened;
    QtHelpService help({QString::fromStdString(dir.Path())}, [&](const QUrl& url) {
        opened = url;
        return true;
    });
    ASSERT_TRUE(help.Open(100));
    struct stat st {};
    ASSERT_EQ(::lstat(help.PageFolder().toUtf8().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(QFileInfo(opened.toLocalFile()).absolutePath(), help.PageFolder());
}

TEST(QtServices_Help, MissingManualOrFailedBrowserReportsFailure) {
    test::TempDir empty;
    int calls = 0;
    QtHelpService missing({QString::fromStdString(empty.Path())}, [&](const QUrl&) {
        ++calls;
        return true;
    });
    SetHelpService(&missing);
    {
        // The exact line first, then where the manual was looked for.
        test::ScriptedMessages messages;
        messages.Expect("Failed to launch help.\nThe manual is in none of:\n     " +
                        empty.File("manual.html"));
        EXPECT_FALSE(OpenHelpTopic(100));
    }
    EXPECT_EQ(calls, 0);

    QFile manual(QString::fromStdString(empty.File("manual.html")));
    ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
    manual.close();
    QtHelpService refusing({QString::fromStdString(empty.Path())},
                           [](const QUrl&) { return false; });
    SetHelpService(&refusing);
    {
        test::ScriptedMessages messages;
        messages.Expect("Failed to launch help.\nThe desktop's browser did not open:\n     " +
                        empty.File("manual.html"));
        EXPECT_FALSE(OpenHelpTopic(100));
    }
    SetHelpService(nullptr);
}

TEST(QtServices_Help, LooksBesideTheInstalledAndTheBuiltProgram) {
    const auto c = ManualCandidates("/opt/vokra/bin");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0], "/opt/vokra/share/vokra/manual");
    EXPECT_EQ(c[1], "/opt/vokra/docs");
}

struct BoxCase {
    const char* name;
    MsgButtons buttons;
    MsgIcon icon;
    QMessageBox::StandardButton press;
    QMessageBox::Icon qtIcon;
    int buttonCount;
    int result;
};
void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class QtServices_MessageBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtServices_MessageBox, ShowsTitleButtonsAndIcon) {
    const BoxCase& c = GetParam();
    QWidget owner;
    QtMessageService service;
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = -1;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        parent = box->parentWidget();
        box->button(c.press)->click();
    });
    const int result =
        service.Show(MessageRequest{"Save changes to a.vok?", c.buttons, c.icon, &owner, {}, {}});
    EXPECT_EQ(title, "Vokra");
    EXPECT_EQ(format, Qt::PlainText) << "file names are shown as they are, never as markup";
    EXPECT_EQ(text, "Save changes to a.vok?");
    EXPECT_EQ(icon, c.qtIcon);
    EXPECT_EQ(buttons, c.buttonCount);
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QtServices_MessageBox,
    ::testing::Values(BoxCase{"OkExclamation", MsgButtons::Ok, MsgIcon::Exclamation,
                              QMessageBox::Ok, QMessageBox::Warning, 1, IDOK},
                      BoxCase{"OkNoIcon", MsgButtons::Ok, MsgIcon::None, QMessageBox::Ok,
                              QMessageBox::NoIcon, 1, IDOK},
                      BoxCase{"OkCancelQuestionCancel", MsgButtons::OkCancel, MsgIcon::Question,
                              QMessageBox::Cancel, QMessageBox::Question, 2, IDCANCEL},
                      BoxCase{"OkCancelQuestionOk", MsgButtons::OkCancel, MsgIcon::Question,
                              QMessageBox::Ok, QMessageBox::Question, 2, IDOK},
                      BoxCase{"YesNoCancelNo", MsgButtons::YesNoCancel, MsgIcon::Exclamation,
                              QMessageBox::No, QMessageBox::Warning, 3, IDNO},
                      BoxCase{"YesNoCancelYes", MsgButtons::YesNoCancel, MsgIcon::Exclamation,
                              QMessageBox::Yes, QMessageBox::Warning, 3, IDYES},
                      BoxCase{"YesNoInformation", MsgButtons::YesNo, MsgIcon::Information,
                              QMessageBox::No, QMessageBox::Information, 2, IDNO}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST(QtServices_FileDialog, StartsInTheFolderWithTheNameAndAppendsTheExtension) {
    test::TempDir dir;
    QtFileDialogService service;
    QString shownDir, shownName;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownDir = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        shownName = edit->text();
        edit->setText("take2");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogRequest request;
    request.save = true;
    request.filter = "env Files (*.env)|*.env|All Files (*.*)|*.*||";
    request.defaultExt = "env";
    request.initialName = "take1.env";
    request.initialDir = dir.Path();
    request.overwritePrompt = true;
    const auto path = service.Run(request);
    EXPECT_EQ(shownDir, QString::fromStdString(dir.Path()));
    EXPECT_EQ(shownName, "take1.env");
    EXPECT_EQ(filters, QStringList({"env Files (*.env)", "All Files (*)"}));
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, dir.File("take2.env"));
}

TEST(QtServices_FileDialog, CancelGivesNothing) {
    QtFileDialogService service;
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    FileDialogRequest request;
    request.filter = "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||";
    request.fileMustExist = true;
    EXPECT_FALSE(service.Run(request).has_value());
}

}  // namespace
}  // namespace vokra

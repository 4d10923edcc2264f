#include <QAction>
#include <QDir>
#include <QFile>
#include <filesystem>

#include "app/commands.h"
#include "panes/qt/env_view.h"
#include "panes/qt/wave_view.h"
#include "panes/timeline_state.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

// Writes a document with the given frame rate and preset, without touching the app's settings.
void SaveDocument(const std::string& path, double rate, std::int32_t preset,
                  const std::string& scratchIni) {
    const std::string saved = Profile().Path();
    Profile().SetPath(scratchIni);
    {
        CVokraDoc doc;
        doc.OnNewDocument();
        doc.SetFrameRate(rate, preset);
        ASSERT_TRUE(doc.OnSaveDocument(path));
    }
    Profile().SetPath(saved);
}

std::string CurrentDir() {
    return QDir::currentPath().toStdString();
}

using Startup = AppFixture;

TEST_F(Startup, WithoutSettingsFileUsesDefaultsAndWritesNothing) {
    Start();
    EXPECT_EQ(app_->GetSettingsPath(), IniPath());
    EXPECT_EQ(g_showSeconds, 0);
    EXPECT_EQ(g_appReady, 1);
    EXPECT_DOUBLE_EQ(Doc().GetFrameRate(), 15.0);
    EXPECT_EQ(Doc().GetFpsPreset(), 7);
    EXPECT_DOUBLE_EQ(Doc().GetCustomFps(), 15.0);
    EXPECT_EQ(Doc().GetSoundDir(), "");
    EXPECT_EQ(Doc().GetEnvDir(), "");
    EXPECT_EQ(g_currentDir, "");
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Vokra");
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_FALSE(Frame().GetPlaybackPalette().isVisible());
    EXPECT_FALSE(Frame().GetAutoKeyPalette().isVisible());
    EXPECT_EQ(Frame().GetPlaybackPalette().GetDocument(), &Doc());
    EXPECT_EQ(MainFrameLink(), &Frame());
    EXPECT_FALSE(std::filesystem::exists(IniPath())) << "the file is made by the first write";
}

TEST_F(Startup, FirstSettingWrittenCreatesTheFile) {
    Start();
    Frame().OnCommand(ID_SECONDS);
    ASSERT_TRUE(std::filesystem::exists(IniPath()));
    EXPECT_EQ(Profile().GetInt("SETTINGS", "SECONDS", -1), 1);
}

TEST_F(Startup, SecondsSurvivesARestart) {
    Start();
    Frame().OnCommand(ID_SECONDS);
    EXPECT_EQ(g_showSeconds, 1);
    EXPECT_TRUE(Frame().ActionFor(ID_SECONDS)->isChecked());
    Stop();
    g_showSeconds = 0;
    Start();
    EXPECT_EQ(g_showSeconds, 1);
    EXPECT_TRUE(Frame().ActionFor(ID_SECONDS)->isChecked());
    Frame().OnCommand(ID_SECONDS);
    Stop();
    Start();
    EXPECT_EQ(g_showSeconds, 0);
    EXPECT_FALSE(Frame().ActionFor(ID_SECONDS)->isChecked());
}

TEST_F(Startup, CommandLineDocumentOpensBeforeVokraDirMovesTheCurrentFolder) {
    const std::string shell = dir_.File("shell");
    const std::string remembered = dir_.File("remembered");
    std::filesystem::create_directories(shell);
    std::filesystem::create_directories(remembered);
    SaveDocument(shell + "/take.vok", 25.0, 9, dir_.File("scratch.INI"));
    SaveDocument(remembered + "/take.vok", 30.0, 11, dir_.File("scratch.INI"));
    Profile().SetPath(IniPath());
    Profile().WriteString("DIRECTORIES", "VOKRADIR", remembered);
    ASSERT_EQ(::chdir(shell.c_str()), 0);

    Start({"take.vok"});
    EXPECT_DOUBLE_EQ(Doc().GetFrameRate(), 25.0) << "the relative path means the shell's folder";
    EXPECT_EQ(Doc().GetPathName(), shell + "/take.vok");
    EXPECT_EQ(Frame().windowTitle(), "take.vok[*] - Vokra");
    // Opening stored the shell's folder, which start-up then applies.
    EXPECT_EQ(g_currentDir, shell);
    EXPECT_EQ(CurrentDir(), shell);
    ASSERT_EQ(Frame().RecentFileActions().size(), 1u);
    EXPECT_EQ(Frame().RecentFileActions()[0]->text().toStdString(), "&1 " + shell + "/take.vok");
}

TEST_F(Startup, VokraDirBecomesTheCurrentFolder) {
    const std::string remembered = dir_.File("remembered");
    std::filesystem::create_directories(remembered);
    Profile().SetPath(IniPath());
    Profile().WriteString("DIRECTORIES", "VOKRADIR", remembered);
    Start();
    EXPECT_EQ(g_currentDir, remembered);
    EXPECT_EQ(CurrentDir(), remembered);
}

TEST_F(Startup, MissingVokraDirLeavesTheCurrentFolder) {
    Profile().SetPath(IniPath());
    Profile().WriteString("DIRECTORIES", "VOKRADIR", dir_.File("gone"));
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
    Start();
    EXPECT_EQ(g_currentDir, dir_.File("gone"));
    EXPECT_EQ(CurrentDir(), dir_.Path());
}

TEST_F(Startup, DocumentThatCannotBeOpenedLeavesANewDocument) {
    const std::string missing = dir_.File("missing.vok");
    messages_->Expect(missing +
                      "\nCannot find this file.\nPlease verify that the correct path and file name "
                      "are given.");
    Start({QString::fromStdString(missing)});
    EXPECT_EQ(Doc().GetPathName(), "");
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Vokra");
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0);
}

TEST_F(Startup, BadSettingsFallBack) {
    Profile().SetPath(IniPath());
    Profile().WriteString("SETTINGS", "FPS_TYPE", "12");
    Profile().WriteString("SETTINGS", "FPS_CUSTOM", "500");
    Profile().WriteString("SETTINGS", "SECONDS", "1");
    Start();
    EXPECT_EQ(Doc().GetFpsPreset(), 7);
    EXPECT_DOUBLE_EQ(Doc().GetCustomFps(), 15.0);
    EXPECT_EQ(g_showSeconds, 1);
}

TEST_F(Startup, PositionChangesBeforeReadyDoNotStopAnything) {
    Start();
    // Once ready, a cursor move is answered by hiding the marker in both panes.
    Frame().SetPlaybackMarkers(3.0, true);
    Doc().GetTimeRange().SetCursor(2.5);
    EXPECT_FALSE(Frame().GetWavePane()->IsMarkerShown());
    EXPECT_FALSE(Frame().GetEnvelopePane()->IsMarkerShown());
    // While start-up is still running the notice is ignored.
    g_appReady = 0;
    Frame().SetPlaybackMarkers(3.0, true);
    Doc().GetTimeRange().SetCursor(4.5);
    EXPECT_TRUE(Frame().GetWavePane()->IsMarkerShown());
    g_appReady = 1;
}

TEST_F(Startup, WindowTitleFollowsTheDocument) {
    Start();
    const std::string path = dir_.File("voice one.vok");
    dialogs_->Answer(path);
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(Frame().windowTitle(), "voice one.vok[*] - Vokra");
    Frame().OnCommand(ID_FILE_NEW);
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Vokra");
}

struct ArgCase {
    std::vector<const char*> args;
    const char* document;
};
void PrintTo(const ArgCase& c, std::ostream* os) {
    for (const char* a : c.args) *os << a << ' ';
    *os << "-> " << c.document;
}
class Startup_CommandLine : public ::testing::TestWithParam<ArgCase> {};

TEST_P(Startup_CommandLine, FindsTheDocumentArgument) {
    QStringList args;
    for (const char* a : GetParam().args) args << QString::fromLatin1(a);
    EXPECT_EQ(DocumentArgument(args), GetParam().document);
}

INSTANTIATE_TEST_SUITE_P(Table, Startup_CommandLine,
                         ::testing::Values(ArgCase{{}, ""}, ArgCase{{"a.vok"}, "a.vok"},
                                           ArgCase{{"--reverse", "a.vok", "b.vok"}, "a.vok"},
                                           ArgCase{{"--", "-odd.vok"}, "-odd.vok"},
                                           ArgCase{{"-x"}, ""}));

}  // namespace
}  // namespace vokra::test

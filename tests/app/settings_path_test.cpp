#include "app/settings_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace vokra {
namespace {

struct PathCase {
    const char* name;
    const char* program;
    const char* vokraIni;
    const char* xdg;
    const char* home;
    bool writable;
    const char* expected;
};
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsPath_Location : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath_Location, FollowsTheProgramOrTheConfigFolder) {
    const PathCase& c = GetParam();
    SettingsPathInputs in;
    in.programPath = c.program;
    in.vokraIni = c.vokraIni;
    in.xdgConfigHome = c.xdg;
    in.home = c.home;
    std::string asked;
    in.folderWritable = [&](const std::string& folder) {
        asked = folder;
        return c.writable;
    };
    EXPECT_EQ(SettingsFilePath(in), c.expected);
    // Only the program's own folder decides whether the file can live beside it.
    if (!*c.vokraIni) {
        EXPECT_EQ(asked, FolderOf(c.program));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsPath_Location,
    ::testing::Values(PathCase{"ExtensionReplaced", "/opt/tool/TOOL.EXE", "", "", "/home/ann", true,
                               "/opt/tool/TOOL.INI"},
                      PathCase{"NoExtensionAppends", "/usr/local/bin/vokra", "", "", "/home/ann",
                               true, "/usr/local/bin/vokra.INI"},
                      PathCase{"DotInFolderIgnored", "/home/ann/my.tools/vokra", "", "",
                               "/home/ann", true, "/home/ann/my.tools/vokra.INI"},
                      PathCase{"LastDotOnly", "/opt/v/vokra.bin.exe", "", "", "/home/ann", true,
                               "/opt/v/vokra.bin.INI"},
                      PathCase{"HiddenNameIsNoExtension", "/home/ann/.vokra", "", "", "/home/ann",
                               true, "/home/ann/.vokra.INI"},
                      PathCase{"EnvironmentWins", "/opt/tool/vokra", "/tmp/t/test.INI", "/x",
                               "/home/ann", true, "/tmp/t/test.INI"},
                      PathCase{"EnvironmentWinsUnwritable", "/usr/bin/vokra", "/tmp/other.ini", "",
                               "/home/ann", false, "/tmp/other.ini"},
                      PathCase{"UnwritableUsesXdg", "/usr/bin/vokra", "", "/home/ann/cfg",
                               "/home/ann", false, "/home/ann/cfg/vokra/vokra.INI"},
                      PathCase{"XdgTrailingSlash", "/usr/bin/vokra", "", "/home/ann/cfg/",
                               "/home/ann", false, "/home/ann/cfg/vokra/vokra.INI"},
                      PathCase{"UnwritableWithoutXdgUsesHome", "/usr/bin/vokra", "", "",
                               "/home/ann", false, "/home/ann/.config/vokra/vokra.INI"},
                      PathCase{"RelativeXdgIgnored", "/usr/bin/vokra", "", "cfg", "/home/ann",
                               false, "/home/ann/.config/vokra/vokra.INI"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

// The current folder moves at start-up and after Open and Save As; a relative VOKRA_INI is taken
// against the folder the program started in, once.
TEST(SettingsPath_Environment, RelativeNameIsMadeAbsoluteOnce) {
    SettingsPathInputs in;
    in.programPath = "/opt/tool/vokra";
    in.vokraIni = "cfg/./v.INI";
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    const std::string expected = std::string(buf) + "/cfg/v.INI";
    EXPECT_EQ(SettingsFilePath(in), expected);
}

struct FolderCase {
    const char* path;
    const char* folder;
};
void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.path;
}
class SettingsPath_FolderOf : public ::testing::TestWithParam<FolderCase> {};

TEST_P(SettingsPath_FolderOf, SplitsAtTheLastSlash) {
    EXPECT_EQ(FolderOf(GetParam().path), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Table, SettingsPath_FolderOf,
                         ::testing::Values(FolderCase{"/usr/bin/vokra", "/usr/bin"},
                                           FolderCase{"/vokra", "/"}, FolderCase{"vokra", "."},
                                           FolderCase{"a/b.INI", "a"}));

}  // namespace
}  // namespace vokra

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
    bool root;
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
    in.runByRoot = c.root;
    std::string asked;
    in.folderWritable = [&](const std::string& folder) {
        asked = folder;
        return c.writable;
    };
    EXPECT_EQ(SettingsFilePath(in), c.expected);
    // Only the program's own folder decides whether the file can live beside it.
    if (!asked.empty()) {
        EXPECT_EQ(asked, FolderOf(c.program));
    }
}

constexpr const char* kAnnXdg = "/home/ann/.config/vokra/vokra.INI";

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsPath_Location,
    ::testing::Values(
        PathCase{"ExtensionReplaced", "/home/ann/tool/TOOL.EXE", "", "", "/home/ann", true, false,
                 "/home/ann/tool/TOOL.INI"},
        PathCase{"NoExtensionAppends", "/home/ann/build/vokra", "", "", "/home/ann", true, false,
                 "/home/ann/build/vokra.INI"},
        PathCase{"DotInFolderIgnored", "/home/ann/my.tools/vokra", "", "", "/home/ann", true, false,
                 "/home/ann/my.tools/vokra.INI"},
        PathCase{"LastDotOnly", "/tmp/v/vokra.bin.exe", "", "", "/home/ann", true, false,
                 "/tmp/v/vokra.bin.INI"},
        PathCase{"HiddenNameIsNoExtension", "/home/ann/.vokra", "", "", "/home/ann", true, false,
                 "/home/ann/.vokra.INI"},
        // An installed program never writes beside itself, even where it could.
        PathCase{"UsrBinWritable", "/usr/bin/vokra", "", "", "/home/ann", true, false, kAnnXdg},
        PathCase{"UsrLocalWritable", "/usr/local/bin/vokra", "", "", "/home/ann", true, false,
                 kAnnXdg},
        PathCase{"OptWritable", "/opt/tool/vokra", "", "", "/home/ann", true, false, kAnnXdg},
        PathCase{"UsrReachedThroughDots", "/home/../usr/bin/vokra", "", "", "/home/ann", true,
                 false, kAnnXdg},
        PathCase{"NameOnlyLikeUsr", "/usrx/bin/vokra", "", "", "/home/ann", true, false,
                 "/usrx/bin/vokra.INI"},
        PathCase{"RootInBuildFolder", "/root/build/vokra", "", "", "/root", true, true,
                 "/root/.config/vokra/vokra.INI"},
        PathCase{"EnvironmentWins", "/opt/tool/vokra", "/tmp/t/test.INI", "/x", "/home/ann", true,
                 false, "/tmp/t/test.INI"},
        PathCase{"EnvironmentWinsForRoot", "/usr/bin/vokra", "/tmp/other.ini", "", "/root", true,
                 true, "/tmp/other.ini"},
        PathCase{"UnwritableUsesXdg", "/home/ann/b/vokra", "", "/home/ann/cfg", "/home/ann", false,
                 false, "/home/ann/cfg/vokra/vokra.INI"},
        PathCase{"XdgTrailingSlash", "/usr/bin/vokra", "", "/home/ann/cfg/", "/home/ann", false,
                 false, "/home/ann/cfg/vokra/vokra.INI"},
        PathCase{"UnwritableWithoutXdgUsesHome", "/home/ann/b/vokra", "", "", "/home/ann", false,
                 false, kAnnXdg},
        PathCase{"RelativeXdgIgnored", "/usr/bin/vokra", "", "cfg", "/home/ann", false, false,
                 kAnnXdg}),
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

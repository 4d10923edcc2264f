#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/ini_text.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// --- Integers: the leading (signed) digits of the value.

struct IntCase {
    const char* name;
    const char* line;  // the key's line in [SETTINGS]
    int want;          // with default 7
};

class IniFile_GetInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniFile_GetInt, ReadsLeadingDigits) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), std::string("[SETTINGS]\n") + GetParam().line + "\n");
    IniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.GetInt("SETTINGS", "FPS_TYPE", 7), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniFile_GetInt,
    ::testing::Values(
        IntCase{"plain", "FPS_TYPE=12", 12}, IntCase{"blanks_around", "FPS_TYPE =  42  ", 42},
        IntCase{"trailing_text", "FPS_TYPE=42abc", 42}, IntCase{"negative", "FPS_TYPE=-3", -3},
        IntCase{"plus", "FPS_TYPE=+5", 5}, IntCase{"no_digits", "FPS_TYPE=abc", 0},
        IntCase{"hex_is_not_read", "FPS_TYPE=0x10", 0},
        IntCase{"decimal_point", "FPS_TYPE=23.976", 23}, IntCase{"quoted", "FPS_TYPE=\"9\"", 9},
        IntCase{"empty_value_is_default", "FPS_TYPE=", 7},
        IntCase{"too_large_saturates", "FPS_TYPE=99999999999", INT_MAX},
        IntCase{"too_small_saturates", "FPS_TYPE=-99999999999", INT_MIN},
        IntCase{"lower_case_key", "fps_type=4", 4},
        IntCase{"other_key_only", "FPS_CUSTOM=23976", 7},
        IntCase{"commented_out", ";FPS_TYPE=3", 7}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Strings and names.

TEST(IniFile_GetString, SectionsAndKeysCompareWithoutCase) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), "[directories]\r\nWaveDir = /home/me/voices \r\n");
    IniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.GetString("DIRECTORIES", "WAVEDIR"), "/home/me/voices");
    EXPECT_EQ(ini.GetString("Directories", "wavedir"), "/home/me/voices");
}

TEST(IniFile_GetString, KeyOfAnotherSectionIsNotSeen) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), "[SETTINGS]\nWAVEDIR=/x\n[DIRECTORIES]\nENVDIR=/y\n");
    IniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.GetString("DIRECTORIES", "WAVEDIR", "none"), "none");
    EXPECT_EQ(ini.GetString("DIRECTORIES", "ENVDIR"), "/y");
}

TEST(IniFile_GetString, MissingFileGivesDefaults) {
    TempDir dir;
    IniFile ini(dir.File("missing.ini"));
    EXPECT_EQ(ini.GetString("DIRECTORIES", "WAVEDIR", "dflt"), "dflt");
    EXPECT_EQ(ini.GetInt("SETTINGS", "SECONDS", 0), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.ini")));
}

TEST(IniFile_GetString, EmptyPathReadsDefaultsAndWritesNothing) {
    IniFile ini;
    EXPECT_EQ(ini.GetInt("SETTINGS", "FPS_TYPE", 7), 7);
    EXPECT_FALSE(ini.WriteInt("SETTINGS", "FPS_TYPE", 3));
    EXPECT_EQ(ini.GetInt("SETTINGS", "FPS_TYPE", 7), 7);
}

TEST(IniFile_GetString, FolderInPlaceOfTheFileGivesDefaults) {
    TempDir dir;
    IniFile ini(dir.Path());
    EXPECT_EQ(ini.GetString("A", "B", "d"), "d");
    EXPECT_FALSE(ini.WriteString("A", "B", "v"));
}

// --- Writing keeps everything else.

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class IniFile_Write : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniFile_Write, ChangesOnlyTheKey) {
    const WriteCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("a.ini");
    if (!c.before.empty()) WriteFile(path, c.before);
    IniFile ini(path);
    EXPECT_TRUE(ini.WriteString(c.section, c.key, c.value));
    EXPECT_EQ(ReadFile(path), c.after);
    EXPECT_EQ(ini.GetString(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniFile_Write,
    ::testing::Values(
        WriteCase{"creates_the_file", "", "SETTINGS", "SECONDS", "1", "[SETTINGS]\nSECONDS=1\n"},
        WriteCase{"replaces_keeping_spelling_and_comments",
                  "; my settings\n[Settings]\nseconds = 0 ; old\nFPS_TYPE=7\n", "SETTINGS",
                  "SECONDS", "1", "; my settings\n[Settings]\nseconds=1\nFPS_TYPE=7\n"},
        WriteCase{"adds_a_key_at_the_end_of_its_section",
                  "[SETTINGS]\nSECONDS=0\n\n; next\n[DIRECTORIES]\nWAVEDIR=/w\n", "SETTINGS",
                  "FPS_TYPE", "3",
                  "[SETTINGS]\nSECONDS=0\nFPS_TYPE=3\n\n; next\n[DIRECTORIES]\nWAVEDIR=/w\n"},
        WriteCase{"adds_a_section_after_a_blank_line", "[SETTINGS]\nSECONDS=0\n", "DIRECTORIES",
                  "ENVDIR", "/e", "[SETTINGS]\nSECONDS=0\n\n[DIRECTORIES]\nENVDIR=/e\n"},
        WriteCase{"keeps_crlf_line_endings", "[SETTINGS]\r\nSECONDS=0\r\n", "SETTINGS", "FPS_TYPE",
                  "3", "[SETTINGS]\r\nSECONDS=0\r\nFPS_TYPE=3\r\n"},
        WriteCase{"file_without_final_newline", "[SETTINGS]\nSECONDS=0", "SETTINGS", "FPS_TYPE",
                  "3", "[SETTINGS]\nSECONDS=0\nFPS_TYPE=3\n"},
        WriteCase{"only_the_first_of_repeated_keys", "[S]\nK=1\nK=2\n", "s", "k", "9",
                  "[S]\nK=9\nK=2\n"},
        WriteCase{"same_key_in_another_section_untouched", "[A]\nK=1\n[B]\nK=2\n", "B", "K", "3",
                  "[A]\nK=1\n[B]\nK=3\n"},
        WriteCase{"value_with_equals_sign", "", "Recent File List", "File1", "/a=b/c.vok",
                  "[Recent File List]\nFile1=/a=b/c.vok\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile_Write, IntegersAreWrittenAsDecimals) {
    TempDir dir;
    IniFile ini(dir.File("a.ini"));
    EXPECT_TRUE(ini.WriteInt("SETTINGS", "FPS_CUSTOM", 23976));
    EXPECT_TRUE(ini.WriteInt("SETTINGS", "FPS_TYPE", -1));
    EXPECT_EQ(ReadFile(dir.File("a.ini")), "[SETTINGS]\nFPS_CUSTOM=23976\nFPS_TYPE=-1\n");
}

TEST(IniFile_Write, RefusesValuesThatWouldAddLines) {
    TempDir dir;
    IniFile ini(dir.File("a.ini"));
    EXPECT_FALSE(ini.WriteString("DIRECTORIES", "WAVEDIR", "/x\n[SETTINGS]\nFPS_TYPE=0"));
    EXPECT_FALSE(ini.WriteString("SET]TINGS", "A", "1"));
    EXPECT_FALSE(ini.WriteString("S", "A=B", "1"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.ini")));
}

TEST(IniFile_Write, ReadOnlyFileIsLeftAlone) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFile(path, "[SETTINGS]\nSECONDS=0\n");
    ::chmod(path.c_str(), 0444);
    IniFile ini(path);
    EXPECT_FALSE(ini.WriteString("SETTINGS", "SECONDS", "1"));
    EXPECT_EQ(ReadFile(path), "[SETTINGS]\nSECONDS=0\n");
}

TEST(IniFile_Write, DeleteKeyRemovesOnlyThatLine) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFile(path, "[Recent File List]\nFile1=/a.vok\nFile2=/b.vok\n[X]\nFile2=keep\n");
    IniFile ini(path);
    EXPECT_TRUE(ini.DeleteKey("recent file list", "file2"));
    EXPECT_FALSE(ini.DeleteKey("recent file list", "file2"));
    EXPECT_EQ(ReadFile(path), "[Recent File List]\nFile1=/a.vok\n[X]\nFile2=keep\n");
}

TEST(IniFile_Write, LeavesNoTemporaryFilesBehind) {
    TempDir dir;
    IniFile ini(dir.File("a.ini"));
    for (int i = 0; i < 5; ++i) ini.WriteInt("S", "K" + std::to_string(i), i);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(IniText_Parse, SurvivesOddLines) {
    IniText text("garbage\n[unterminated\nk=v\n[]\n=novalue\n[S]\n  key  =  \"quoted\"  \n");
    EXPECT_EQ(text.Get("unterminated", "k").value_or("none"), "v");
    EXPECT_EQ(text.Get("S", "key").value_or("none"), "quoted");
    EXPECT_FALSE(text.Get("S", "missing").has_value());
}

TEST(IniFile_Profile, FollowsTheSetPath) {
    TempDir dir;
    const std::string saved = Profile().Path();
    Profile().SetPath(dir.File("p.ini"));
    EXPECT_TRUE(Profile().WriteInt("SETTINGS", "SECONDS", 1));
    EXPECT_EQ(IniFile(dir.File("p.ini")).GetInt("SETTINGS", "SECONDS", 0), 1);
    Profile().SetPath(saved);
}

// --- Two running copies, and files too large to be settings.

// Each copy's write is a read-modify-write of the whole file; without a lock between copies,
// one's write is lost whenever the other read the file before it.
TEST(IniFile_Concurrent, TwoProcessesLoseNoWrite) {
    TempDir dir;
    const std::string path = dir.File("shared.ini");
    constexpr int kWrites = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            IniFile ini(path);
            bool ok = true;
            for (int i = 0; i < kWrites; ++i)
                ok = ini.WriteInt("S", "c" + std::to_string(c) + "k" + std::to_string(i), i) && ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    IniFile ini(path);
    int lost = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kWrites; ++i) {
            if (ini.GetInt("S", "c" + std::to_string(c) + "k" + std::to_string(i), -1) != i) ++lost;
        }
    }
    EXPECT_EQ(lost, 0);
}

TEST(IniFile_Limit, OversizedFileGivesDefaultsAndIsNeverRewritten) {
    TempDir dir;
    const std::string path = dir.File("big.ini");
    std::string text = "[SETTINGS]\nSECONDS=1\n";
    text.resize(IniFile::kMaxBytes + 1, ';');
    WriteFile(path, text);
    IniFile ini(path);
    EXPECT_TRUE(ini.IsTooLarge());
    EXPECT_EQ(ini.GetInt("SETTINGS", "SECONDS", 7), 7);
    EXPECT_FALSE(ini.WriteInt("SETTINGS", "SECONDS", 0));
    EXPECT_EQ(ReadFile(path), text);
}

// A file just under the limit: the write that would take it over is refused with one message, so
// the next start still reads every setting; a write that does not grow it still goes through.
TEST(IniFile_Limit, OwnWritesNeverTakeTheFilePastWhatIsRead) {
    TempDir dir;
    const std::string path = dir.File("full.ini");
    std::string text = "[SETTINGS]\nSECONDS=1\n[Recent File List]\n";
    while (text.size() + 40 < IniFile::kMaxBytes) text += "File=/a/long/folder/of/takes/x.vok\n";
    WriteFile(path, text);
    IniFile ini(path);
    test::ScriptedMessages messages;
    messages.AllowAny();
    EXPECT_FALSE(ini.WriteString("WINDOW", "Layout", std::string(100, 'x')));
    EXPECT_FALSE(ini.WriteString("WINDOW", "Layout", std::string(100, 'y')));
    EXPECT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(ReadFile(path), text);
    EXPECT_TRUE(ini.WriteInt("SETTINGS", "SECONDS", 0));
    EXPECT_EQ(IniFile(path).GetInt("SETTINGS", "SECONDS", 7), 0);
}

// Reads are served from what was parsed until the file changes; a change of the same size made
// by someone else within the same second must still be seen.
TEST(IniFile_Cache, SeesEveryChangeToTheFile) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFile(path, "[S]\nK=1\n");
    IniFile ini(path);
    EXPECT_EQ(ini.GetInt("S", "K", 0), 1);
    WriteFile(path, "[S]\nK=2\n");
    EXPECT_EQ(ini.GetInt("S", "K", 0), 2);
    IniFile other(path);
    ASSERT_TRUE(other.WriteInt("S", "K", 3));
    EXPECT_EQ(ini.GetInt("S", "K", 0), 3);
    std::filesystem::remove(path);
    EXPECT_EQ(ini.GetInt("S", "K", 0), 0);
}

// --- A settings file that is a symbolic link to a file not made yet (a dotfiles set-up).

struct DanglingCase {
    const char* name;
    const char* target;  // where the link points, relative to the test folder
    bool saved;          // the write goes through and the link's target holds it
};

class IniFile_DanglingLink : public ::testing::TestWithParam<DanglingCase> {};

// Each write once looped for good between "not there" and "already there"; now it makes the
// link's target, or, when that cannot be made, says so once and the program runs on.
TEST_P(IniFile_DanglingLink, WritesThroughOrSaysOnceAndGoesOn) {
    TempDir dir;
    const std::string link = dir.File("vokra.INI");
    const std::string target = dir.File(GetParam().target);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    IniFile ini(link);
    test::ScriptedMessages messages;
    messages.AllowAny();
    EXPECT_EQ(ini.WriteInt("SETTINGS", "SECONDS", 4), GetParam().saved);
    EXPECT_EQ(ini.WriteInt("SETTINGS", "FPS_TYPE", 2), GetParam().saved);
    EXPECT_EQ(ini.GetInt("SETTINGS", "SECONDS", 0), GetParam().saved ? 4 : 0);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    if (GetParam().saved) {
        EXPECT_EQ(IniFile(target).GetInt("SETTINGS", "FPS_TYPE", 0), 2);
        EXPECT_TRUE(messages.Shown().empty());
    } else {
        EXPECT_EQ(messages.Shown().size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, IniFile_DanglingLink,
                         ::testing::Values(DanglingCase{"TargetNotMadeYet", "real.INI", true},
                                           DanglingCase{"IntoMissingFolder", "gone/real.INI",
                                                        false},
                                           DanglingCase{"LinkToItself", "vokra.INI", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- A settings path that names no file: /dev/null, a named pipe, a folder.

struct NotAFileCase {
    const char* name;
    const char* kind;                       // as the message says it
    bool (*make)(const std::string& path);  // false when this machine cannot make it
};

class IniFile_NotAFile : public ::testing::TestWithParam<NotAFileCase> {};

// Each write once went nowhere without a word; now the first says so, the program runs on with
// its defaults, and what is there is left as it was.
TEST_P(IniFile_NotAFile, SaysOnceAndLeavesItAlone) {
    TempDir dir;
    std::string path = dir.File("vokra.INI");
    if (std::string(GetParam().name) == "DevNull") {
        path = "/dev/null";
    } else {
        ASSERT_TRUE(GetParam().make(path));
    }
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    IniFile ini(path);
    test::ScriptedMessages messages;
    messages.Expect(std::string("The settings file is ") + GetParam().kind +
                    ", not a file:\n     " + path + "\nSettings will not be saved.");
    EXPECT_FALSE(ini.WriteInt("SETTINGS", "SECONDS", 4));
    EXPECT_FALSE(ini.WriteString("WINDOW", "STATE", "max"));
    EXPECT_FALSE(ini.DeleteKey("SETTINGS", "SECONDS"));
    messages.VerifyAllShown();
    EXPECT_EQ(ini.GetInt("SETTINGS", "SECONDS", 7), 7);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

INSTANTIATE_TEST_SUITE_P(Kinds, IniFile_NotAFile,
                         ::testing::Values(NotAFileCase{"DevNull", "a device", nullptr},
                                           NotAFileCase{"NamedPipe", "a named pipe",
                                                        [](const std::string& p) {
                                                            return ::mkfifo(p.c_str(), 0644) == 0;
                                                        }},
                                           NotAFileCase{"Folder", "a folder",
                                                        [](const std::string& p) {
                                                            return ::mkdir(p.c_str(), 0755) == 0;
                                                        }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

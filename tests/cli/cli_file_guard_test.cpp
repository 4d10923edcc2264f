// vokra-cli never writes over what it reads, nor two outputs onto one file, whatever way the names
// meet: the same name, `./`, `..`, a symbolic link, a hard link or a bind-mounted folder. Run as a
// separate process, as a user runs it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tests/cli/cli_process_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

namespace fs = std::filesystem;

// `from` bound over `at` for the object's life; unmounted however the test ends.
class BindMount {
public:
    BindMount(const std::string& from, const std::string& at) : at_(at) {
        mounted_ = ::mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

// Every file under `folder` with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) files[e.path().string()] = test::ReadFile(e.path().string());
    }
    return files;
}

// The files of a run live in real/; "view" is a second name for that folder (a bind mount or a
// symbolic link, made by the case that needs it).
class CliFileGuard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::create_directory(dir_.File("real")));
        ASSERT_TRUE(fs::create_directory(dir_.File("view")));
        test::WriteFile(dir_.File("real/voice.wav"), test::MakeWav16(test::VoiceLike(1.0), 22050));
        test::WriteFile(dir_.File("real/line.txt"), "Hello there, how are you?\n");
    }
    test::CliRun Run(std::vector<std::string> args) {
        return test::RunCliProcess(dir_, std::move(args), dir_.Path());
    }
    // The bind mount of real/ on view/; false (the test skipped) where this user cannot mount.
    bool BindView() {
        if (::geteuid() != 0) return false;
        mount_ = std::make_unique<BindMount>(dir_.File("real"), dir_.File("view"));
        return mount_->Mounted();
    }

    test::TempDir dir_;
    std::unique_ptr<BindMount> mount_;  // destroyed before dir_: unmounted before removal
};

// --- Item: an output naming one of the run's inputs.

enum class Alias {
    SameName,
    DotSlash,
    DotDot,
    DotDotAfterALink,
    SymbolicLink,
    HardLink,
    BindMount
};

struct InputCase {
    const char* name;
    const char* input;              // the file guarded, under real/
    std::vector<std::string> args;  // {in}: the input's own name, {out}: the alias to it
    const char* says;               // the message names what would be lost
};

class CliFileGuard_Inputs : public CliFileGuard,
                            public ::testing::WithParamInterface<std::tuple<InputCase, Alias>> {};

// Each once ran with exit 0 and the script or recording replaced by the run's output. Now
// nothing is written and the message names the file that would have been lost.
TEST_P(CliFileGuard_Inputs, NoOutputReplacesAnInput) {
    const auto& [c, alias] = GetParam();
    const std::string in = std::string("real/") + c.input;
    if (std::string(c.input) == "doc.vok") {
        ASSERT_EQ(Run({"autokey", "real/voice.wav", "--vok", in}).exit, 0);
    }
    std::string out;
    switch (alias) {
        case Alias::SameName:
            out = in;
            break;
        case Alias::DotSlash:
            out = "./" + in;
            break;
        case Alias::DotDot:
            out = "view/../" + in;
            break;
        case Alias::DotDotAfterALink:
            // "deep/.." is real/ to the kernel but "." to a writer that tidies the name first:
            // either way the run must not write there.
            ASSERT_TRUE(fs::create_directory(dir_.File("real/sub")));
            ASSERT_EQ(::symlink("real/sub", dir_.File("deep").c_str()), 0);
            out = "deep/../" + in;
            break;
        case Alias::SymbolicLink:
            out = "alias";
            ASSERT_EQ(::symlink(in.c_str(), dir_.File(out).c_str()), 0);
            break;
        case Alias::HardLink:
            out = "alias";
            ASSERT_EQ(::link(dir_.File(in).c_str(), dir_.File(out).c_str()), 0);
            break;
        case Alias::BindMount:
            if (!BindView())
                GTEST_SKIP()
                    << "bind mounts (mount --bind) need root and a system that allows them";
            out = std::string("view/") + c.input;
            break;
    }
    std::vector<std::string> args;
    for (std::string a : c.args) args.push_back(a == "{in}" ? in : a == "{out}" ? out : a);
    const auto before = Snapshot(dir_.File("real"));

    const test::CliRun r = Run(args);
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(dir_.File("real")), before);
}

const InputCase kInputCases[] = {
    {"ShapesOverScript",
     "line.txt",
     {"shapes", "real/voice.wav", "--text", "{in}", "--language", "en-us", "-o", "{out}"},
     "-o cannot replace the script (--text) itself"},
    {"AutoKeyKeysOverScript",
     "line.txt",
     {"autokey", "real/voice.wav", "--shapes", "--text", "{in}", "--language", "en-us", "-o",
      "{out}"},
     "-o cannot replace the script (--text) itself"},
    {"AutoKeyEnvelopeOverScript",
     "line.txt",
     {"autokey", "real/voice.wav", "--shapes", "--text", "{in}", "--language", "en-us", "--env",
      "{out}"},
     "--env cannot replace the script (--text) itself"},
    {"AutoKeyDocumentOverScript",
     "line.txt",
     {"autokey", "real/voice.wav", "--shapes", "--text", "{in}", "--language", "en-us", "--vok",
      "{out}"},
     "--vok cannot replace the script (--text) itself"},
    {"UpdateEnvelopeOverScript",
     "line.txt",
     {"autokey", "real/voice.wav", "--update", "real/doc.vok", "--shapes", "--text", "{in}",
      "--language", "en-us", "--env", "{out}"},
     "--env cannot replace the script (--text) itself"},
    {"UpdateTheScript",
     "line.txt",
     {"autokey", "real/voice.wav", "--update", "{out}", "--shapes", "--text", "{in}", "--language",
      "en-us"},
     "--update cannot replace the script (--text) itself"},
    {"ShapesOverRecording",
     "voice.wav",
     {"shapes", "{in}", "-o", "{out}"},
     "-o cannot replace the recording itself"},
    {"AutoKeyEnvelopeOverRecording",
     "voice.wav",
     {"autokey", "{in}", "--env", "{out}"},
     "--env cannot replace the recording itself"},
    {"ConvertOverRecording",
     "voice.wav",
     {"convert", "{in}", "{out}"},
     "The converted copy cannot replace the recording itself"},
    {"ExportOverDocument",
     "doc.vok",
     {"export", "{in}", "--format", "csv", "-o", "{out}"},
     "-o cannot replace the document itself"},
};

std::string InputCaseName(const ::testing::TestParamInfo<std::tuple<InputCase, Alias>>& info) {
    static const char* const kAlias[] = {"SameName",     "DotSlash", "DotDot",   "DotDotAfterALink",
                                         "SymbolicLink", "HardLink", "BindMount"};
    return std::string(std::get<0>(info.param).name) + "_" +
           kAlias[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliFileGuard_Inputs,
    ::testing::Combine(::testing::ValuesIn(kInputCases),
                       ::testing::Values(Alias::SameName, Alias::DotSlash, Alias::DotDot,
                                         Alias::DotDotAfterALink, Alias::SymbolicLink,
                                         Alias::HardLink, Alias::BindMount)),
    InputCaseName);

// --- Item: two outputs not made yet, meeting in one folder under two names.

enum class Folder { BindMount, SymbolicLink, DotDotThroughALink };

class CliFileGuard_NewOutputs : public CliFileGuard,
                                public ::testing::WithParamInterface<Folder> {};

// The envelope and the document went to view/take and real/take: exit 0 and one of them lost.
// The folder's device and inode with the name show them as one file before anything is written.
TEST_P(CliFileGuard_NewOutputs, TwoNamesOfOneNewFileAreRefused) {
    std::string other;
    switch (GetParam()) {
        case Folder::BindMount:
            if (!BindView())
                GTEST_SKIP()
                    << "bind mounts (mount --bind) need root and a system that allows them";
            other = "view/take";
            break;
        case Folder::SymbolicLink:
            ASSERT_EQ(::symlink("real", dir_.File("linked").c_str()), 0);
            other = "linked/take";
            break;
        case Folder::DotDotThroughALink:
            // linked/.. is real/ itself, not the folder holding the link.
            ASSERT_TRUE(fs::create_directory(dir_.File("real/sub")));
            ASSERT_EQ(::symlink("real/sub", dir_.File("linked").c_str()), 0);
            other = "linked/../take";
            break;
    }
    const auto before = Snapshot(dir_.File("real"));
    const test::CliRun r = Run({"autokey", "real/voice.wav", "--env", "real/take", "--vok", other});
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_NE(r.err.find("--env and --vok name one file: " + other), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(dir_.File("real")), before);

    // Two names that really are two files still go ahead.
    const test::CliRun apart =
        Run({"autokey", "real/voice.wav", "--env", "real/take.env", "--vok", other + ".vok"});
    EXPECT_EQ(apart.exit, 0) << apart.err;
    EXPECT_TRUE(fs::exists(dir_.File("real/take.env")));
    EXPECT_TRUE(fs::exists(dir_.File("take.vok")) || fs::exists(dir_.File("real/take.vok")));
}

std::string FolderName(const ::testing::TestParamInfo<Folder>& info) {
    static const char* const kFolder[] = {"BindMount", "SymbolicLink", "DotDotThroughALink"};
    return kFolder[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Table, CliFileGuard_NewOutputs,
                         ::testing::Values(Folder::BindMount, Folder::SymbolicLink,
                                           Folder::DotDotThroughALink),
                         FolderName);

}  // namespace
}  // namespace vokra

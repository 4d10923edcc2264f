// The copy of the old bytes a save in place keeps beside a hard-linked document
// (".a.vok.vokra-old"): whatever else lies under that name is never restored, written through or
// removed, whichever command meets it; a copy provably left by a save stopped half-way is put back
// only by a command that writes the document, and a command that only reads just says so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_steps.h"
#include "document/vokra_doc.h"
#include "platform/archive.h"
#include "platform/keep_file.h"
#include "tests/cli/cli_process_run.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::ReadFile;
using test::WriteFile;

enum class Planted {
    AnotherDocument,
    TextFile,
    Mode000File,
    HardLinkToAnotherFile,
    Symlink,
    DanglingSymlink,
    Folder,
    Fifo,
    InterruptedSave,
    SavedAgainThroughHardLink,
};
enum class Command { Open, Info, Save, Edit };

const char* NameOf(Planted p) {
    constexpr const char* names[] = {"AnotherDocument", "TextFile",
                                     "Mode000File",     "HardLinkToAnotherFile",
                                     "Symlink",         "DanglingSymlink",
                                     "Folder",          "Fifo",
                                     "InterruptedSave", "SavedAgainThroughHardLink"};
    return names[static_cast<int>(p)];
}
const char* NameOf(Command c) {
    constexpr const char* names[] = {"Open", "Info", "Save", "Edit"};
    return names[static_cast<int>(c)];
}

// A document's file with `keys` keys at `opening`: several 4 KiB blocks for a few hundred.
std::string DocumentBytes(int keys, float opening) {
    CVokraDoc doc;
    ResetWithoutSettings(doc);
    for (int f = 0; f < keys; ++f) doc.GetKeys().SetKey(Keyframe(f, opening));
    Archive ar;
    doc.Serialize(ar);
    return ar.Bytes();
}

int KeyCount(const std::string& path) {
    CVokraDoc doc;
    test::ScriptedMessages quiet;
    quiet.AllowAny();
    return doc.DocumentBase::OnOpenDocument(path) ? doc.GetKeys().GetCount() : -1;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class KeepFile_Planted : public ::testing::TestWithParam<std::tuple<Planted, Command>> {
protected:
    std::string Path(const char* name) const { return dir_.File(name); }
    test::TempDir dir_;
};

TEST_P(KeepFile_Planted, OnlyAProvablyInterruptedSaveIsPutBack) {
    const auto [planted, command] = GetParam();
    const std::string a = Path("a.vok");
    const std::string b = Path("b.vok");
    const std::string keep = Path(".a.vok.vokra-old");
    const std::string v1 = DocumentBytes(600, 0.25f);  // before the interrupted save
    const std::string v2 = DocumentBytes(900, 0.5f);   // what it was writing
    WriteFile(a, v1);
    ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);  // a second name: saves write in place

    enum class Kind { Ours, Foreign, ChangedSince, InTheWay } kind = Kind::Foreign;
    switch (planted) {
        case Planted::AnotherDocument:
            WriteFile(keep, DocumentBytes(5, 1.0f));
            break;
        case Planted::TextFile:
            WriteFile(keep, "remember the milk\n");
            break;
        case Planted::Mode000File:
            WriteFile(keep, "private");
            ASSERT_EQ(::chmod(keep.c_str(), 0), 0);
            break;
        case Planted::HardLinkToAnotherFile:
            WriteFile(Path("other.txt"), "another file");
            ASSERT_EQ(::link(Path("other.txt").c_str(), keep.c_str()), 0);
            break;
        case Planted::Symlink:
            WriteFile(Path("victim.txt"), "a file the user can write");
            ASSERT_EQ(::symlink(Path("victim.txt").c_str(), keep.c_str()), 0);
            kind = Kind::InTheWay;
            break;
        case Planted::DanglingSymlink:
            ASSERT_EQ(::symlink(Path("made.txt").c_str(), keep.c_str()), 0);
            kind = Kind::InTheWay;
            break;
        case Planted::Folder:
            ASSERT_EQ(::mkdir(keep.c_str(), 0755), 0);
            kind = Kind::InTheWay;
            break;
        case Planted::Fifo:
            ASSERT_EQ(::mkfifo(keep.c_str(), 0644), 0);
            kind = Kind::InTheWay;
            break;
        case Planted::InterruptedSave:
        case Planted::SavedAgainThroughHardLink: {
            // What a save of a.vok killed after its first block leaves: the copy, and new bytes
            // over the head of the old ones.
            struct stat st {};
            ASSERT_EQ(::stat(a.c_str(), &st), 0);
            WriteFile(keep, MakeKeepFile(st, v1, v2));
            const int fd = ::open(a.c_str(), O_WRONLY);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, v2.data(), 4096, 0), 4096);
            ::close(fd);
            kind = Kind::Ours;
            if (planted == Planted::SavedAgainThroughHardLink) {
                // ... and then the user saved through the other name.
                WriteFile(b, DocumentBytes(700, 0.75f));
                kind = Kind::ChangedSince;
            }
            break;
        }
    }
    const std::string docBefore = ReadFile(a);
    struct stat keepBefore {};
    ASSERT_EQ(::lstat(keep.c_str(), &keepBefore), 0);
    const std::string keepBytes = S_ISREG(keepBefore.st_mode) ? ReadFile(keep) : std::string();

    std::string said;
    int exit = 0;
    switch (command) {
        case Command::Open: {
            test::ScriptedMessages messages;
            messages.AllowAny();
            CVokraDoc doc;
            ResetWithoutSettings(doc);
            (void)doc.OnOpenDocument(a);
            for (const std::string& text : messages.Texts()) said += text + "\n";
            break;
        }
        case Command::Save: {
            test::ScriptedMessages messages;
            messages.AllowAny();
            CVokraDoc doc;
            ResetWithoutSettings(doc);
            for (int f = 0; f < 300; ++f) doc.GetKeys().SetKey(Keyframe(f, 1.0f));
            exit = doc.OnSaveDocument(a) ? 0 : 1;
            for (const std::string& text : messages.Texts()) said += text + "\n";
            break;
        }
        case Command::Info:
        case Command::Edit: {
            const test::CliRun run = command == Command::Info
                                         ? test::RunCliProcess(dir_, {"info", a})
                                         : test::RunCliProcess(dir_, {"edit", a, "--set", "2:1.5"});
            exit = run.exit;
            said = run.err;
            break;
        }
    }

    const bool writes = command == Command::Save || command == Command::Edit;
    const bool readsOnly = !writes;
    struct stat keepAfter {};
    const bool keepThere = ::lstat(keep.c_str(), &keepAfter) == 0;
    if (kind == Kind::Ours && command != Command::Info) {
        // Put back, then (for a save) written over as a whole; the copy is gone.
        EXPECT_FALSE(keepThere);
        if (command == Command::Open) {
            EXPECT_EQ(ReadFile(a), v1);
            EXPECT_EQ(Count(said,
                            "a.vok\nwas being saved when the program stopped. The version "
                            "from before that save has been put back."),
                      1)
                << said;
        } else {
            EXPECT_EQ(exit, 0) << said;
            EXPECT_EQ(KeyCount(a), command == Command::Edit ? 600 : 300);
        }
    } else {
        // Nothing changed on disk, whatever the command.
        EXPECT_EQ(ReadFile(a), docBefore);
        ASSERT_TRUE(keepThere);
        EXPECT_EQ(keepAfter.st_ino, keepBefore.st_ino);
        EXPECT_EQ(keepAfter.st_mode, keepBefore.st_mode);
        if (S_ISREG(keepBefore.st_mode)) {
            EXPECT_EQ(ReadFile(keep), keepBytes);
        }
        std::string expected;
        if (writes) {
            EXPECT_NE(exit, 0);
            expected = kind == Kind::InTheWay ? " in the way: a save of " + a
                                              : " holds a file that does not belong to this save";
        } else if (kind == Kind::Ours) {
            expected = "was being saved when the program stopped, and is incomplete.";
        } else if (kind == Kind::Foreign) {
            expected = "but cannot be shown to hold the version from before an unfinished save";
        } else if (kind == Kind::ChangedSince) {
            expected = "has changed since a save of it stopped half-way";
        }
        if (expected.empty()) {
            EXPECT_EQ(Count(said, keep), 0) << said;
        } else {
            EXPECT_EQ(Count(said, expected), 1) << said;
            EXPECT_GE(Count(said, keep), 1) << said;
        }
        if (readsOnly && kind != Kind::Ours && command == Command::Info) {
            EXPECT_EQ(exit, 0) << said;
        }
    }
    EXPECT_EQ(ReadFile(a), ReadFile(b));
    // Nothing a link names was written or made.
    if (planted == Planted::Symlink) {
        EXPECT_EQ(ReadFile(Path("victim.txt")), "a file the user can write");
    }
    if (planted == Planted::HardLinkToAnotherFile) {
        EXPECT_EQ(ReadFile(Path("other.txt")), "another file");
    }
    EXPECT_FALSE(std::filesystem::exists(Path("made.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    KindsByCommands, KeepFile_Planted,
    ::testing::Combine(
        ::testing::Values(Planted::AnotherDocument, Planted::TextFile, Planted::Mode000File,
                          Planted::HardLinkToAnotherFile, Planted::Symlink,
                          Planted::DanglingSymlink, Planted::Folder, Planted::Fifo,
                          Planted::InterruptedSave, Planted::SavedAgainThroughHardLink),
        ::testing::Values(Command::Open, Command::Info, Command::Save, Command::Edit)),
    [](const auto& info) {
        return std::string(NameOf(std::get<0>(info.param))) + "_" + NameOf(std::get<1>(info.param));
    });

// The copy a save in place makes is the document's own: its mode and owner, from its first byte.
TEST(KeepFile_Made, HasTheDocumentsModeAndOwner) {
    test::TempDir dir;
    const std::string doc = dir.File("a.vok");
    WriteFile(doc, "old bytes");
    ASSERT_EQ(::chmod(doc.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(doc.c_str(), 1234, 5678), 0);
    }
    struct stat st {};
    ASSERT_EQ(::stat(doc.c_str(), &st), 0);
    KeepWriter writer;
    std::string reason;
    bool folderRefused = false;
    ASSERT_TRUE(writer.Make(doc, st, "old bytes", "new bytes", reason, folderRefused)) << reason;
    struct stat kept {};
    ASSERT_EQ(::lstat(KeepPath(doc).c_str(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
    EXPECT_EQ(kept.st_gid, st.st_gid);
    if (root) {
        EXPECT_EQ(kept.st_uid, 1234u);
    }
    // A second one cannot be made over it.
    KeepWriter second;
    EXPECT_FALSE(second.Make(doc, st, "old bytes", "new bytes", reason, folderRefused));
    EXPECT_NE(reason.find(" is a file in the way"), std::string::npos) << reason;
    writer.Remove();
    EXPECT_FALSE(std::filesystem::exists(KeepPath(doc)));
}

}  // namespace
}  // namespace vokra

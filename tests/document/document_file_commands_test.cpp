// The framework's File commands around the document: opening, saving, the save prompt, and that
// a failed save never damages the file that was there.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "document/key_export_command.h"
#include "document/vok_file.h"
#include "platform/atomic_file.h"
#include "platform/recent_file_list.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

constexpr const char* kFailedToSave = "Failed to save document.";

std::string Failed(const std::string& reason) {
    return std::string(kFailedToSave) + "\n" + reason;
}

// Runs `body` in a child process as an ordinary user when the tests run as the superuser (who
// writes into read-only folders), after handing `folder` and what is in it to that user. Returns
// what `body` returned (0..127), or -1.
int AsAnotherUser(const std::string& folder, const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        (void)::lchown(e.path().c_str(), kNobody, kNobody);
    }
    (void)::chown(folder.c_str(), kNobody, kNobody);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
        ::_exit(body() & 0x7f);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string CannotFind(const std::string& path) {
    return path +
           "\nCannot find this file.\nPlease verify that the correct path and file name "
           "are given.";
}

int FilesIn(const std::string& folder) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        ++n;
    }
    return n;
}

// The soft file-size limit, with SIGXFSZ ignored, stands in for a full disk: writes beyond it
// fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t oldHandler_;
};

class DocumentFile_Save : public DocFixture {
protected:
    // A document with enough keys that its file is a few kilobytes.
    CVokraDoc& BigDoc() {
        CVokraDoc& doc = NewDoc();
        for (int f = 0; f < 400; ++f) doc.GetKeys().SetKey(Keyframe(f, 0.5f));
        doc.SetModifiedFlag();
        return doc;
    }
};

TEST_F(DocumentFile_Save, WritesAndMarksUnmodified) {
    CVokraDoc& doc = BigDoc();
    const std::string path = dir_.File("a.vok");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), "a.vok");
    EXPECT_EQ(ReadFile(path).size(), 71u + 400 * 12);
    EXPECT_EQ(FilesIn(dir_.Path()), 1);  // no temporary file left (the INI is elsewhere? no)
}

TEST_F(DocumentFile_Save, FullDiskKeepsTheOldFileByteForByte) {
    const std::string path = dir_.File("a.vok");
    WriteFile(path, "the last good document");
    CVokraDoc& doc = BigDoc();
    messages_->Expect(Failed("The file is larger than this disk or account allows."));
    bool saved;
    {
        FileSizeLimit limit(1000);
        saved = doc.OnSaveDocument(path);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(path), "the last good document");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(FilesIn(dir_.Path()), 1);
}

TEST_F(DocumentFile_Save, ReadOnlyFileIsNotReplaced) {
    const std::string path = dir_.File("a.vok");
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0444);
    CVokraDoc& doc = BigDoc();
    messages_->Expect(Failed("The file is read-only."));
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFile(path), "old");
}

TEST_F(DocumentFile_Save, FolderInPlaceOfTheFileFails) {
    const std::string path = dir_.File("a.vok");
    std::filesystem::create_directory(path);
    CVokraDoc& doc = BigDoc();
    messages_->Expect(Failed("Something other than a file is in the way under that name."));
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(DocumentFile_Save, FolderThatIsAFileFails) {
    WriteFile(dir_.File("plain"), "x");
    CVokraDoc& doc = BigDoc();
    messages_->Expect(Failed("The folder does not exist."));
    EXPECT_FALSE(doc.OnSaveDocument(dir_.File("plain/a.vok")));
    EXPECT_EQ(ReadFile(dir_.File("plain")), "x");
}

// A folder that takes no new files: the file itself is still writable, so it is written in place.
TEST_F(DocumentFile_Save, ReadOnlyFolderWritesTheFileInPlace) {
    const std::string folder = dir_.File("ro");
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/a.vok", "old");
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir_.Path().c_str(), 0755);
    const int result = AsAnotherUser(folder, [&] {
        std::string reason;
        const bool replaced = WriteFileAtomically(folder + "/a.vok", "new");
        const bool created = WriteFileAtomically(folder + "/b.vok", "new", &reason);
        return (replaced ? 1 : 0) | (created ? 0 : 2) |
               (reason == "Permission denied: the file or its folder cannot be written." ? 4 : 0) |
               (FilesIn(folder) == 1 ? 8 : 0);
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(result, 15);
    EXPECT_EQ(ReadFile(folder + "/a.vok"), "new");
}

// Through a symbolic link the save goes to its target, which a dangling link's save creates when
// its folder exists; the link stays a link either way.
struct LinkCase {
    const char* name;
    const char* target;  // as the link holds it, relative to the link's folder
    bool exists;
    bool folderExists;
};

class DocumentFile_SaveLink : public DocumentFile_Save,
                              public ::testing::WithParamInterface<LinkCase> {};

TEST_P(DocumentFile_SaveLink, WritesThroughTheLinkAndKeepsIt) {
    const LinkCase& c = GetParam();
    const std::string real = dir_.File(c.target);
    if (c.exists) WriteFile(real, "old");
    std::filesystem::create_symlink(c.target, dir_.File("link.vok"));
    CVokraDoc& doc = BigDoc();
    if (!c.folderExists) messages_->Expect(Failed("The folder does not exist."));
    EXPECT_EQ(doc.OnSaveDocument(dir_.File("link.vok")), c.folderExists);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.vok")));
    if (c.folderExists) {
        EXPECT_EQ(ReadFile(real).size(), 71u + 400 * 12);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DocumentFile_SaveLink,
                         ::testing::Values(LinkCase{"ToAFile", "real.vok", true, true},
                                           LinkCase{"Dangling", "new.vok", false, true},
                                           LinkCase{"IntoNoFolder", "gone/new.vok", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocumentFile_Save, ReplacedFileKeepsItsPermissions) {
    const std::string path = dir_.File("a.vok");
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0640);
    CVokraDoc& doc = BigDoc();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(DocumentFile_Save, HardLinkedFileStaysOneFileWithItsOwner) {
    const std::string path = dir_.File("a.vok");
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0604);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    std::filesystem::create_hard_link(path, dir_.File("other-name.vok"));
    CVokraDoc& doc = BigDoc();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFile(dir_.File("other-name.vok")), ReadFile(path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(FilesIn(dir_.Path()), 2);
    // A file with one name is replaced, and keeps its owner too.
    std::filesystem::remove(dir_.File("other-name.vok"));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(st.st_mode & 0777, 0604u);
}

// A save killed before it completes must leave nothing behind; one left by an older version is
// cleared by the next save of that file.
TEST_F(DocumentFile_Save, KilledSaveLeavesNoTemporaryFile) {
    const std::string path = dir_.File("a.vok");
    WriteFile(path, "old");
    WriteFile(dir_.File(".a.vok.notours.tmp"), "kept");
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile file(path);
        const bool written = file.Open() && file.Write(std::string(100000, 'n'));
        ::_exit(written ? 0 : 1);  // dies before Commit, as a killed save does
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(FilesIn(dir_.Path()), 2);

    // Old leftovers: only the exact form this program makes, with its marker, is swept; names
    // of the same shape that another program made are its own business.
    const std::pair<const char*, bool> leftovers[] = {{".a.vok.vokra-1f2e-3d-7.tmp", true},
                                                      {".a.vok.vokra-0-0-0.tmp", true},
                                                      {".a.vok.1-2.tmp", false},
                                                      {".a.vok.1f2e3d.tmp", false},
                                                      {".a.vok.vokra-1-2.tmp", false},
                                                      {".a.vok.vokra-1-2-3-4.tmp", false},
                                                      {".a.vok.vokra-123456789-1-2.tmp", false},
                                                      {".a.vok.vokra-1--2.tmp", false},
                                                      {".a.vok.vokra-A-B-C.tmp", false},
                                                      {".b.vok.vokra-1-2-3.tmp", false}};
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    for (const auto& [name, ours] : leftovers) {
        WriteFile(dir_.File(name), std::string(5000, 'x'));
        ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(name).c_str(), old, 0), 0);
    }
    ASSERT_TRUE(BigDoc().OnSaveDocument(path));
    for (const auto& [name, ours] : leftovers) {
        EXPECT_EQ(std::filesystem::exists(dir_.File(name)), !ours) << name;
    }
    EXPECT_EQ(ReadFile(dir_.File(".a.vok.notours.tmp")), "kept");
    EXPECT_EQ(FilesIn(dir_.Path()), 10);
}

TEST_F(DocumentFile_Save, RemembersTheCurrentFolder) {
    CVokraDoc& doc = NewDoc();
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
    ASSERT_TRUE(doc.OnSaveDocument("b.vok"));
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(g_currentDir, cwd);
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "VOKRADIR"), cwd);
    EXPECT_EQ(doc.GetPathName(), cwd + "/b.vok");
}

// --- Opening.

class DocumentFile_Open : public DocFixture {};

TEST_F(DocumentFile_Open, MissingFileKeepsTheDocumentOnScreen) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("keep.vok")));
    const std::string missing = dir_.File("nope.vok");
    messages_->Expect(CannotFind(missing));
    EXPECT_FALSE(doc.OnOpenDocument(missing));
    EXPECT_EQ(KeysOf(doc), (std::vector<std::pair<int, float>>{{3, 0.3f}}));
    EXPECT_EQ(doc.GetTitle(), "keep.vok");
}

TEST_F(DocumentFile_Open, FolderIsNotADocument) {
    CVokraDoc& doc = NewDoc();
    messages_->Expect(CannotFind(dir_.Path()));
    EXPECT_FALSE(doc.OnOpenDocument(dir_.Path()));
}

TEST_F(DocumentFile_Open, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    const std::string pipe = dir_.File("pipe.vok");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    messages_->Expect(CannotFind(pipe));
    EXPECT_FALSE(doc.OnOpenDocument(pipe));
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
}

// Choosing the open document again brings it forward: no save prompt, no reload, the changes
// kept, whichever way it was chosen.
TEST_F(DocumentFile_Open, TheOpenDocumentChosenAgainIsLeftAsItIs) {
    CVokraDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("work.vok")));
    RecentFileList recent(Profile());
    recent.Add(dir_.File("work.vok"));
    SetKeys(doc, {{3, 0.3f}});
    doc.SetModifiedFlag();
    dialogs_->Answer(dir_.File("work.vok"));
    EXPECT_TRUE(FileOpen(doc));
    EXPECT_TRUE(OpenDocumentFile(doc, dir_.File("./work.vok")));
    EXPECT_TRUE(OpenRecentFile(doc, recent, 0));
    EXPECT_TRUE(messages_->Shown().empty());
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocumentFile_Open, EmptyFileOpensAsResetUnderItsName) {
    Profile().WriteInt("SETTINGS", "FPS_TYPE", 9);
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    doc.SetModifiedFlag();
    WriteFile(dir_.File("empty.vok"), "");
    ASSERT_TRUE(doc.OnOpenDocument(dir_.File("empty.vok")));
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetFrameRate(), 25.0);
    EXPECT_EQ(doc.GetTitle(), "empty.vok");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DocumentFile_Open, FailedReadLeavesANewUntitledDocument) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{3, 0.3f}});
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("good.vok")));
    std::string bytes = ReadFile(dir_.File("good.vok"));
    WriteFile(dir_.File("cut.vok"), bytes.substr(0, bytes.size() - 2));
    messages_->Expect("Unexpected file format.");
    EXPECT_FALSE(doc.OnOpenDocument(dir_.File("cut.vok")));
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_FALSE(doc.IsModified());
}

// --- The save prompt and the File commands.

class DocumentFile_Commands : public DocFixture {};

struct PromptCase {
    const char* name;
    int answer;
    bool newDocument;  // whether FileNew went ahead
};

class DocumentFile_SavePrompt : public DocFixture,
                                public ::testing::WithParamInterface<PromptCase> {};

TEST_P(DocumentFile_SavePrompt, DecidesWhetherNewGoesAhead) {
    CVokraDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("work.vok")));
    SetKeys(doc, {{3, 0.3f}});
    doc.SetModifiedFlag();
    messages_->Expect("Save changes to work.vok?", GetParam().answer);
    EXPECT_EQ(FileNew(doc), GetParam().newDocument);
    EXPECT_EQ(messages_->Shown().at(0).buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(doc.GetKeys().GetCount(), GetParam().newDocument ? 0 : 1);
    // Yes saved the key into the file before the new document came.
    CVokraDoc reread;
    ASSERT_TRUE(reread.OnOpenDocument(dir_.File("work.vok")));
    EXPECT_EQ(reread.GetKeys().GetCount(), GetParam().answer == IDYES ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, DocumentFile_SavePrompt,
                         ::testing::Values(PromptCase{"yes", IDYES, true},
                                           PromptCase{"no", IDNO, true},
                                           PromptCase{"cancel", IDCANCEL, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocumentFile_Commands, UnmodifiedDocumentIsNotPrompted) {
    CVokraDoc& doc = NewDoc();
    EXPECT_TRUE(FileNew(doc));
    EXPECT_TRUE(messages_->Shown().empty());
}

TEST_F(DocumentFile_Commands, SavingAnUntitledDocumentAsksForAName) {
    CVokraDoc& doc = NewDoc();
    dialogs_->Answer(dir_.File("named.vok"));
    EXPECT_TRUE(FileSave(doc));
    ASSERT_EQ(dialogs_->Requests().size(), 1u);
    const FileDialogRequest& r = dialogs_->Requests()[0];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.filter, "Vokra files (*.vok)|*.vok|All Files (*.*)|*.*||");
    EXPECT_EQ(r.defaultExt, "vok");
    EXPECT_EQ(r.initialName, "Untitled.vok");
    EXPECT_EQ(doc.GetTitle(), "named.vok");
    EXPECT_EQ(ReadFile(dir_.File("named.vok")).size(), 71u);
}

TEST_F(DocumentFile_Commands, SaveAsCancelledChangesNothing) {
    CVokraDoc& doc = NewDoc();
    doc.SetModifiedFlag();
    dialogs_->Answer(std::nullopt);
    EXPECT_FALSE(FileSaveAs(doc));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), "");
}

TEST_F(DocumentFile_Commands, SaveOfAReadOnlyFileAsksForAnotherName) {
    CVokraDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("ro.vok")));
    ::chmod(dir_.File("ro.vok").c_str(), 0444);
    dialogs_->Answer(dir_.File("copy.vok"));
    EXPECT_TRUE(FileSave(doc));
    ASSERT_EQ(dialogs_->Requests().size(), 1u);
    EXPECT_EQ(dialogs_->Requests()[0].initialName, "ro.vok");
    EXPECT_EQ(dialogs_->Requests()[0].initialDir, dir_.Path());
    EXPECT_EQ(doc.GetTitle(), "copy.vok");
}

TEST_F(DocumentFile_Commands, OpenShowsTheDialogAndTellsTheListener) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{4, 0.4f}});
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("x.vok")));
    std::vector<std::string> heard;
    SetDocumentPathListener([&](const std::string& p) { heard.push_back(p); });
    FileNew(doc);
    dialogs_->Answer(dir_.File("x.vok"));
    EXPECT_TRUE(FileOpen(doc));
    SetDocumentPathListener(nullptr);
    const FileDialogRequest& r = dialogs_->Requests().at(0);
    EXPECT_FALSE(r.save);
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_EQ(r.filter, "Vokra files (*.vok)|*.vok|All Files (*.*)|*.*||");
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
    EXPECT_EQ(heard, std::vector<std::string>{dir_.File("x.vok")});
    // The chosen folder became the current one, and is remembered.
    EXPECT_EQ(g_currentDir, std::filesystem::canonical(dir_.Path()).string());
}

TEST_F(DocumentFile_Commands, TitleChangesAreAnnounced) {
    CVokraDoc& doc = NewDoc();
    int calls = 0;
    doc.onStateChanged = [&] { ++calls; };
    doc.SetModifiedFlag();
    doc.SetModifiedFlag();  // no change, no announcement
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("t.vok")));
    EXPECT_GE(calls, 2);
}

// --- Recent files.

class RecentFiles : public DocFixture {};

TEST_F(RecentFiles, MostRecentFirstFourAtMostMovedNotRepeated) {
    RecentFileList list(Profile());
    for (const char* p : {"/a.vok", "/b.vok", "/c.vok", "/d.vok", "/e.vok", "/c.vok"}) list.Add(p);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/c.vok", "/e.vok", "/d.vok", "/b.vok"}));
    RecentFileList again(Profile());
    again.Load();
    EXPECT_EQ(again.Entries(), list.Entries());
    EXPECT_EQ(Profile().GetString("Recent File List", "File1"), "/c.vok");
    EXPECT_EQ(Profile().GetString("Recent File List", "File4"), "/b.vok");
}

TEST_F(RecentFiles, PathsCompareExactly) {
    RecentFileList list(Profile());
    list.Add("/A.vok");
    list.Add("/a.vok");
    EXPECT_EQ(list.GetCount(), 2);
}

TEST_F(RecentFiles, RemovingTheLastEntryClearsItsKey) {
    RecentFileList list(Profile());
    list.Add("/a.vok");
    list.Add("/b.vok");
    list.Remove(1);
    EXPECT_EQ(Profile().GetString("Recent File List", "File2", "gone"), "gone");
    EXPECT_EQ(Profile().GetString("Recent File List", "File1"), "/b.vok");
}

TEST_F(RecentFiles, EntryThatFailsToOpenIsDropped) {
    CVokraDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("ok.vok")));
    RecentFileList list(Profile());
    list.Add(dir_.File("ok.vok"));
    list.Add(dir_.File("gone.vok"));
    messages_->Expect(CannotFind(dir_.File("gone.vok")));
    EXPECT_FALSE(OpenRecentFile(doc, list, 0));
    EXPECT_EQ(list.Entries(), std::vector<std::string>{dir_.File("ok.vok")});
    EXPECT_TRUE(OpenRecentFile(doc, list, 0));
}

TEST_F(RecentFiles, CancelledSavePromptKeepsTheEntry) {
    CVokraDoc& doc = NewDoc();
    doc.SetModifiedFlag();
    RecentFileList list(Profile());
    list.Add(dir_.File("gone.vok"));
    messages_->Expect("Save changes to Untitled?", IDCANCEL);
    EXPECT_FALSE(OpenRecentFile(doc, list, 0));
    EXPECT_EQ(list.GetCount(), 1);
}

// --- Saving or exporting over the document's own recording.

struct OwnSoundCase {
    const char* name;
    const char* via;  // "", "link" (a symbolic link to it) or "hard" (a second hard link)
    // Writes `path` from the document as the user would; the dialog answers what is asked.
    std::function<bool(CVokraDoc&, const std::string&, ScriptedFileDialogs&)> write;
};

class DocumentFile_OwnSound : public DocFixture,
                              public ::testing::WithParamInterface<OwnSoundCase> {};

// Save As once went ahead after the generic "already exists" question and the recording was
// gone; every way of writing a file from the document now names it as the recording and stops.
TEST_P(DocumentFile_OwnSound, IsNeverWrittenOver) {
    CVokraDoc& doc = NewDoc();
    const std::string sound = MakeSound("take.wav", 1.0);
    doc.LoadSoundFrom(sound);
    ASSERT_EQ(doc.GetSoundName(), "take.wav");
    SetKeys(doc, {{3, 0.5f}});
    std::string target = sound;
    if (std::string(GetParam().via) == "link") {
        target = dir_.File("alias.wav");
        ASSERT_EQ(::symlink(sound.c_str(), target.c_str()), 0);
    } else if (std::string(GetParam().via) == "hard") {
        target = dir_.File("second.wav");
        ASSERT_EQ(::link(sound.c_str(), target.c_str()), 0);
    }
    const std::string bytes = ReadFile(sound);
    messages_->Expect(target +
                      "\nis the recording of this document.\n"
                      "Writing over it would destroy the sound; choose another name.");
    EXPECT_FALSE(GetParam().write(doc, target, *dialogs_));
    messages_->VerifyAllShown();
    EXPECT_EQ(ReadFile(sound), bytes);
    EXPECT_NE(doc.GetPathName(), target);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DocumentFile_OwnSound,
    ::testing::Values(
        OwnSoundCase{"SaveAs", "",
                     [](CVokraDoc& doc, const std::string& path, ScriptedFileDialogs& dialogs) {
                         dialogs.Answer(path);
                         return FileSaveAs(doc);
                     }},
        OwnSoundCase{"SaveAsThroughALink", "link",
                     [](CVokraDoc& doc, const std::string& path, ScriptedFileDialogs&) {
                         return doc.OnSaveDocument(path);
                     }},
        OwnSoundCase{"EnvelopeOverASecondName", "hard",
                     [](CVokraDoc& doc, const std::string& path, ScriptedFileDialogs&) {
                         return doc.WriteEnvelopeTo(path);
                     }},
        OwnSoundCase{"KeysAsCsv", "",
                     [](CVokraDoc& doc, const std::string& path, ScriptedFileDialogs&) {
                         return ExportKeysTo(doc, KeyFormat::Csv, path, DefaultMouthBands());
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Two copies of the program on one document.

struct TwoCopiesCase {
    const char* name;
    bool otherSaved;  // the first copy saved its edits after the second opened the file
    int answer;       // to the question, when asked
    std::vector<std::pair<int, float>> wantOnDisk;
};

class DocumentFile_TwoCopies : public DocFixture,
                               public ::testing::WithParamInterface<TwoCopiesCase> {};

// The second copy's Save once silently reverted the first copy's saved edits; it now asks.
TEST_P(DocumentFile_TwoCopies, SaveAsksBeforeRevertingTheOthersEdits) {
    const std::string path = dir_.File("scene.vok");
    {
        CVokraDoc& start = NewDoc();
        SetKeys(start, {{1, 0.1f}});
        ASSERT_TRUE(start.OnSaveDocument(path));
    }
    CVokraDoc mine;
    mine.OnNewDocument();
    ASSERT_TRUE(mine.OnOpenDocument(path));
    if (GetParam().otherSaved) {
        CVokraDoc& other = NewDoc();
        ASSERT_TRUE(other.OnOpenDocument(path));
        SetKeys(other, {{2, 0.2f}, {3, 0.3f}});
        ASSERT_TRUE(other.OnSaveDocument(path));
        messages_->Expect(
            "scene.vok was changed by another program after it was opened or saved here.\n"
            "Do you want to replace it with this version?\n\n"
            "Yes: replace it.   No: save this version under another name.   "
            "Cancel: do not save.",
            GetParam().answer);
        if (GetParam().answer == IDNO) dialogs_->Answer(dir_.File("mine.vok"));
    }
    SetKeys(mine, {{5, 0.5f}});
    mine.SetModifiedFlag();
    EXPECT_EQ(FileSave(mine), GetParam().answer != IDCANCEL);
    messages_->VerifyAllShown();
    CVokraDoc& check = NewDoc();
    ASSERT_TRUE(check.OnOpenDocument(path));
    EXPECT_EQ(KeysOf(check), GetParam().wantOnDisk);
    // Once saved, the next Save is the document's own again: no question.
    if (GetParam().answer != IDCANCEL) EXPECT_TRUE(FileSave(mine));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DocumentFile_TwoCopies,
    ::testing::Values(TwoCopiesCase{"NobodyElseSaved", false, IDYES, {{1, 0.1f}, {5, 0.5f}}},
                      TwoCopiesCase{"Replace", true, IDYES, {{1, 0.1f}, {5, 0.5f}}},
                      TwoCopiesCase{
                          "SaveAsAnotherName", true, IDNO, {{1, 0.1f}, {2, 0.2f}, {3, 0.3f}}},
                      TwoCopiesCase{"Cancel", true, IDCANCEL, {{1, 0.1f}, {2, 0.2f}, {3, 0.3f}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Another program's copy with the same size and its time put back.

struct ReplacedCase {
    const char* name;
    void (*replace)(const std::string& path, const std::string& other, const std::string& dir);
    bool asks;  // Save asks before writing over it
};

// Puts the file's modification time back to what it was before `change` ran.
void KeepingTime(const std::string& path, const std::function<void()>& change) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    change();
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class DocumentFile_SameSizeReplacement : public DocFixture,
                                         public ::testing::WithParamInterface<ReplacedCase> {};

// cp -p, rsync -a and touch -r put a file's time back: the size and time Save compared were those
// it had last seen, and the other program's version was silently written over.
TEST_P(DocumentFile_SameSizeReplacement, SaveStillAsks) {
    const std::string path = dir_.File("scene.vok");
    CVokraDoc& start = NewDoc();
    SetKeys(start, {{1, 0.1f}});
    ASSERT_TRUE(start.OnSaveDocument(path));
    CVokraDoc mine;
    mine.OnNewDocument();
    ASSERT_TRUE(mine.OnOpenDocument(path));
    // The other program's version: the same size, other keys.
    CVokraDoc& other = NewDoc();
    SetKeys(other, {{1, 0.9f}});
    ASSERT_TRUE(other.OnSaveDocument(dir_.File("other.vok")));
    const std::string theirs = ReadFile(dir_.File("other.vok"));
    ASSERT_EQ(theirs.size(), ReadFile(path).size());
    GetParam().replace(path, dir_.File("other.vok"), dir_.Path());
    const std::string onDisk = ReadFile(path);

    SetKeys(mine, {{5, 0.5f}});
    mine.SetModifiedFlag();
    if (GetParam().asks) {
        messages_->Expect(
            "scene.vok was changed by another program after it was opened or saved here.\n"
            "Do you want to replace it with this version?\n\n"
            "Yes: replace it.   No: save this version under another name.   "
            "Cancel: do not save.",
            IDCANCEL);
        EXPECT_FALSE(FileSave(mine));
        EXPECT_EQ(ReadFile(path), onDisk);
    } else {
        EXPECT_TRUE(FileSave(mine));
        EXPECT_NE(ReadFile(path), onDisk);
    }
    messages_->VerifyAllShown();
}

INSTANTIATE_TEST_SUITE_P(
    Tools, DocumentFile_SameSizeReplacement,
    ::testing::Values(
        // cp -p: the bytes written into the same file, its time copied from the source's.
        ReplacedCase{"CopyKeepingTime",
                     [](const std::string& path, const std::string& other, const std::string&) {
                         KeepingTime(path, [&] { WriteFile(path, ReadFile(other)); });
                     },
                     true},
        // rsync -a: a new file with the old time, renamed over the name.
        ReplacedCase{"RenamedOverWithTheOldTime",
                     [](const std::string& path, const std::string& other, const std::string& dir) {
                         struct stat st {};
                         ASSERT_EQ(::stat(path.c_str(), &st), 0);
                         const std::string temp = dir + "/.scene.vok.rsync";
                         WriteFile(temp, ReadFile(other));
                         const timespec times[2] = {st.st_atim, st.st_mtim};
                         ASSERT_EQ(::utimensat(AT_FDCWD, temp.c_str(), times, 0), 0);
                         ASSERT_EQ(::rename(temp.c_str(), path.c_str()), 0);
                     },
                     true},
        // The same bytes written back by another program: nothing of anyone's is lost.
        ReplacedCase{"SameBytesTouched",
                     [](const std::string& path, const std::string&, const std::string&) {
                         WriteFile(path, ReadFile(path));
                     },
                     false},
        // A second name or new permissions change the status time, not the document.
        ReplacedCase{"NewHardLinkAndMode",
                     [](const std::string& path, const std::string&, const std::string& dir) {
                         ASSERT_EQ(::link(path.c_str(), (dir + "/second.vok").c_str()), 0);
                         ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
                     },
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A save in place of a hard-linked file, stopped between its writes.

struct InterruptedCase {
    const char* name;
    bool reopen;  // the next run opens the document (else it saves over it)
};

class DocumentFile_InterruptedInPlace : public DocFixture,
                                        public ::testing::WithParamInterface<InterruptedCase> {};

// Killed between writing the new bytes and cutting the file to size, such a save once left the
// old content's tail after the new one. The old bytes are now kept beside the file until the new
// ones are all in place, and the next run goes back to them.
TEST_P(DocumentFile_InterruptedInPlace, NextRunGoesBackToAWholeFile) {
    const std::string path = dir_.File("a.vok");
    const std::string other = dir_.File("b.vok");
    CVokraDoc& first = NewDoc();
    SetKeys(first, {{1, 0.1f}, {2, 0.2f}, {3, 0.3f}, {4, 0.4f}});
    ASSERT_TRUE(first.OnSaveDocument(path));
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    // A save in place that completes leaves no copy behind and both names see it.
    SetKeys(first, {{5, 0.5f}});
    ASSERT_TRUE(first.OnSaveDocument(path));
    EXPECT_FALSE(std::filesystem::exists(KeepPath(path)));
    EXPECT_EQ(FilesIn(dir_.Path()), 2);
    const std::string old = ReadFile(path);
    ASSERT_EQ(ReadFile(other), old);

    // What the killed save of a shorter document leaves: the kept copy, naming the file and the
    // new bytes, and the new bytes over the head of the old ones.
    CVokraDoc& shorter = NewDoc();
    SetKeys(shorter, {{7, 0.7f}});
    Archive pending;
    shorter.Serialize(pending);
    ASSERT_LT(pending.Bytes().size(), old.size());
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    WriteFile(KeepPath(path), MakeKeepFile(before, old, pending.Bytes()));
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, pending.Bytes().data(), pending.Bytes().size(), 0),
              static_cast<ssize_t>(pending.Bytes().size()));
    ::close(fd);

    if (GetParam().reopen) {
        messages_->Expect(path +
                          "\nwas being saved when the program stopped. The version from before "
                          "that save has been put back.");
        CVokraDoc& next = NewDoc();
        ASSERT_TRUE(next.OnOpenDocument(path));
        messages_->VerifyAllShown();
        EXPECT_EQ(KeysOf(next).size(), 5u);
        EXPECT_EQ(ReadFile(path), old);
    } else {
        CVokraDoc& next = NewDoc();
        SetKeys(next, {{9, 0.9f}});
        ASSERT_TRUE(next.OnSaveDocument(path));
        CVokraDoc& check = NewDoc();
        ASSERT_TRUE(check.OnOpenDocument(other));
        EXPECT_EQ(KeysOf(check), (std::vector<std::pair<int, float>>{{9, 0.9f}}));
    }
    EXPECT_EQ(ReadFile(other), ReadFile(path));
    EXPECT_FALSE(std::filesystem::exists(KeepPath(path)));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
}

INSTANTIATE_TEST_SUITE_P(NextRun, DocumentFile_InterruptedInPlace,
                         ::testing::Values(InterruptedCase{"Opens", true},
                                           InterruptedCase{"SavesAgain", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra::test

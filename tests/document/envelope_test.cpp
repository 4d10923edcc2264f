#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <locale>
#include <sstream>

#include "document/envelope_writer.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

std::string Envelope(const KeyframeList& keys) {
    std::ostringstream out;
    EXPECT_TRUE(WriteEnvelope(keys, out));
    return out.str();
}

// --- The text itself.

struct EnvelopeCase {
    const char* name;
    std::vector<std::pair<int, float>> keys;
    std::string text;
};

class Envelope_Text : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(Envelope_Text, IsByteExact) {
    KeyframeList keys;
    for (const auto& [frame, opening] : GetParam().keys) keys.SetKey(Keyframe(frame, opening));
    EXPECT_EQ(Envelope(keys), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Envelope_Text,
    ::testing::Values(
        EnvelopeCase{"three_keys",
                     {{12, 0.333f}, {0, 0.0f}, {5, 1.0f}},
                     "LWEN\r\n1\r\n1\r\n3\r\n0.000\r\n0 1 0 0 0\r\n1.000\r\n5 1 0 0 0\r\n"
                     "0.333\r\n12 1 0 0 0\r\n"},
        EnvelopeCase{"no_keys", {}, "LWEN\r\n1\r\n1\r\n0\r\n"},
        EnvelopeCase{"float_nearest_point_three",
                     {{7, 0.3f}},
                     "LWEN\r\n1\r\n1\r\n1\r\n0.300\r\n7 1 0 0 0\r\n"},
        EnvelopeCase{
            "maximum_opening", {{1, 2.0f}}, "LWEN\r\n1\r\n1\r\n1\r\n2.000\r\n1 1 0 0 0\r\n"},
        EnvelopeCase{
            "three_quarters", {{2, 0.75f}}, "LWEN\r\n1\r\n1\r\n1\r\n0.750\r\n2 1 0 0 0\r\n"},
        EnvelopeCase{"rounds_to_nearest_thousandth",
                     {{3, 0.1236f}, {4, 0.9999f}},
                     "LWEN\r\n1\r\n1\r\n2\r\n0.124\r\n3 1 0 0 0\r\n1.000\r\n4 1 0 0 0\r\n"},
        EnvelopeCase{"large_frame",
                     {{2147483647, 0.5f}},
                     "LWEN\r\n1\r\n1\r\n1\r\n0.500\r\n2147483647 1 0 0 0\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A stream that formats numbers the German way, with digit groups: the file must not care.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(Envelope_Text, IgnoresTheStreamsLocale) {
    KeyframeList keys;
    for (int f = 0; f < 1234; ++f) keys.SetKey(Keyframe(f * 1000, 0.5f));
    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new CommaPunct));
    ASSERT_TRUE(WriteEnvelope(keys, out));
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, 30), "LWEN\r\n1\r\n1\r\n1234\r\n0.500\r\n0 1 0");
    EXPECT_NE(text.find("\r\n1233000 1 0 0 0\r\n"), std::string::npos);
    EXPECT_EQ(text.find(','), std::string::npos);
}

TEST(Envelope_Text, ManyKeysAreAllWritten) {
    KeyframeList keys;
    for (int f = 0; f < 20000; ++f) keys.SetKey(Keyframe(f, (f % 3) / 2.0f));
    std::istringstream in(Envelope(keys));
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << lines;
        ++lines;
    }
    EXPECT_EQ(lines, 4 + 2 * 20000);
}

TEST(Envelope_Text, FailingStreamIsReported) {
    KeyframeList keys;
    keys.SetKey(Keyframe(1, 0.5f));
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(WriteEnvelope(keys, out));
}

// --- The command.

class Envelope_Command : public DocFixture {};

TEST_F(Envelope_Command, AsksForAPathWritesAndRemembersIt) {
    WriteFile(IniPath(), "[DIRECTORIES]\nENVDIR=/previous\n");
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{12, 0.333f}, {0, 0.0f}, {5, 1.0f}});
    doc.GetTimeRange().SetAnchor(4.5);  // a selection does not limit the export
    doc.GetTimeRange().SetCursor(5.5);
    dialogs_->Answer(dir_.File("lips.env"));
    doc.OnWriteEnvelopeFile();

    const FileDialogRequest& r = dialogs_->Requests().at(0);
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.filter, "env Files (*.env)|*.env|All Files (*.*)|*.*||");
    EXPECT_EQ(r.defaultExt, "env");
    EXPECT_EQ(r.initialDir, "/previous");
    EXPECT_EQ(r.initialName, "");

    EXPECT_EQ(ReadFile(dir_.File("lips.env")),
              "LWEN\r\n1\r\n1\r\n3\r\n0.000\r\n0 1 0 0 0\r\n1.000\r\n5 1 0 0 0\r\n"
              "0.333\r\n12 1 0 0 0\r\n");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetEnvDir(), dir_.Path());
    EXPECT_EQ(doc.GetEnvName(), "lips.env");
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "ENVDIR"), dir_.Path());

    dialogs_->Answer(std::nullopt);
    doc.OnWriteEnvelopeFile();
    EXPECT_EQ(dialogs_->Requests().at(1).initialDir, dir_.Path());
    EXPECT_EQ(dialogs_->Requests().at(1).initialName, "lips.env");
}

TEST_F(Envelope_Command, CancelChangesNothing) {
    CVokraDoc& doc = NewDoc();
    dialogs_->Answer(std::nullopt);
    doc.OnWriteEnvelopeFile();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetEnvName(), "");
}

TEST_F(Envelope_Command, WritingAgainReplacesTheFile) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{1, 0.5f}, {2, 0.5f}});
    ASSERT_TRUE(doc.WriteEnvelopeTo(dir_.File("a.env")));
    doc.GetKeys().RemoveKey(2);
    ASSERT_TRUE(doc.WriteEnvelopeTo(dir_.File("a.env")));
    EXPECT_EQ(ReadFile(dir_.File("a.env")), "LWEN\r\n1\r\n1\r\n1\r\n0.500\r\n1 1 0 0 0\r\n");
}

// Writing the envelope again where the document already says it goes changed nothing in the
// document, yet marked it modified (a save prompt for nothing); a new place is a change.
TEST_F(Envelope_Command, OnlyANewPlaceMarksTheDocumentModified) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{1, 0.5f}});
    ASSERT_TRUE(doc.WriteEnvelopeTo(dir_.File("a.env")));
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("d.vok")));
    const std::pair<std::string, bool> writes[] = {
        {dir_.File("a.env"), false}, {dir_.Path() + "/./a.env", false}, {dir_.File("b.env"), true}};
    for (const auto& [path, modifies] : writes) {
        doc.SetModifiedFlag(false);
        ASSERT_TRUE(doc.WriteEnvelopeTo(path));
        EXPECT_EQ(doc.IsModified(), modifies) << path;
    }
    EXPECT_EQ(doc.GetEnvName(), "b.env");
}

struct UnwritableCase {
    const char* name;
    const char* path;  // inside the test folder
    void (*prepare)(const std::string& folder);
    const char* reason;  // the second line of the message
};

class Envelope_CannotCreate : public DocFixture,
                              public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(Envelope_CannotCreate, ReportsTheFullPathAndChangesNothing) {
    GetParam().prepare(dir_.Path());
    const std::string path = dir_.File(GetParam().path);
    WriteFile(IniPath(), "[DIRECTORIES]\nENVDIR=/previous\n");
    CVokraDoc& doc = NewDoc();
    messages_->Expect("Could not open/create file " + path + "\n" + GetParam().reason);
    EXPECT_FALSE(doc.WriteEnvelopeTo(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetEnvDir(), "/previous");
    EXPECT_EQ(doc.GetEnvName(), "");
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "ENVDIR"), "/previous");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Envelope_CannotCreate,
    ::testing::Values(UnwritableCase{"missing_folder", "nowhere/a.env", [](const std::string&) {},
                                     "The folder does not exist."},
                      UnwritableCase{"folder_is_a_file", "plain/a.env",
                                     [](const std::string& d) { WriteFile(d + "/plain", "x"); },
                                     "The folder does not exist."},
                      UnwritableCase{"target_is_a_folder", "sub",
                                     [](const std::string& d) {
                                         std::filesystem::create_directory(d + "/sub");
                                     },
                                     "Something other than a file is in the way under that name."},
                      UnwritableCase{"read_only_file", "ro.env",
                                     [](const std::string& d) {
                                         WriteFile(d + "/ro.env", "old");
                                         ::chmod((d + "/ro.env").c_str(), 0444);
                                     },
                                     "The file is read-only."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Envelope_Command, FullDiskKeepsTheOlderEnvelope) {
    CVokraDoc& doc = NewDoc();
    for (int f = 0; f < 500; ++f) doc.GetKeys().SetKey(Keyframe(f, 0.5f));
    const std::string path = dir_.File("a.env");
    WriteFile(path, "older envelope");
    messages_->Expect("Could not write file " + path +
                      "\nThe file is larger than this disk or account allows.");
    bool written;
    {
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved;
        lim.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &lim);
        written = doc.WriteEnvelopeTo(path);
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(path), "older envelope");
    // The steps before the writing happened: the location is the new one.
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetEnvName(), "a.env");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace vokra::test

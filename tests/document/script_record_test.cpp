// The script kept in the document: it round-trips through the file, a document without one is
// written as before, a damaged record loses only the script (with the damage message), and Guess
// Shapes from Script keeps it, fills the frames as one step and keeps hand-set shapes.
#include "document/script_record.h"

#include <sys/stat.h>

#include <cmath>

#include "document/script_commands.h"
#include "document/script_file.h"
#include "document/vok_file.h"
#include "document/vok_section.h"
#include "shapes/script_phonemes.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

class ScriptRecord : public DocFixture {
protected:
    std::string Save(CVokraDoc& doc) {
        const std::string path = dir_.File("doc.vok");
        EXPECT_TRUE(doc.OnSaveDocument(path));
        return ReadFile(path);
    }
    CVokraDoc& Open(const std::string& bytes) {
        WriteFile(dir_.File("in.vok"), bytes);
        CVokraDoc& doc = NewDoc();
        EXPECT_TRUE(doc.OnOpenDocument(dir_.File("in.vok")));
        return doc;
    }
};

struct RoundTripCase {
    const char* name;
    DocumentScript script;
};

class ScriptRecord_RoundTrip : public ScriptRecord,
                               public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(ScriptRecord_RoundTrip, ComesBackAsItWasSaved) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{0, 0.5f}, {3, 1.0f}});
    const std::string plain = Save(doc);
    doc.SetScript(GetParam().script);
    EXPECT_TRUE(doc.IsModified());
    const std::string saved = Save(doc);
    // The file as before, then the section with the script's record.
    EXPECT_EQ(saved.substr(0, plain.size()), plain);
    EXPECT_EQ(saved.substr(plain.size(), 8), std::string(kVokSectionMark) + "SCRP");
    CVokraDoc& again = Open(saved);
    EXPECT_EQ(again.GetScript(), GetParam().script);
    EXPECT_EQ(KeysOf(again), (std::vector<std::pair<int, float>>{{0, 0.5f}, {3, 1.0f}}));
    EXPECT_EQ(Save(again), saved);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptRecord_RoundTrip,
    ::testing::Values(RoundTripCase{"Plain", {"Hello there.\nGood day.", "en-us"}},
                      RoundTripCase{"Variant", {"Guten Tag.", "de+m3"}},
                      RoundTripCase{"Unicode", {"मेरा नाम राम है। 日本語 😀", "hi"}},
                      RoundTripCase{"LanguageOnly", {"", "fr"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A document that never had a script is written exactly as before.
TEST_F(ScriptRecord, NoScriptNoRecord) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{1, 0.25f}});
    EXPECT_EQ(WriteVokSection(doc, doc.GetSectionKept()), "");
    doc.SetScript({"words", "en"});
    doc.SetScript({});
    const std::string bytes = Save(doc);
    EXPECT_EQ(bytes.find("VKX1"), std::string::npos);
}

std::string U32(std::uint32_t v) {
    return Le32(v);
}
std::string Record(const std::string& tag, const std::string& payload) {
    return tag + U32(static_cast<std::uint32_t>(payload.size())) + payload;
}
std::string ScriptPayload(const std::string& language, const std::string& text) {
    return U32(static_cast<std::uint32_t>(language.size())) + language + text;
}

struct DamageCase {
    const char* name;
    std::string payload;
};

class ScriptRecord_Damaged : public ScriptRecord,
                             public ::testing::WithParamInterface<DamageCase> {};

TEST_P(ScriptRecord_Damaged, LosesOnlyTheScript) {
    CVokraDoc& plain = NewDoc();
    SetKeys(plain, {{0, 0.5f}});
    messages_->AllowAny();
    const std::string shapes =
        Record("SHPS", U32(0) + U32(2) + std::string(1, '\3') + std::string(1, '\0'));
    CVokraDoc& doc = Open(Save(plain) + std::string(kVokSectionMark) +
                          Record("SCRP", GetParam().payload) + shapes);
    EXPECT_TRUE(doc.GetScript().IsEmpty());
    EXPECT_EQ(doc.GetShapes().GetCount(), 2);
    ASSERT_EQ(messages_->Texts().size(), 1u);
    EXPECT_EQ(messages_->Texts()[0],
              "Part of this document is damaged and was left out: the script. The keys and the "
              "rest of the document opened as usual. Saving keeps the damaged bytes as they are, "
              "and asks before anything replaces them.");
}

// An empty record is what stands before a kept damaged one of its kind: it holds no script and
// is no damage, so a document with a kept record reads back as it was written.
TEST_F(ScriptRecord, EmptyRecordIsNoScript) {
    CVokraDoc& plain = NewDoc();
    SetKeys(plain, {{0, 0.5f}});
    CVokraDoc& doc = Open(Save(plain) + std::string(kVokSectionMark) + Record("SCRP", ""));
    EXPECT_TRUE(doc.GetScript().IsEmpty());
    EXPECT_TRUE(messages_->Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptRecord_Damaged,
    ::testing::Values(DamageCase{"LengthCut", "\x02\x00"},
                      DamageCase{"LanguagePastTheEnd", U32(1000) + "en"},
                      DamageCase{"HugeLanguageLength", U32(0xFFFFFFFFu) + "en"},
                      DamageCase{"NoLanguage", ScriptPayload("", "text")},
                      DamageCase{"LanguageWithPath", ScriptPayload("../../x", "text")},
                      DamageCase{"LanguageTooLong", ScriptPayload(std::string(65, 'a'), "t")},
                      DamageCase{"TextNotUtf8", ScriptPayload("en",
                                                              "Gr\xfc\xdf"
                                                              "e")},
                      DamageCase{"TextBinary", ScriptPayload("en", std::string("a\0b", 3))},
                      DamageCase{"TextTooLong",
                                 ScriptPayload("en", std::string(kMaxScriptBytes + 1, 'a'))}),
    [](const auto& info) { return std::string(info.param.name); });

// Guess Shapes from Script on a line espeak-ng speaks: the frames are filled as one undo step,
// hand-set shapes stay, and the script is kept in the document.
TEST_F(ScriptRecord, GuessFromScriptFillsAllFramesKeepsHandShapesAndTheScript) {
    std::vector<std::int16_t> speech;
    ScriptSpeechOptions o;
    o.wordsPerMinute = 160;
    o.speech = &speech;
    const std::string text = "My mother made a warm apple pie.";
    ASSERT_TRUE(PhonemesOfScript(text, "en-us", o).ok());
    const std::string wav = dir_.File("line.wav");
    WriteFile(wav, MakeWav16(speech, kScriptSpeechRate));
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(wav);
    ASSERT_TRUE(g_sound.IsLoaded());
    doc.GetShapes().Set(4, MouthShape::H, true);
    const ScriptGuessOutcome outcome = GuessSelectionShapesFromScript(doc, {text, "en-us"}, false);
    ASSERT_TRUE(outcome.guess.ok) << outcome.guess.error;
    EXPECT_EQ(outcome.guess.kept, 1);
    // No selection: every frame of the sound, from frame 0.
    const auto frames = static_cast<std::int32_t>(
        std::ceil(speech.size() * doc.GetFrameRate() / kScriptSpeechRate));
    EXPECT_EQ(outcome.guess.filled + outcome.guess.kept, frames);
    EXPECT_EQ(doc.GetShapes().Find(4)->shape, MouthShape::H);
    EXPECT_EQ(doc.GetShapes().Find(0)->frame, 0);
    EXPECT_EQ(doc.GetScript(), (DocumentScript{text, "en-us"}));
    EXPECT_EQ(outcome.alignment.words.size(), 7u);
    EXPECT_NE(ScriptStatusText(outcome).find("Guessed"), std::string::npos);
}

struct ProblemCase {
    const char* name;
    DocumentScript script;
    const char* says;
};

class ScriptRecord_Problem : public ScriptRecord,
                             public ::testing::WithParamInterface<ProblemCase> {};

// A script that cannot be aligned changes nothing and says why.
TEST_P(ScriptRecord_Problem, NothingChangesAndTheReasonIsGiven) {
    const std::string wav = MakeSound("v.wav", 1.0);
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(wav);
    const ScriptGuessOutcome outcome = GuessSelectionShapesFromScript(doc, GetParam().script, true);
    EXPECT_FALSE(outcome.guess.ok);
    EXPECT_NE(outcome.guess.error.find(GetParam().says), std::string::npos) << outcome.guess.error;
    EXPECT_EQ(doc.GetShapes().GetCount(), 0);
    EXPECT_TRUE(doc.GetScript().IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptRecord_Problem,
    ::testing::Values(ProblemCase{"UnknownLanguage", {"Hello.", "xx-nowhere"}, "no language"},
                      ProblemCase{"NoLanguage", {"Hello.", ""}, "no language"},
                      ProblemCase{"Binary",
                                  {std::string("\x7f"
                                               "ELF\0\1",
                                               6),
                                   "en"},
                                  "binary"},
                      ProblemCase{
                          "TooLong", {std::string(kMaxScriptBytes + 1, 'a'), "en"}, "longer than"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FileCase {
    const char* name;
    std::string bytes;
    const char* says;  // "" when it reads
};

class ScriptFile_Read : public ScriptRecord, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ScriptFile_Read, ReadsTextRefusesTheRest) {
    const std::string path = dir_.File("script.txt");
    WriteFile(path, GetParam().bytes);
    const ScriptFileResult r = ReadScriptFile(path);
    if (*GetParam().says == '\0') {
        EXPECT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.text, "Hello, world.\n");
    } else {
        EXPECT_NE(r.error.find(GetParam().says), std::string::npos) << r.error;
        EXPECT_NE(r.error.find(path), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptFile_Read,
    ::testing::Values(FileCase{"Text", "Hello, world.\n", ""},
                      FileCase{"ByteOrderMark", "\xEF\xBB\xBFHello, world.\n", ""},
                      FileCase{"Latin1",
                               "Gr\xfc\xdf"
                               "e\n",
                               "not UTF-8"},
                      FileCase{"Binary", std::string("PK\3\4\0\0", 6), "binary"},
                      FileCase{"TenMegabytes", std::string(10'000'000, 'a'), "larger than"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptRecord, ScriptFileThatIsNoFileIsRefusedWithoutWaiting) {
    EXPECT_NE(ReadScriptFile(dir_.File("missing.txt")).error.find("No such file"),
              std::string::npos);
    EXPECT_NE(ReadScriptFile(dir_.Path()).error.find("folder"), std::string::npos);
    const std::string fifo = dir_.File("pipe.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(ReadScriptFile(fifo).error.find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace vokra::test

// The document file's tagged section: shapes and hand-made marks round-trip, a document without
// them is written as it always was (what an older Vokra reads, it ignoring what follows the last
// string), and a damaged section loses only itself, with one message.
#include "document/vok_section.h"

#include <climits>

#include "document/vok_file.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

class VokSection : public DocFixture {
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
    // Keys 0..5 (1, 2 and 5 hand-made), shapes 2..9 in three runs, two of them hand-set.
    static void Fill(CVokraDoc& doc) {
        for (int f = 0; f < 6; ++f) {
            Keyframe key(f, 0.1f * static_cast<float>(f));
            key.SetHandMade(f == 1 || f == 2 || f == 5);
            doc.GetKeys().SetKey(key);
        }
        for (int f = 2; f < 10; ++f) {
            doc.GetShapes().Set(f, f < 5 ? MouthShape::A : MouthShape::D, f >= 8);
        }
        doc.GetShapes().Set(1'000'000, MouthShape::X, false);
    }
};

TEST_F(VokSection, RoundTripsShapesAndMarksAfterTheOldFields) {
    CVokraDoc& doc = NewDoc();
    Fill(doc);
    const std::vector<ShapeEntry> shapes = doc.GetShapes().Entries();
    const std::string saved = Save(doc);

    // Without shapes and marks the same document is the file every version writes and reads;
    // with them, that file comes first and the section follows it.
    CVokraDoc& plain = NewDoc();
    for (int f = 0; f < 6; ++f) plain.GetKeys().SetKey(Keyframe(f, 0.1f * static_cast<float>(f)));
    const std::string old = Save(plain);
    ASSERT_LT(old.size(), saved.size());
    EXPECT_EQ(saved.substr(0, old.size()), old);
    EXPECT_EQ(saved.substr(old.size(), 4), kVokSectionMark);
    // Runs keep it small: A 2-4, D 5-7, D by hand 8-9, X at 1,000,000; hand keys 1-2 and 5.
    EXPECT_EQ(saved.size() - old.size(), 4u + 8u + 4u * 10u + 8u + 2u * 8u);

    CVokraDoc& again = Open(saved);
    EXPECT_EQ(again.GetShapes().Entries(), shapes);
    std::vector<int> hand;
    for (int i = 0; i < again.GetKeys().GetCount(); ++i) {
        if (again.GetKeys().GetAt(i)->IsHandMade()) hand.push_back(i);
    }
    EXPECT_EQ(hand, (std::vector<int>{1, 2, 5}));
    EXPECT_TRUE(messages_->Shown().empty());
    EXPECT_EQ(Save(again), saved);
}

std::string U32(std::uint32_t v) {
    return Le32(v);
}
std::string Record(const std::string& tag, const std::string& payload) {
    return tag + U32(static_cast<std::uint32_t>(payload.size())) + payload;
}
std::string ShapeRun(std::int32_t first, std::int32_t count, char shape, char hand) {
    return U32(static_cast<std::uint32_t>(first)) + U32(static_cast<std::uint32_t>(count)) + shape +
           hand;
}
std::string HandRun(std::int32_t first, std::int32_t count) {
    return U32(static_cast<std::uint32_t>(first)) + U32(static_cast<std::uint32_t>(count));
}

struct SectionCase {
    const char* name;
    std::string section;  // after the last string
    int shapes;           // shapes kept
    int handKeys;         // of keys 0..5
    bool told;            // the damage message shown once
};

class VokSection_Read : public VokSection, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(VokSection_Read, DamageLosesOnlyTheDamagedRecord) {
    const SectionCase& c = GetParam();
    CVokraDoc& plain = NewDoc();
    for (int f = 0; f < 6; ++f) plain.GetKeys().SetKey(Keyframe(f, 0.5f));
    messages_->AllowAny();
    CVokraDoc& doc = Open(Save(plain) + c.section);
    EXPECT_EQ(doc.GetKeys().GetCount(), 6);
    EXPECT_EQ(doc.GetShapes().GetCount(), c.shapes);
    int hand = 0;
    for (int i = 0; i < 6; ++i) hand += doc.GetKeys().GetAt(i)->IsHandMade();
    EXPECT_EQ(hand, c.handKeys);
    ASSERT_EQ(messages_->Texts().size(), c.told ? 1u : 0u);
    if (c.told) {
        EXPECT_EQ(messages_->Texts()[0].rfind(kDamagedSectionLead, 0), 0u);
    }
}

const std::string kMark(kVokSectionMark);
const std::string kGoodHand = Record("HAND", HandRun(1, 2));

INSTANTIATE_TEST_SUITE_P(
    Table, VokSection_Read,
    ::testing::Values(
        SectionCase{"Good", kMark + Record("SHPS", ShapeRun(0, 3, 1, 0)) + kGoodHand, 3, 2, false},
        SectionCase{"NoMarkIsIgnoredAsBefore", "extra bytes", 0, 0, false},
        SectionCase{"UnknownTagSkipped", kMark + Record("ZZZZ", std::string(5, '\xFF')) + kGoodHand,
                    0, 2, false},
        SectionCase{"MarkAlone", kMark, 0, 0, false},
        SectionCase{"HeaderCut", kMark + "SHP", 0, 0, true},
        SectionCase{"LengthPastTheEnd", kMark + "SHPS" + U32(0xFFFFFFF0u) + "x", 0, 0, true},
        SectionCase{"RunSizeWrong", kMark + Record("SHPS", "123456789") + kGoodHand, 0, 2, true},
        SectionCase{"ShapeNine", kMark + Record("SHPS", ShapeRun(0, 1, 9, 0)) + kGoodHand, 0, 2,
                    true},
        SectionCase{"HandTwo", kMark + Record("SHPS", ShapeRun(0, 1, 0, 2)), 0, 0, true},
        SectionCase{"CountZero", kMark + Record("SHPS", ShapeRun(0, 0, 0, 0)), 0, 0, true},
        SectionCase{"NegativeFrame", kMark + Record("SHPS", ShapeRun(-1, 2, 0, 0)), 0, 0, true},
        SectionCase{"Overlapping",
                    kMark + Record("SHPS", ShapeRun(0, 3, 0, 0) + ShapeRun(2, 1, 1, 0)), 0, 0,
                    true},
        SectionCase{"PastTheLastFrame", kMark + Record("SHPS", ShapeRun(INT_MAX, 2, 0, 0)), 0, 0,
                    true},
        // Ten bytes asking for two billion shapes: refused before anything is made.
        SectionCase{"HugeCount", kMark + Record("SHPS", ShapeRun(0, INT_MAX, 0, 0)), 0, 0, true},
        SectionCase{
            "SecondShapes",
            kMark + Record("SHPS", ShapeRun(0, 1, 0, 0)) + Record("SHPS", ShapeRun(4, 1, 0, 0)), 1,
            0, true},
        SectionCase{"HandDescending",
                    kMark + Record("SHPS", ShapeRun(0, 2, 0, 0)) +
                        Record("HAND", HandRun(4, 1) + HandRun(1, 1)),
                    2, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// What a write does with what the file held but this version could not read: kept byte for byte
// through every edit, and lost only after a question when the document's own content of that
// kind takes its place.
struct KeepCase {
    const char* name;
    std::string section;       // after the last string of a document with keys 0..5
    void (*edit)(CVokraDoc&);  // what the user changes before saving
    std::string lost;          // named in the question; empty: no question
    std::string kept;          // bytes the saved file keeps (without the question's "no")
    bool last;                 // ... at its very end
};

void SetKey(CVokraDoc& doc) {
    doc.GetKeys().SetKey(Keyframe(9, 0.25f));
}
void SetHandKey(CVokraDoc& doc) {
    Keyframe key(9, 0.25f);
    key.SetHandMade(true);
    doc.GetKeys().SetKey(key);
}
void SetShape(CVokraDoc& doc) {
    doc.GetShapes().Set(3, MouthShape::E, true);
}

class VokSection_Keep : public VokSection, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(VokSection_Keep, NothingIsLostWithoutAQuestion) {
    const KeepCase& c = GetParam();
    CVokraDoc& plain = NewDoc();
    for (int f = 0; f < 6; ++f) plain.GetKeys().SetKey(Keyframe(f, 0.5f));
    const std::string original = Save(plain) + c.section;
    messages_->AllowAny();
    CVokraDoc& doc = Open(original);
    const std::size_t openingMessages = messages_->Shown().size();
    c.edit(doc);
    const std::string path = dir_.File("doc.vok");
    WriteFile(path, original);

    // The window's question: "Don't Save" leaves the file as it was.
    messages_->AllowAny(IDNO);
    EXPECT_EQ(doc.OnSaveDocument(path), c.lost.empty());
    const std::vector<std::string> texts = messages_->Texts();
    ASSERT_EQ(texts.size(), openingMessages + (c.lost.empty() ? 0u : 1u));
    if (!c.lost.empty()) {
        EXPECT_EQ(doc.LostOnSave(), c.lost);
        EXPECT_NE(texts.back().find("holds " + c.lost + " that this version could not read"),
                  std::string::npos)
            << texts.back();
        EXPECT_EQ(ReadFile(path), original);
        messages_->AllowAny(IDYES);
        ASSERT_TRUE(doc.OnSaveDocument(path));
        EXPECT_EQ(doc.LostOnSave(), "");
    }
    const std::string saved = ReadFile(path);
    if (c.lost.empty()) {
        const std::size_t at = saved.find(c.kept);
        ASSERT_NE(at, std::string::npos);
        if (c.last) {
            EXPECT_EQ(at + c.kept.size(), saved.size());
        }
    } else {
        EXPECT_EQ(saved.find(c.kept), std::string::npos);
    }
    // What was written reads back and writes out the same, kept bytes and all.
    CVokraDoc& again = Open(saved);
    messages_->AllowAny(IDNO);
    EXPECT_EQ(Save(again), saved);
}

const std::string kBadShapes = Record("SHPS", ShapeRun(0, 2, 9, 0));
const std::string kBadHand = Record("HAND", HandRun(4, 1) + HandRun(1, 1));
const std::string kLater = Record("ZZZZ", std::string("a later version's record\0\xFF", 26));
const std::string kCutOff = std::string("TXTS") + U32(1000) + "cut off";

INSTANTIATE_TEST_SUITE_P(
    Table, VokSection_Keep,
    ::testing::Values(
        // The fault: one bad byte in the shapes, then a key set.
        KeepCase{"DamagedShapesSurviveAKeyEdit", kMark + kBadShapes, SetKey, "", kBadShapes, true},
        KeepCase{"DamagedShapesSurviveHandMarks", kMark + kBadShapes + kLater, SetHandKey, "",
                 kBadShapes + kLater, true},
        KeepCase{"LaterRecordSurvivesNewShapes", kMark + kLater, SetShape, "", kLater, true},
        KeepCase{"CutOffRecordStaysLast", kMark + kLater + kCutOff, SetShape, "", kLater + kCutOff,
                 true},
        KeepCase{"NotASectionKeptWithoutOne", "other data", SetKey, "", "other data", true},
        KeepCase{"NewShapesReplaceDamagedOnes", kMark + kBadShapes + kLater, SetShape,
                 "mouth shapes", kBadShapes, false},
        KeepCase{"NewHandMarksReplaceDamagedOnes", kMark + kBadHand, SetHandKey, "hand-made marks",
                 kBadHand, false},
        KeepCase{
            "SecondShapesRecordIsReplaced",
            kMark + Record("SHPS", ShapeRun(0, 1, 0, 0)) + Record("SHPS", ShapeRun(4, 1, 0, 0)),
            SetKey, "mouth shapes", Record("SHPS", ShapeRun(4, 1, 0, 0)), false},
        KeepCase{"NotASectionReplacedByOne", "other data", SetShape,
                 "other data after the document's fields", "other data", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Records stay where they were: a document opened and saved without a change (or with a change
// to its keys only) is the same file, byte for byte, whatever order its records came in; a
// damaged record is named for what it holds.
struct OrderCase {
    const char* name;
    std::string section;
    std::string damaged;  // what the message names; empty: no message
};

class VokSection_Order : public VokSection, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(VokSection_Order, AnUnchangedDocumentKeepsItsBytes) {
    const OrderCase& c = GetParam();
    CVokraDoc& plain = NewDoc();
    for (int f = 0; f < 6; ++f) plain.GetKeys().SetKey(Keyframe(f, 0.5f));
    const std::string original = Save(plain) + c.section;
    messages_->AllowAny();
    CVokraDoc& doc = Open(original);
    const std::vector<std::string> texts = messages_->Texts();
    ASSERT_EQ(texts.size(), c.damaged.empty() ? 0u : 1u);
    if (!c.damaged.empty()) {
        EXPECT_EQ(texts[0], std::string(kDamagedSectionLead) + c.damaged +
                                ". The keys and the rest of the document opened as usual. "
                                "Saving keeps the damaged bytes as they are, and asks before "
                                "anything replaces them.");
    }
    EXPECT_EQ(Save(doc), original);
    // A key (not a hand-made one) moved and moved back, and a second save: the same bytes.
    doc.GetKeys().SetKey(Keyframe(4, 0.75f));
    doc.GetKeys().SetKey(Keyframe(4, 0.5f));
    EXPECT_EQ(Save(doc), original);
    EXPECT_EQ(Save(doc), original);
}

const std::string kShapes = Record("SHPS", ShapeRun(0, 3, 1, 0));
const std::string kScript = Record("SCRP", U32(5) + "en-us" + "hello");
const std::string kBadScript = Record("SCRP", U32(2) + "..x");

INSTANTIATE_TEST_SUITE_P(
    Table, VokSection_Order,
    ::testing::Values(
        OrderCase{"UnknownFirst", kMark + kLater + kShapes + kGoodHand, ""},
        OrderCase{"UnknownBetween", kMark + kGoodHand + kLater + kScript + kShapes, ""},
        OrderCase{"ScriptFirstUnknownLast", kMark + kScript + kGoodHand + kLater, ""},
        OrderCase{"DamagedScriptBeforeShapes", kMark + kBadScript + kShapes + kLater, "the script"},
        OrderCase{"EmptyOwnBeforeItsDamagedOne",
                  kMark + kLater + Record("SCRP", "") + kBadScript + kShapes, "the script"},
        OrderCase{"TwoDamagedKinds", kMark + kBadShapes + kBadScript + kGoodHand,
                  "the mouth shapes and the script"},
        OrderCase{"CutOffLast", kMark + kShapes + kLater + kCutOff,
                  "the end of the file, which is cut off"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra::test

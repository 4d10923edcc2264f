// The forms the mouth shapes are written in: the sound-only forms of vokra-cli shapes over a fixed
// run of 10 ms shapes, and a document's shapes and hand-made keys in its csv, json and dat.
#include "document/shape_export.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "document/key_export.h"

namespace vokra {
namespace {

using S = MouthShape;

// 0.1 s: rest, closed lips, teeth, open; at 100 frames per second one frame per window.
const std::vector<MouthShape> kWindows{S::X, S::X, S::X, S::A, S::A, S::B, S::B, S::B, S::B, S::C};

ShapeExportInfo Info() {
    ShapeExportInfo info;
    info.soundPath = "take <1> & \"2\".wav";
    info.duration = 0.1;
    info.sampleRate = 8000;
    info.frameRate = 100.0;
    return info;
}

struct FormCase {
    const char* name;
    ShapeFormat format;
    const char* expected;
};

class ShapeForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(ShapeForms, WriteTheFixedRun) {
    std::ostringstream out;
    ASSERT_TRUE(WriteShapes(GetParam().format, kWindows, Info(), out));
    EXPECT_EQ(out.str(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeForms,
    ::testing::Values(
        FormCase{"Tsv", ShapeFormat::Tsv, "0.00\tX\n0.03\tA\n0.05\tB\n0.09\tC\n0.10\tX\n"},
        FormCase{"Json", ShapeFormat::Json,
                 "{\n  \"metadata\": {\n    \"soundFile\": \"take <1> & \\\"2\\\".wav\",\n"
                 "    \"duration\": 0.10\n  },\n  \"mouthCues\": [\n"
                 "    { \"start\": 0.00, \"end\": 0.03, \"value\": \"X\" },\n"
                 "    { \"start\": 0.03, \"end\": 0.05, \"value\": \"A\" },\n"
                 "    { \"start\": 0.05, \"end\": 0.09, \"value\": \"B\" },\n"
                 "    { \"start\": 0.09, \"end\": 0.10, \"value\": \"C\" }\n  ]\n}\n"},
        FormCase{"Xml", ShapeFormat::Xml,
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rhubarbResult>\n  <metadata>\n"
                 "    <soundFile>take &lt;1&gt; &amp; &quot;2&quot;.wav</soundFile>\n"
                 "    <duration>0.10</duration>\n  </metadata>\n  <mouthCues>\n"
                 "    <mouthCue start=\"0.00\" end=\"0.03\">X</mouthCue>\n"
                 "    <mouthCue start=\"0.03\" end=\"0.05\">A</mouthCue>\n"
                 "    <mouthCue start=\"0.05\" end=\"0.09\">B</mouthCue>\n"
                 "    <mouthCue start=\"0.09\" end=\"0.10\">C</mouthCue>\n"
                 "  </mouthCues>\n</rhubarbResult>\n"},
        FormCase{"Csv", ShapeFormat::Csv,
                 "frame,time,shape\n0,0,X\n1,0.01,X\n2,0.02,X\n3,0.03,A\n4,0.04,A\n5,0.05,B\n"
                 "6,0.06,B\n7,0.07,B\n8,0.08,B\n9,0.09,C\n"},
        FormCase{"Dat", ShapeFormat::Dat, "MohoSwitch1\n1 rest\n4 MBP\n6 etc\n10 E\n11 rest\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShapeForms, TimedFormsIgnoreTheFrameRateAndEndAtTheSound) {
    ShapeExportInfo info = Info();
    info.frameRate = 7.5;
    info.duration = 0.084;  // the last window starts after the end (0.08 at two decimals)
    std::ostringstream tsv;
    WriteShapesTsv(kWindows, info, tsv);
    EXPECT_EQ(tsv.str(), "0.00\tX\n0.03\tA\n0.05\tB\n0.08\tX\n");
}

TEST(ShapeNames, NineInOrderOrSomeByLetter) {
    EXPECT_EQ(FormatMouthShapeNames(ParseMouthShapeNames("a,b,c,d,e,f,g,h,x").names),
              "a,b,c,d,e,f,g,h,x");
    EXPECT_EQ(FormatMouthShapeNames(ParseMouthShapeNames("A:closed,x:neutral").names),
              "closed,etc,E,AI,O,U,FV,L,neutral");
    for (const char* bad :
         {"a,b,c", "A:ok,Q:bad", "a,b,c,d,e,f,g,h,x,y", "A:", "a b,b,c,d,e,f,g,h,x"}) {
        EXPECT_FALSE(ParseMouthShapeNames(bad).error.empty()) << bad;
    }
}

// The names of the shapes meet the checks of the keys' mouth list: readers drop a plain number,
// and a letter named twice would silently lose one of its names.
struct NamesCase {
    const char* text;
    const char* error;  // empty: accepted
};
class ShapeNames_Refused : public ::testing::TestWithParam<NamesCase> {};

TEST_P(ShapeNames_Refused, AsTheKeysMouthListIs) {
    EXPECT_EQ(ParseMouthShapeNames(GetParam().text).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeNames_Refused,
    ::testing::Values(
        NamesCase{"1,2,3,4,5,6,7,8,9",
                  "the mouth name '1' is a plain number, which readers of switch data drop"},
        NamesCase{"A:x,B:-0.5",
                  "the mouth name '-0.5' is a plain number, which readers of switch "
                  "data drop"},
        NamesCase{"A:x,A:y", "the letter A is given twice"},
        NamesCase{"x:rest,X:neutral", "the letter X is given twice"},
        NamesCase{"A:\xC3(", "the name of mouth 1 is not valid UTF-8 text"},
        NamesCase{"A:M1,B:2b", ""}));

// Switch data of shapes, as the keys' switch data runs: from frame 1, closing at rest.
struct SwitchCase {
    const char* name;
    std::vector<std::pair<int, MouthShape>> shapes;
    const char* expected;
};
class ShapeSwitch_RestAtBothEnds : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ShapeSwitch_RestAtBothEnds, StartsAtFrameOneAndClosesAtRest) {
    ShapeTrack track;
    for (const auto& [frame, shape] : GetParam().shapes) track.Set(frame, shape, false);
    std::ostringstream out;
    ASSERT_TRUE(WriteShapeTrackSwitch(track, DefaultMouthShapeNames(), out));
    EXPECT_EQ(out.str(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeSwitch_RestAtBothEnds,
    ::testing::Values(
        SwitchCase{"LateFirstShape",
                   {{61, S::G}, {62, S::C}},
                   "MohoSwitch1\n1 rest\n62 FV\n63 E\n64 rest\n"},
        SwitchCase{"FromFrameZero", {{0, S::D}, {1, S::D}}, "MohoSwitch1\n1 AI\n3 rest\n"},
        SwitchCase{"EndsAtRestAlready", {{0, S::A}, {1, S::X}}, "MohoSwitch1\n1 MBP\n2 rest\n"},
        SwitchCase{"None", {}, "MohoSwitch1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A document: keys 0 (hand-made) and 4, shapes 1-2 (2 by hand) and 4.
class DocumentShapeExport : public ::testing::Test {
protected:
    void SetUp() override {
        Keyframe hand(0, 0.5f);
        hand.SetHandMade(true);
        keys_.SetKey(hand);
        keys_.SetKey(Keyframe(4, 1.0f));
        track_.Set(1, S::A, false);
        track_.Set(2, S::D, true);
        track_.Set(4, S::F, false);
        info_.frameRate = 10.0;
        info_.shapes = &track_;
    }
    std::string Write(KeyFormat format) {
        std::ostringstream out;
        EXPECT_TRUE(WriteKeys(format, keys_, info_, out));
        return out.str();
    }
    KeyframeList keys_;
    ShapeTrack track_;
    KeyExportInfo info_;
};

TEST_F(DocumentShapeExport, CsvRowsForEveryFrameWithAKeyOrAShape) {
    EXPECT_EQ(Write(KeyFormat::Csv),
              "frame,time,opening,shape\n0,0,0.5,\n1,0.1,,A\n2,0.2,,D\n4,0.4,1,F\n");
}

TEST_F(DocumentShapeExport, CsvLeadInRowCarriesTheShapeOfFrameZero) {
    keys_.RemoveKey(0);
    track_.Set(0, S::X, false);
    EXPECT_EQ(Write(KeyFormat::Csv),
              "frame,time,opening,shape\n0,0,0,X\n1,0.1,,A\n2,0.2,,D\n4,0.4,1,F\n");
}

TEST_F(DocumentShapeExport, JsonMarksHandEditsAndListsTheShapes) {
    const nlohmann::json j = nlohmann::json::parse(Write(KeyFormat::Json));
    EXPECT_EQ(j["keys"][0]["hand"], true);
    EXPECT_FALSE(j["keys"][1].contains("hand"));
    ASSERT_EQ(j["shapes"].size(), 3u);
    EXPECT_EQ(j["shapes"][1],
              nlohmann::json::parse(R"({"frame": 2, "time": 0.2, "shape": "D", "hand": true})"));
    EXPECT_FALSE(j["shapes"][0].contains("hand"));
    // Without keys the list is still well formed.
    KeyframeList none;
    std::ostringstream out;
    WriteKeys(KeyFormat::Json, none, info_, out);
    EXPECT_EQ(nlohmann::json::parse(out.str())["shapes"].size(), 3u);
}

TEST_F(DocumentShapeExport, DatSwitchesShapesWithRestInGaps) {
    info_.shapeNames[MouthShapeIndex(S::A)] = "closed";
    EXPECT_EQ(Write(KeyFormat::Dat), "MohoSwitch1\n1 rest\n2 closed\n3 AI\n4 rest\n5 U\n6 rest\n");
    track_.RemoveAll();  // no shapes: the opening's mouths, as always
    EXPECT_EQ(Write(KeyFormat::Dat), "MohoSwitch1\n1 E\n2 AI\n");
    EXPECT_EQ(Write(KeyFormat::Csv), "frame,time,opening\n0,0,0.5\n4,0.4,1\n");
}

}  // namespace
}  // namespace vokra

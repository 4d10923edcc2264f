// The rig's mouths in every export of shapes: a rig without G, H or X gets their basic mouths
// (G and X as A, H as C) in the sound-only forms and in a document's csv, json and dat, runs
// joined where the mapping makes them one; and the shape settings as the settings file holds them.
#include <gtest/gtest.h>

#include <sstream>

#include "document/key_export.h"
#include "document/shape_export.h"
#include "document/shape_settings.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using S = MouthShape;

// 0.1 s: rest, F/V, closed lips, L, rest; at 100 frames per second one frame per window.
const std::vector<MouthShape> kWindows{S::X, S::X, S::G, S::G, S::A, S::A, S::H, S::H, S::H, S::X};
// The same as a six-mouth rig draws it.
const std::vector<MouthShape> kSixMouths{S::A, S::A, S::A, S::A, S::A,
                                         S::A, S::C, S::C, S::C, S::A};

std::string WriteSound(ShapeFormat format, const std::vector<MouthShape>& windows, ShapeSet set) {
    ShapeExportInfo info;
    info.soundPath = "line.wav";
    info.duration = 0.1;
    info.sampleRate = 8000;
    info.frameRate = 100.0;
    info.shapeSet = set;
    std::ostringstream out;
    EXPECT_TRUE(WriteShapes(format, windows, info, out));
    return out.str();
}

class ShapeSetExport_SoundForms : public ::testing::TestWithParam<ShapeFormat> {};

// Mapped before the cues are formed: the G beside the A is one cue, as a guess for that rig.
TEST_P(ShapeSetExport_SoundForms, WriteTheBasicMouthsJoined) {
    EXPECT_EQ(WriteSound(GetParam(), kWindows, kBasicShapeSet),
              WriteSound(GetParam(), kSixMouths, kBasicShapeSet));
    EXPECT_NE(WriteSound(GetParam(), kWindows, kBasicShapeSet),
              WriteSound(GetParam(), kWindows, ShapeSet{}));
}

INSTANTIATE_TEST_SUITE_P(Table, ShapeSetExport_SoundForms,
                         ::testing::Values(ShapeFormat::Tsv, ShapeFormat::Json, ShapeFormat::Xml,
                                           ShapeFormat::Csv, ShapeFormat::Dat));

TEST(ShapeSetExport_SoundForms, TsvEndsOnTheRigsRest) {
    EXPECT_EQ(WriteSound(ShapeFormat::Tsv, kWindows, kBasicShapeSet),
              "0.00\tA\n0.06\tC\n0.09\tA\n0.10\tA\n");
    EXPECT_EQ(WriteSound(ShapeFormat::Tsv, kWindows, *ParseShapeSet("GX")),
              "0.00\tX\n0.02\tG\n0.04\tA\n0.06\tC\n0.09\tX\n0.10\tX\n");
}

struct DocCase {
    const char* name;
    KeyFormat format;
    const char* set;
    const char* expected;
};

class ShapeSetExport_Document : public ::testing::TestWithParam<DocCase> {};

// Keys 0 and 4; shapes G (set by hand), A, H, then rest after a gap. The stored shapes stay as
// they are: only what is written changes.
TEST_P(ShapeSetExport_Document, WritesEachShapeAsTheRigDrawsIt) {
    KeyframeList keys;
    keys.SetKey(Keyframe(0, 0.5f));
    keys.SetKey(Keyframe(4, 1.0f));
    ShapeTrack track;
    track.Set(1, S::G, true);
    track.Set(2, S::A, false);
    track.Set(3, S::H, false);
    track.Set(5, S::X, false);
    KeyExportInfo info;
    info.frameRate = 10.0;
    info.shapes = &track;
    info.shapeSet = *ParseShapeSet(GetParam().set);
    std::ostringstream out;
    ASSERT_TRUE(WriteKeys(GetParam().format, keys, info, out));
    EXPECT_EQ(out.str(), GetParam().expected);
    EXPECT_EQ(track.Find(1)->shape, S::G);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeSetExport_Document,
    ::testing::Values(
        DocCase{"CsvAll", KeyFormat::Csv, "GHX",
                "frame,time,opening,shape\n0,0,0.5,\n1,0.1,,G\n2,0.2,,A\n3,0.3,,H\n4,0.4,1,\n"
                "5,0.5,,X\n"},
        DocCase{"CsvSix", KeyFormat::Csv, "",
                "frame,time,opening,shape\n0,0,0.5,\n1,0.1,,A\n2,0.2,,A\n3,0.3,,C\n4,0.4,1,\n"
                "5,0.5,,A\n"},
        DocCase{"JsonWithoutH", KeyFormat::Json, "GX",
                "{\n  \"frameRate\": 10,\n  \"sound\": null,\n  \"keys\": [\n"
                "    {\"frame\": 0, \"time\": 0, \"opening\": 0.5},\n"
                "    {\"frame\": 4, \"time\": 0.4, \"opening\": 1}\n  ],\n  \"shapes\": [\n"
                "    {\"frame\": 1, \"time\": 0.1, \"shape\": \"G\", \"hand\": true},\n"
                "    {\"frame\": 2, \"time\": 0.2, \"shape\": \"A\"},\n"
                "    {\"frame\": 3, \"time\": 0.3, \"shape\": \"C\"},\n"
                "    {\"frame\": 5, \"time\": 0.5, \"shape\": \"X\"}\n  ]\n}\n"},
        DocCase{"DatAll", KeyFormat::Dat, "GHX", "MohoSwitch1\n1 rest\n2 FV\n3 MBP\n4 L\n5 rest\n"},
        // G beside A is no change of mouth; the gap's rest is the closed mouth too.
        DocCase{"DatSix", KeyFormat::Dat, "", "MohoSwitch1\n1 MBP\n4 E\n5 MBP\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SettingsCase {
    const char* name;
    const char* file;  // the settings file's text
    ShapeOptions expected;
};

class ShapeSettings_File : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ShapeSettings_File, ReadsWhatIsUsableAndDefaultsTheRest) {
    test::TempDir dir;
    const std::string saved = Profile().Path();
    Profile().SetPath(dir.File("vokra.INI"));
    test::WriteFile(dir.File("vokra.INI"), GetParam().file);
    EXPECT_EQ(LoadShapeOptions(), GetParam().expected);
    // What is saved reads back the same.
    ShapeOptions changed{120, *ParseShapeSet("H")};
    ASSERT_TRUE(SaveShapeOptions(changed));
    EXPECT_EQ(LoadShapeOptions(), changed);
    Profile().SetPath(saved);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeSettings_File,
    ::testing::Values(SettingsCase{"NoSection", "[SETTINGS]\nSECONDS=1\n", ShapeOptions{}},
                      SettingsCase{"Set", "[SHAPES]\nLEAD_MS=40\nEXTENDED_SHAPES=GX\n",
                                   ShapeOptions{40, ShapeSet{true, false, true}}},
                      // Present but empty: the rig has the basic six alone.
                      SettingsCase{"BasicSix", "[SHAPES]\nEXTENDED_SHAPES=\n",
                                   ShapeOptions{0, kBasicShapeSet}},
                      SettingsCase{"SpoiltByHand", "[SHAPES]\nLEAD_MS=9999\nEXTENDED_SHAPES=GQ\n",
                                   ShapeOptions{}},
                      SettingsCase{"NegativeLead", "[shapes]\nlead_ms=-20\n", ShapeOptions{}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "cli/cli_runner.h"

namespace vokra {
namespace {

struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // empty: accepted
};

class CliArguments_Checks : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CliArguments_Checks, AcceptedOrRefusedWithAReason) {
    const CliParseResult r = ParseCliArguments(GetParam().args);
    EXPECT_EQ(r.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliArguments_Checks,
    ::testing::Values(
        ArgsCase{"Nothing", {}, "no command given"},
        ArgsCase{"UnknownCommand", {"frob"}, "unknown command 'frob'"},
        ArgsCase{"UnknownLeadingOption", {"--frob"}, "unknown option '--frob'"},
        ArgsCase{"NoSound", {"autokey"}, "autokey needs a sound file (SOUND.wav)"},
        ArgsCase{
            "NoDocument", {"info"}, "info needs a document or a sound file (DOC.vok or SOUND)"},
        ArgsCase{"ConvertNothing",
                 {"convert"},
                 "convert needs a sound file and an output file (IN OUT.wav)"},
        ArgsCase{
            "ConvertNoOutput", {"convert", "a.flac"}, "convert needs an output file (OUT.wav)"},
        ArgsCase{
            "ConvertThreeFiles", {"convert", "a", "b.wav", "c.wav"}, "unexpected argument 'c.wav'"},
        ArgsCase{
            "ConvertOptions", {"convert", "a", "b.wav", "--channel", "mix", "--rate=8000"}, ""},
        ArgsCase{"ConvertRateTooLow",
                 {"convert", "a", "b.wav", "--rate", "3999"},
                 "--rate must be a whole number from 4000 to 44100 (got '3999')"},
        ArgsCase{"ConvertChannelZero",
                 {"convert", "a", "b.wav", "--channel", "0"},
                 "--channel must be 'mix' or a channel number from 1 (got '0')"},
        ArgsCase{"RateIsNotAnAutoKeyOption",
                 {"autokey", "a.wav", "--rate", "8000"},
                 "unknown option '--rate'"},
        ArgsCase{"TwoSounds", {"autokey", "a.wav", "b.wav"}, "unexpected argument 'b.wav'"},
        ArgsCase{"MissingValue", {"autokey", "a.wav", "--fps"}, "option --fps needs a value"},
        ArgsCase{"RateOne", {"autokey", "a.wav", "--fps", "1"}, ""},
        ArgsCase{"RateHundred", {"autokey", "a.wav", "--fps=100"}, ""},
        ArgsCase{"RateTooLow",
                 {"autokey", "a.wav", "--fps", "0.5"},
                 "--fps must be a number from 1 to 100 (got '0.5')"},
        ArgsCase{"RateTooHigh",
                 {"autokey", "a.wav", "--fps", "100.01"},
                 "--fps must be a number from 1 to 100 (got '100.01')"},
        ArgsCase{"RateWithComma",
                 {"autokey", "a.wav", "--fps", "29,97"},
                 "--fps must be a number from 1 to 100 (got '29,97')"},
        ArgsCase{"RateNan",
                 {"autokey", "a.wav", "--fps", "nan"},
                 "--fps must be a number from 1 to 100 (got 'nan')"},
        ArgsCase{"ThresholdTop", {"autokey", "a.wav", "--high-threshold", "100"}, ""},
        ArgsCase{"Threshold101",
                 {"autokey", "a.wav", "--high-threshold", "101"},
                 "--high-threshold must be a whole number from 0 to 100 (got '101')"},
        ArgsCase{"NegativeThreshold",
                 {"autokey", "a.wav", "--low-threshold", "-1"},
                 "--low-threshold must be a whole number from 0 to 100 (got '-1')"},
        ArgsCase{"Range150", {"autokey", "a.wav", "--high-range", "150", "--low-range", "0"}, ""},
        ArgsCase{"Range151",
                 {"autokey", "a.wav", "--low-range=151"},
                 "--low-range must be a whole number from 0 to 150 (got '151')"},
        ArgsCase{"FractionalFrame",
                 {"autokey", "a.wav", "--to", "1.5"},
                 "--to must be a whole number, 0 or more (got '1.5')"},
        ArgsCase{"NegativeFrame",
                 {"autokey", "a.wav", "--from", "-3"},
                 "--from must be a whole number, 0 or more (got '-3')"},
        ArgsCase{"HugeFrame",
                 {"autokey", "a.wav", "--to", "99999999999999999999999"},
                 "--to must be a whole number, 0 or more (got '99999999999999999999999')"},
        ArgsCase{"FirstAfterLast",
                 {"autokey", "a.wav", "--from", "5", "--to", "3"},
                 "--from 5 is after --to 3"},
        ArgsCase{"OneFrame", {"autokey", "a.wav", "--from", "3", "--to", "3"}, ""},
        ArgsCase{"EmptyEnvName", {"autokey", "a.wav", "--env="}, "option --env needs a file name"},
        ArgsCase{"ExportOption", {"export", "d.vok", "-o", "x.env"}, ""},
        ArgsCase{"ExportLongOption", {"export", "d.vok", "--output=x.env"}, ""},
        ArgsCase{"ExportRefusesAutoKeyOptions",
                 {"export", "d.vok", "--fps", "25"},
                 "unknown option '--fps'"},
        ArgsCase{"InfoHasNoOptions", {"info", "d.vok", "-o", "x"}, "unknown option '-o'"},
        ArgsCase{
            "PrefixIsNotAnOption", {"autokey", "a.wav", "--fpsx", "3"}, "unknown option '--fpsx'"},
        ArgsCase{"DashDashEndsOptions", {"info", "--", "-odd.vok"}, ""},
        ArgsCase{"VersionAlone", {"--version", "x"}, "unexpected argument 'x'"},
        ArgsCase{"ExportFormats", {"export", "d.vok", "--format=dat", "--mouths", "a:1,b"}, ""},
        ArgsCase{"AutoKeyFormat", {"autokey", "a.wav", "--format", "ae", "-o", "k.txt"}, ""},
        ArgsCase{"UnknownFormat",
                 {"export", "d.vok", "--format", "xml"},
                 "--format must be one of env, csv, json, ae, dat, rhubarb-tsv, rhubarb-json, "
                 "rhubarb-xml, godot-tres, spine-json, live2d-motion3, unity-anim, weights-csv, "
                 "weights-json, papagayo-pgo (got 'xml')"},
        ArgsCase{"RhubarbFormats", {"export", "d.vok", "--format", "rhubarb-xml"}, ""},
        ArgsCase{"ShapesTakesRhubarbNames", {"shapes", "a.wav", "--format=rhubarb-tsv"}, ""},
        ArgsCase{"DropDamagedForEdit", {"edit", "d.vok", "--set", "1:1", "--drop-damaged"}, ""},
        ArgsCase{"DropDamagedNeedsUpdate",
                 {"autokey", "a.wav", "--drop-damaged"},
                 "--drop-damaged applies only with --update"},
        ArgsCase{"DropDamagedTakesNoValue",
                 {"edit", "d.vok", "--set", "1:1", "--drop-damaged=yes"},
                 "option --drop-damaged takes no value"},
        ArgsCase{"MouthsWithoutDat",
                 {"export", "d.vok", "--mouths", "a:1,b"},
                 "--mouths applies only to --format dat or an engine or rig format"},
        ArgsCase{"UnorderedMouths",
                 {"export", "d.vok", "--format", "dat", "--mouths", "a:0.5,b:0.2,c"},
                 "--mouths: the limits must rise from one mouth to the next ('b' at 0.2 follows "
                 "'a' at 0.5)"},
        ArgsCase{"MouthWithSpace",
                 {"autokey", "a.wav", "--format", "dat", "--mouths", "a:0.5,wide open"},
                 "--mouths: the mouth name 'wide open' has a space, a control character, ':' or "
                 "','"},
        ArgsCase{
            "InfoHasNoFormat", {"info", "d.vok", "--format", "csv"}, "unknown option '--format'"},
        ArgsCase{
            "Shapes", {"shapes", "a.wav", "--format=dat", "--fps", "24", "--mouths", "A:m"}, ""},
        ArgsCase{"ShapesNoSound", {"shapes"}, "shapes needs a sound file (SOUND)"},
        ArgsCase{"ShapesFormat",
                 {"shapes", "a.wav", "--format", "ae"},
                 "--format must be one of tsv, json, xml, csv, dat, godot-tres, spine-json, "
                 "live2d-motion3, unity-anim, weights-csv, weights-json, papagayo-pgo (got 'ae')"},
        ArgsCase{"ShapesMouthsWithoutDat",
                 {"shapes", "a.wav", "--mouths", "A:m"},
                 "--mouths applies only to --format dat or an engine or rig format"},
        // The engine and rig formats: the map read for the format, options checked against it.
        ArgsCase{"RigExport",
                 {"export", "d.vok", "--format", "godot-tres", "--mouths", "A:3,X:0", "--target",
                  "Head/Mouth:frame", "--method", "set_mouth", "--name", "line1"},
                 ""},
        ArgsCase{"RigMouthsBeforeFormat",
                 {"shapes", "a.wav", "--mouths", "A:1/0", "--format", "live2d-motion3", "--curve",
                  "linear"},
                 ""},
        ArgsCase{"RigMouthNamedTwice",
                 {"shapes", "a.wav", "--format", "spine-json", "--mouths", "A:shut,B:x,A:open"},
                 "--mouths: the mouth A is named twice; give each mouth once"},
        ArgsCase{"RigOptionOfAnotherFormat",
                 {"export", "d.vok", "--format", "unity-anim", "--into", "s.json"},
                 "--into applies only to --format spine-json"},
        ArgsCase{"RigOptionWithoutRigFormat",
                 {"shapes", "a.wav", "--ease", "smooth"},
                 "--ease applies only to --format unity-anim, weights-csv, weights-json"},
        ArgsCase{"RigBadFade",
                 {"autokey", "a.wav", "--shapes", "--format", "weights-csv", "--fade", "40"},
                 "--fade must be a whole number of frames from 1 to 12 (got '40')"},
        ArgsCase{"RigGodotTargetNeedsProperty",
                 {"export", "d.vok", "--format", "godot-tres", "--target", "Mouth"},
                 "--target: a Godot target names a node and its property, as Mouth:frame (got "
                 "'Mouth')"},
        ArgsCase{"ShapesNames",
                 {"shapes", "a.wav", "--format", "dat", "--mouths", "a,b"},
                 "--mouths: give nine mouth names in the order A,B,C,D,E,F,G,H,X, or LETTER:NAME "
                 "items"},
        ArgsCase{"ShapesNoThresholds",
                 {"shapes", "a.wav", "--high-threshold", "5"},
                 "unknown option '--high-threshold'"},
        ArgsCase{"Edit", {"edit", "d.vok", "--set", "3:0.5", "--set=4:2", "--release", "0-9"}, ""},
        ArgsCase{"EditNothing",
                 {"edit", "d.vok"},
                 "edit needs --set FRAME:OPENING or --release FIRST-LAST"},
        ArgsCase{"EditOpening",
                 {"edit", "d.vok", "--set", "3:2.5"},
                 "--set needs FRAME:OPENING, a frame 0 or more and an opening from 0 to 2 (1 = "
                 "100 %) (got '3:2.5')"},
        ArgsCase{"EditFrameTooLarge",
                 {"edit", "d.vok", "--set", "2147483648:1"},
                 "--set needs FRAME:OPENING, a frame 0 or more and an opening from 0 to 2 (1 = "
                 "100 %) (got '2147483648:1')"},
        ArgsCase{"EditReleaseBackwards",
                 {"edit", "d.vok", "--release", "9-3"},
                 "--release needs FIRST-LAST, frames 0 or more with FIRST not after LAST (got "
                 "'9-3')"},
        ArgsCase{"EditReleaseNegative",
                 {"edit", "d.vok", "--release", "-3"},
                 "--release needs FIRST-LAST, frames 0 or more with FIRST not after LAST (got "
                 "'-3')"},
        ArgsCase{"Update",
                 {"autokey", "a.wav", "--update", "d.vok", "--shapes", "--replace-hand-edits"},
                 ""},
        ArgsCase{"UpdateAndVok",
                 {"autokey", "a.wav", "--update", "d.vok", "--vok", "e.vok"},
                 "--update writes the document it names; it cannot be used with --vok"},
        ArgsCase{"ReplaceWithoutUpdate",
                 {"autokey", "a.wav", "--replace-hand-edits"},
                 "--replace-hand-edits applies only with --update"},
        ArgsCase{"ShapesFlagTakesNoValue",
                 {"autokey", "a.wav", "--shapes=yes"},
                 "option --shapes takes no value"},
        ArgsCase{"ShapeNamesWithoutDat",
                 {"export", "d.vok", "--shape-names", "A:m"},
                 "--shape-names applies only to --format dat"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliArguments_Values, OptionsReachTheCommand) {
    const CliParseResult r =
        ParseCliArguments({"autokey", "--fps", "29.97", "v.wav", "--from=4", "--to", "9",
                           "--high-threshold", "60", "--low-threshold", "20", "--high-range", "120",
                           "--low-range", "10", "--env", "o.env", "--vok", "o.vok"});
    ASSERT_TRUE(r.ok()) << r.error;
    const CliOptions& o = r.options;
    EXPECT_EQ(o.command, CliCommand::AutoKey);
    EXPECT_EQ(o.input, "v.wav");
    EXPECT_EQ(o.fps, 29.97);
    EXPECT_EQ(o.from, 4);
    EXPECT_EQ(o.to, 9);
    EXPECT_EQ(o.highThreshold, 60);
    EXPECT_EQ(o.lowThreshold, 20);
    EXPECT_EQ(o.highRange, 120);
    EXPECT_EQ(o.lowRange, 10);
    EXPECT_EQ(o.envPath, "o.env");
    EXPECT_EQ(o.vokPath, "o.vok");
}

TEST(CliArguments_Values, DefaultsAreThePalettes) {
    const CliParseResult r = ParseCliArguments({"autokey", "v.wav"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.options.fps, 15.0);
    EXPECT_FALSE(r.options.from);
    EXPECT_FALSE(r.options.to);
    EXPECT_EQ(r.options.highThreshold, 100);
    EXPECT_EQ(r.options.lowThreshold, 0);
    EXPECT_EQ(r.options.highRange, 100);
    EXPECT_EQ(r.options.lowRange, 0);
}

TEST(CliArguments_Values, HelpWinsAnywhereBeforeDashDash) {
    EXPECT_EQ(ParseCliArguments({"autokey", "--fps", "0", "-h"}).options.command, CliCommand::Help);
    EXPECT_EQ(ParseCliArguments({"info", "--", "--help"}).options.input, "--help");
}

struct PresetCase {
    double rate;
    int preset;
};

class CliPreset_ForRate : public ::testing::TestWithParam<PresetCase> {};

TEST_P(CliPreset_ForRate, StandardRatesTakeTheirPresetOthersAreCustom) {
    EXPECT_EQ(PresetForRate(GetParam().rate), GetParam().preset) << GetParam().rate;
}

INSTANTIATE_TEST_SUITE_P(Table, CliPreset_ForRate,
                         ::testing::Values(PresetCase{4.0, 1}, PresetCase{7.5, 2},
                                           PresetCase{12.5, 5}, PresetCase{14.985, 6},
                                           PresetCase{15.0, 7}, PresetCase{25.0, 9},
                                           PresetCase{29.97, 10}, PresetCase{30.0, 11},
                                           PresetCase{23.976, 0}, PresetCase{1.0, 0},
                                           PresetCase{100.0, 0}, PresetCase{29.970001, 0}));

TEST(CliNumbers_Shortest, ReadsBackToTheSameValue) {
    EXPECT_EQ(ShortestNumber(25.0), "25");
    EXPECT_EQ(ShortestNumber(29.97), "29.97");
    EXPECT_EQ(ShortestNumber(14.985), "14.985");
    EXPECT_EQ(ShortestNumber(0.333f), "0.333");
    EXPECT_EQ(ShortestNumber(0.0f), "0");
    EXPECT_EQ(ShortestNumber(1.0f / 3.0f), "0.33333334");
    EXPECT_EQ(ShortestNumber(2.0f), "2");
}

}  // namespace
}  // namespace vokra

#include "document/key_export.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <charconv>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "document/key_export_command.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

using Keys = std::vector<std::pair<int, float>>;

std::string Export(KeyFormat format, const Keys& list, const KeyExportInfo& info,
                   KeyExportNotes* notes = nullptr) {
    KeyframeList keys;
    for (const auto& [frame, opening] : list) keys.SetKey(Keyframe(frame, opening));
    std::ostringstream out;
    EXPECT_TRUE(WriteKeys(format, keys, info, out, notes));
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

KeyExportInfo SmallInfo() {
    KeyExportInfo info;
    info.frameRate = 15.0;
    info.soundPath = "/snd/voice.wav";
    return info;
}

const Keys kSmall = {{12, 0.333f}, {0, 0.0f}, {5, 1.0f}};

// --- Every format, line by line.

struct FormatCase {
    const char* name;
    KeyFormat format;
    Keys keys;
    std::vector<std::string> lines;
};

class KeyExport_Text : public ::testing::TestWithParam<FormatCase> {};

TEST_P(KeyExport_Text, LineByLine) {
    const std::string text = Export(GetParam().format, GetParam().keys, SmallInfo());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(Lines(text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, KeyExport_Text,
    ::testing::Values(
        FormatCase{"csv",
                   KeyFormat::Csv,
                   kSmall,
                   {"frame,time,opening", "0,0,0", "5,0.3333333333333333,1", "12,0.8,0.333"}},
        FormatCase{"csv_empty", KeyFormat::Csv, {}, {"frame,time,opening"}},
        FormatCase{"json",
                   KeyFormat::Json,
                   kSmall,
                   {"{", "  \"frameRate\": 15,", "  \"sound\": \"/snd/voice.wav\",",
                    "  \"keys\": [", "    {\"frame\": 0, \"time\": 0, \"opening\": 0},",
                    "    {\"frame\": 5, \"time\": 0.3333333333333333, \"opening\": 1},",
                    "    {\"frame\": 12, \"time\": 0.8, \"opening\": 0.333}", "  ]", "}"}},
        FormatCase{"json_empty",
                   KeyFormat::Json,
                   {},
                   {"{", "  \"frameRate\": 15,", "  \"sound\": \"/snd/voice.wav\",",
                    "  \"keys\": []", "}"}},
        // The application's keyframe text, as described line by line: header, blank, five tabbed
        // settings, blank, the slider's two heading lines, a row per key in percent, blank, end.
        FormatCase{"ae",
                   KeyFormat::Ae,
                   {{12, 0.333f}, {0, 0.0f}, {5, 1.0f}, {7, 0.3f}, {9, 1.5e-7f}},
                   {"Adobe After Effects 8.0 Keyframe Data", "", "\tUnits Per Second\t15",
                    "\tSource Width\t100", "\tSource Height\t100", "\tSource Pixel Aspect Ratio\t1",
                    "\tComp Pixel Aspect Ratio\t1", "", "Effects\tSlider Control #1\tSlider #2",
                    "\tFrame\t", "\t0\t0", "\t5\t100", "\t7\t30", "\t9\t0.000015", "\t12\t33.3", "",
                    "", "End of Keyframe Data"}},
        FormatCase{"ae_empty",
                   KeyFormat::Ae,
                   {},
                   {"Adobe After Effects 8.0 Keyframe Data", "", "\tUnits Per Second\t15",
                    "\tSource Width\t100", "\tSource Height\t100", "\tSource Pixel Aspect Ratio\t1",
                    "\tComp Pixel Aspect Ratio\t1", "", "Effects\tSlider Control #1\tSlider #2",
                    "\tFrame\t", "", "", "End of Keyframe Data"}},
        // 0 -> 1 over frames 0..5 climbs through every mouth; 1 -> 0.333 over 5..12 falls back
        // below 0.55 at frame 10.
        FormatCase{"dat",
                   KeyFormat::Dat,
                   kSmall,
                   {"MohoSwitch1", "1 rest", "2 etc", "3 E", "4 AI", "11 E"}},
        FormatCase{"dat_empty", KeyFormat::Dat, {}, {"MohoSwitch1"}},
        // A first key after frame 0: the envelope rises from closed at frame 0, and a reader that
        // knows nothing of that gets a point there (marked in JSON) or the mouths of the rise.
        FormatCase{"csv_lead_in",
                   KeyFormat::Csv,
                   {{3, 0.6f}, {6, 0.2f}},
                   {"frame,time,opening", "0,0,0", "3,0.2,0.6", "6,0.4,0.2"}},
        FormatCase{
            "json_lead_in",
            KeyFormat::Json,
            {{3, 0.6f}},
            {"{", "  \"frameRate\": 15,", "  \"sound\": \"/snd/voice.wav\",", "  \"keys\": [",
             "    {\"frame\": 0, \"time\": 0, \"opening\": 0, \"leadIn\": true},",
             "    {\"frame\": 3, \"time\": 0.2, \"opening\": 0.6}", "  ]", "}"}},
        FormatCase{"ae_lead_in",
                   KeyFormat::Ae,
                   {{3, 0.6f}},
                   {"Adobe After Effects 8.0 Keyframe Data", "", "\tUnits Per Second\t15",
                    "\tSource Width\t100", "\tSource Height\t100", "\tSource Pixel Aspect Ratio\t1",
                    "\tComp Pixel Aspect Ratio\t1", "", "Effects\tSlider Control #1\tSlider #2",
                    "\tFrame\t", "\t0\t0", "\t3\t60", "", "", "End of Keyframe Data"}},
        // 0 -> 0.6 over frames 0..3: 0.2 at frame 1, 0.4 at 2, 0.6 at 3; then held.
        FormatCase{"dat_lead_in",
                   KeyFormat::Dat,
                   {{3, 0.6f}, {8, 0.6f}},
                   {"MohoSwitch1", "1 rest", "2 etc", "3 E", "4 AI"}},
        // A pasted -0 is an opening of 0, and written so.
        FormatCase{"csv_negative_zero",
                   KeyFormat::Csv,
                   {{0, -0.0f}, {1, 0.5f}},
                   {"frame,time,opening", "0,0,0", "1,0.06666666666666667,0.5"}},
        FormatCase{
            "dat_one_key",
            KeyFormat::Dat,
            {{2147483647, 2.0f}},
            {"MohoSwitch1", "1 rest", "107374185 etc", "322122561 E", "590558017 AI"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A pasted -0 reaches the envelope file as the opening 0, not "-0.000".
TEST(KeyExport_Text, NegativeZeroIsWrittenAsZeroInTheEnvelope) {
    KeyframeList keys;
    keys.SetKey(Keyframe(4, -0.0f));
    std::ostringstream out;
    ASSERT_TRUE(WriteKeys(KeyFormat::Env, keys, KeyExportInfo(), out));
    EXPECT_EQ(out.str(), "LWEN\r\n1\r\n1\r\n1\r\n0.000\r\n4 1 0 0 0\r\n");
}

// --- Mouth bands: an opening exactly at a limit belongs to the band above.

struct DatCase {
    const char* name;
    const char* mouths;
    Keys keys;
    std::vector<std::string> lines;
};

class KeyExport_DatBands : public ::testing::TestWithParam<DatCase> {};

TEST_P(KeyExport_DatBands, ChangesAtTheRightFrame) {
    KeyExportInfo info;
    const MouthBandsParse parsed = ParseMouthBands(GetParam().mouths);
    ASSERT_EQ(parsed.error, "");
    info.mouths = parsed.bands;
    EXPECT_EQ(Lines(Export(KeyFormat::Dat, GetParam().keys, info)), GetParam().lines);
}

const float kBelowTenth = std::nextafter(0.1f, 0.0f);

INSTANTIATE_TEST_SUITE_P(
    Edges, KeyExport_DatBands,
    ::testing::Values(
        DatCase{"key_at_limit",
                "rest:0.1,etc:0.3,E:0.55,AI",
                {{0, 0.1f}, {1, 0.3f}, {2, 0.55f}, {3, kBelowTenth}},
                {"MohoSwitch1", "1 etc", "2 E", "3 AI", "4 rest"}},
        DatCase{"limit_that_is_not_a_short_double",
                "lo:0.7,hi",
                {{0, 0.7f}, {1, std::nextafter(0.7f, 0.0f)}},
                {"MohoSwitch1", "1 hi", "2 lo"}},
        DatCase{"interpolated_exactly_at_limit",
                "lo:0.5,hi",
                {{0, 0.0f}, {2, 1.0f}},
                {"MohoSwitch1", "1 lo", "2 hi"}},
        DatCase{"neighbouring_bands_of_one_mouth",
                "a:0.5,a:1,b",
                {{0, 0.0f}, {4, 2.0f}},
                {"MohoSwitch1", "1 a", "3 b"}},
        DatCase{
            "same_mouth_written_once", "only", {{3, 0.0f}, {9, 2.0f}}, {"MohoSwitch1", "1 only"}},
        // Two billion frames between two keys: found by bisection, not frame by frame.
        DatCase{"huge_gap",
                "rest:0.1,etc:0.3,E:0.55,AI",
                {{0, 0.0f}, {2000000000, 2.0f}},
                {"MohoSwitch1", "1 rest", "100000003 etc", "300000013 E", "550000013 AI"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyExport_DatBands, AgreesWithTheEnvelopeFrameByFrame) {
    std::mt19937 rng(5);
    KeyframeList keys;
    int frame = 3;
    for (int i = 0; i < 300; ++i) {
        frame += 1 + static_cast<int>(rng() % 40);
        keys.SetKey(Keyframe(frame, static_cast<float>(rng() % 1200) / 1000.0f));
    }
    KeyExportInfo info;
    std::ostringstream out;
    ASSERT_TRUE(WriteKeysMouthSwitch(keys, info, out));
    std::string expected = "MohoSwitch1\n";
    std::size_t current = 99;
    // From frame 0: the rise to the first key is part of what Vokra shows.
    for (int f = 0; f <= keys.GetLastFrame(); ++f) {
        const std::size_t band = MouthBandOf(info.mouths, keys.GetOpeningAt(f));
        if (band == current) continue;
        current = band;
        expected += std::to_string(f + 1) + " " + info.mouths[band].name + "\n";
    }
    EXPECT_EQ(out.str(), expected);
}

// --- The mouth list as typed on the command line or kept in the settings.

struct BandsCase {
    const char* name;
    std::string text;
    const char* error;  // empty: accepted and written back the same
};

class MouthBands_Parse : public ::testing::TestWithParam<BandsCase> {};

TEST_P(MouthBands_Parse, AcceptsOrExplains) {
    const MouthBandsParse r = ParseMouthBands(GetParam().text);
    EXPECT_EQ(r.error, GetParam().error);
    if (r.error.empty()) {
        EXPECT_EQ(FormatMouthBands(r.bands), GetParam().text);
    } else {
        EXPECT_TRUE(r.bands.empty());
    }
}

std::string ManyMouths(int n) {
    std::string text;
    for (int i = 0; i < n - 1; ++i)
        text += "m" + std::to_string(i) + ":" + std::to_string(i + 1) + ",";
    return text + "top";
}

INSTANTIATE_TEST_SUITE_P(
    Table, MouthBands_Parse,
    ::testing::Values(
        BandsCase{"defaults", "rest:0.1,etc:0.3,E:0.55,AI", ""},
        BandsCase{"one_mouth", "closed", ""}, BandsCase{"thirty_two", ManyMouths(32), ""},
        BandsCase{"empty", "", "the mouth list is empty"},
        BandsCase{"thirty_three", ManyMouths(33), "the mouth list has more than 32 mouths"},
        BandsCase{"unordered", "rest:0.3,etc:0.1,AI",
                  "the limits must rise from one mouth to the next ('etc' at 0.1 follows "
                  "'rest' at 0.3)"},
        BandsCase{"space_in_name", "open mouth:0.1,AI",
                  "the mouth name 'open mouth' has a space, a control character, ':' or ','"},
        BandsCase{"empty_name", ":0.1,AI", "mouth 1 has no name"},
        BandsCase{"no_limit", "rest,AI", "mouth 'rest' needs a limit (NAME:LIMIT)"},
        BandsCase{"last_with_limit", "rest:0.1,AI:1",
                  "the last mouth ('AI') takes every opening above the others and has no limit"},
        BandsCase{"not_a_number", "rest:nan,AI",
                  "the limit of mouth 'rest' must be a number (got 'nan')"},
        // Readers of switch data drop names that are numbers; names must be text.
        BandsCase{"number_name", "rest:0.1,2:0.3,AI",
                  "the mouth name '2' is a plain number, which readers of switch data drop"},
        BandsCase{"signed_decimal_name", "rest:0.1,+0.5",
                  "the mouth name '+0.5' is a plain number, which readers of switch data drop"},
        BandsCase{"digits_in_a_word", "m1:0.1,2a", ""},
        BandsCase{"latin1_name",
                  "st\xFC"
                  "ck:0.1,AI",
                  "the name of mouth 1 is not valid UTF-8 text"},
        BandsCase{"utf8_name", "\xC3\xA9t\xC3\xA9:0.1,AI", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Round trips: what a reader gets back is what the document holds.

struct RoundTripCase {
    const char* name;
    double frameRate;
};

class KeyExport_RoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    void SetUp() override {
        std::mt19937 rng(11);
        int frame = 0;
        keys_.emplace_back(0, 0.25f);  // a key at frame 0: no lead-in point to skip
        for (int i = 0; i < 3000; ++i) {
            frame += 1 + static_cast<int>(rng() % 1000);
            // Any float the document can hold, denormals included.
            std::uint32_t bits = rng() % 0x40000001u;
            float opening;
            std::memcpy(&opening, &bits, 4);
            keys_.emplace_back(frame, opening);
        }
        keys_.emplace_back(2147483647, 2.0f);
        info_.frameRate = GetParam().frameRate;
    }
    void ExpectKey(std::size_t i, std::int64_t frame, double time, float opening) {
        ASSERT_LT(i, keys_.size());
        EXPECT_EQ(frame, keys_[i].first) << i;
        EXPECT_EQ(time, keys_[i].first / info_.frameRate) << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(opening),
                  std::bit_cast<std::uint32_t>(keys_[i].second))
            << i << ": " << opening << " for " << keys_[i].second;
    }
    Keys keys_;
    KeyExportInfo info_;
};

TEST_P(KeyExport_RoundTrip, Csv) {
    std::istringstream in(Export(KeyFormat::Csv, keys_, info_));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    ASSERT_EQ(line, "frame,time,opening");
    std::size_t i = 0;
    for (; std::getline(in, line); ++i) {
        const char* p = line.data();
        const char* end = p + line.size();
        std::int64_t frame = 0;
        double time = 0;
        float opening = 0;
        auto r = std::from_chars(p, end, frame);
        ASSERT_EQ(*r.ptr, ',');
        r = std::from_chars(r.ptr + 1, end, time);
        ASSERT_EQ(*r.ptr, ',');
        r = std::from_chars(r.ptr + 1, end, opening);
        ASSERT_EQ(r.ptr, end) << line;
        ExpectKey(i, frame, time, opening);
    }
    EXPECT_EQ(i, keys_.size());
}

TEST_P(KeyExport_RoundTrip, Json) {
    const auto doc = nlohmann::json::parse(Export(KeyFormat::Json, keys_, info_));
    EXPECT_EQ(doc.at("frameRate").get<double>(), info_.frameRate);
    EXPECT_EQ(doc.at("sound"), nullptr);
    const auto& keys = doc.at("keys");
    ASSERT_EQ(keys.size(), keys_.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ExpectKey(i, keys[i].at("frame").get<std::int64_t>(), keys[i].at("time").get<double>(),
                  static_cast<float>(keys[i].at("opening").get<double>()));
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, KeyExport_RoundTrip,
                         ::testing::Values(RoundTripCase{"ntsc", 29.97},
                                           RoundTripCase{"half_ntsc", 14.985}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The sound's path in JSON: valid JSON whatever bytes the path holds.

struct PathCase {
    const char* name;
    std::string path;
    std::string parsed;  // what a JSON reader makes of it
    bool clean;
};

class KeyExport_JsonPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(KeyExport_JsonPath, IsValidJson) {
    KeyExportInfo info;
    info.soundPath = GetParam().path;
    KeyExportNotes notes;
    const std::string text = Export(KeyFormat::Json, {{1, 0.5f}}, info, &notes);
    nlohmann::json doc;
    ASSERT_NO_THROW(doc = nlohmann::json::parse(text)) << text;
    EXPECT_EQ(doc.at("sound").get<std::string>(), GetParam().parsed);
    EXPECT_EQ(notes.soundPathNotUtf8, !GetParam().clean);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, KeyExport_JsonPath,
    ::testing::Values(
        PathCase{"quote_backslash", "/a \"b\"\\c.wav", "/a \"b\"\\c.wav", true},
        PathCase{"control_chars", "/a\nb\tc\x01\x1f.wav", "/a\nb\tc\x01\x1f.wav", true},
        PathCase{"utf8", "/\xC3\xBC/\xF0\x9F\x8E\xA4", "/\xC3\xBC/\xF0\x9F\x8E\xA4", true},
        PathCase{"latin1",
                 "/st\xFC"
                 "ck.wav",
                 "/st\xEF\xBF\xBD"
                 "ck.wav",
                 false},
        PathCase{"truncated_sequence", "/a\xE2\x82.wav", "/a\xEF\xBF\xBD.wav", false},
        PathCase{"surrogate", "/a\xED\xA0\x80.wav", "/a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.wav",
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The program's commands.

class KeyExport_Command : public DocFixture {};

TEST_F(KeyExport_Command, AsksInTheFormatsFolderAndRemembersIt) {
    WriteFile(IniPath(), "[EXPORT]\nCSVDIR=/earlier\n");
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{0, 0.0f}, {5, 1.0f}, {12, 0.333f}});
    dialogs_->Answer(dir_.File("lips.csv"));
    ASSERT_TRUE(OnExportKeys(doc, KeyFormat::Csv, DefaultMouthBands()));
    const FileDialogRequest& r = dialogs_->Requests().at(0);
    EXPECT_TRUE(r.save && r.overwritePrompt);
    EXPECT_EQ(r.filter, "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||");
    EXPECT_EQ(r.defaultExt, "csv");
    EXPECT_EQ(r.initialDir, "/earlier");
    EXPECT_EQ(r.initialName, "Untitled.csv");
    EXPECT_EQ(ReadFile(dir_.File("lips.csv")),
              "frame,time,opening\n0,0,0\n5,0.3333333333333333,1\n12,0.8,0.333\n");
    EXPECT_EQ(Profile().GetString("EXPORT", "CSVDIR"), dir_.Path());
    // Another format keeps its own folder; the document and its envelope are not touched.
    dialogs_->Answer(std::nullopt);
    EXPECT_FALSE(OnExportKeys(doc, KeyFormat::Dat, DefaultMouthBands()));
    EXPECT_EQ(dialogs_->Requests().at(1).initialDir, "");
    EXPECT_EQ(dialogs_->Requests().at(1).defaultExt, "dat");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetEnvDir(), "");
}

// A list spoilt by hand is not shown (nor written back) with replacement characters.
TEST_F(KeyExport_Command, MouthNamesThatAreNotUtf8InTheSettingsGiveTheDefaults) {
    WriteFile(IniPath(),
              "[EXPORT]\nMOUTHS=st\xFC"
              "ck:0.1,AI\n");
    EXPECT_EQ(FormatMouthBands(LoadMouthBands()), "rest:0.1,etc:0.3,E:0.55,AI");
}

TEST_F(KeyExport_Command, FirstExportOfAFormatOpensBesideTheDocument) {
    CVokraDoc& doc = NewDoc();
    doc.SetPathName(dir_.File("scene.vok"));
    dialogs_->Answer(std::nullopt);
    OnExportKeys(doc, KeyFormat::Json, DefaultMouthBands());
    EXPECT_EQ(dialogs_->Requests().at(0).initialDir, dir_.Path());
}

TEST_F(KeyExport_Command, MouthListSurvivesInTheSettings) {
    EXPECT_EQ(FormatMouthBands(LoadMouthBands()), "rest:0.1,etc:0.3,E:0.55,AI");
    ASSERT_TRUE(SaveMouthBands(ParseMouthBands("shut:0.2,open").bands));
    EXPECT_EQ(FormatMouthBands(LoadMouthBands()), "shut:0.2,open");
    // A list spoilt by hand falls back to the defaults.
    Profile().WriteString("EXPORT", "MOUTHS", "shut:0.9,open:0.1,x");
    EXPECT_EQ(FormatMouthBands(LoadMouthBands()), "rest:0.1,etc:0.3,E:0.55,AI");
}

TEST_F(KeyExport_Command, FullDiskKeepsTheOlderFile) {
    CVokraDoc& doc = NewDoc();
    for (int f = 0; f < 500; ++f) doc.GetKeys().SetKey(Keyframe(f, 0.5f));
    const std::string path = dir_.File("a.txt");
    WriteFile(path, "older keys");
    messages_->Expect("Could not write file " + path +
                      "\nThe file is larger than this disk or account allows.");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = saved;
    lim.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &lim);
    const bool written = ExportKeysTo(doc, KeyFormat::Ae, path, DefaultMouthBands());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(path), "older keys");
}

TEST_F(KeyExport_Command, PathThatIsNotUtf8IsMentioned) {
    CVokraDoc& doc = NewDoc();
    const std::string sound = MakeSound(
        "st\xFC"
        "ck.wav",
        0.5);
    doc.LoadSoundFrom(sound);
    ASSERT_EQ(doc.GetSoundName(),
              "st\xFC"
              "ck.wav");
    messages_->Expect(SoundPathNotUtf8Note());
    ASSERT_TRUE(ExportKeysTo(doc, KeyFormat::Json, dir_.File("k.json"), DefaultMouthBands()));
    const auto json = nlohmann::json::parse(ReadFile(dir_.File("k.json")));
    EXPECT_EQ(json.at("sound").get<std::string>(), dir_.Path() +
                                                       "/st\xEF\xBF\xBD"
                                                       "ck.wav");
}

}  // namespace
}  // namespace vokra::test

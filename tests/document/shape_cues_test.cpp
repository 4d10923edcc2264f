// A document's shapes as timed mouth cues: written byte for byte as vokra-cli shapes writes a
// guess of the same shapes, and checked field by field against the tsv, json and xml layouts
// the 2D lip-sync pipelines read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

#include "document/key_export.h"
#include "document/shape_export.h"

namespace vokra {
namespace {

using S = MouthShape;

std::string Cues(KeyFormat format, const ShapeTrack& track, double rate, std::int64_t samples,
                 std::int32_t soundRate, const std::string& sound = "/takes/line 1.wav") {
    KeyExportInfo info;
    info.frameRate = rate;
    info.shapes = &track;
    info.soundPath = sound;
    info.soundSamples = samples;
    info.soundRate = soundRate;
    std::ostringstream out;
    EXPECT_TRUE(WriteKeys(format, KeyframeList(), info, out));
    return out.str();
}

struct SameCase {
    KeyFormat format;
    ShapeFormat guessFormat;
};
class ShapeCues_AsTheGuess : public ::testing::TestWithParam<SameCase> {};

// At 100 frames per second a frame is a 10 ms window: the document holding the guess's windows
// writes what the guess's writer writes, for a length that is not whole hundredths.
TEST_P(ShapeCues_AsTheGuess, ByteForByte) {
    const std::vector<S> windows{S::X, S::X, S::A, S::A, S::B, S::G, S::G, S::G, S::D, S::X, S::E};
    ShapeTrack track;
    for (std::size_t i = 0; i < windows.size(); ++i) track.Set(int(i), windows[i], i == 5);
    ShapeExportInfo info;
    info.soundPath = "/takes/line 1.wav";
    info.sampleRate = 8000;
    info.sampleCount = 839;  // 0.104875 s: the pipelines' tool says 0.10
    std::ostringstream guess;
    ASSERT_TRUE(WriteShapes(GetParam().guessFormat, windows, info, guess));
    EXPECT_EQ(Cues(GetParam().format, track, 100.0, 839, 8000), guess.str());
    EXPECT_NE(guess.str().find("0.10"), std::string::npos);
    EXPECT_EQ(guess.str().find("0.11"), std::string::npos) << "cut, not rounded";
}

INSTANTIATE_TEST_SUITE_P(Table, ShapeCues_AsTheGuess,
                         ::testing::Values(SameCase{KeyFormat::RhubarbTsv, ShapeFormat::Tsv},
                                           SameCase{KeyFormat::RhubarbJson, ShapeFormat::Json},
                                           SameCase{KeyFormat::RhubarbXml, ShapeFormat::Xml}));

struct LayoutCase {
    const char* name;
    double rate;
    std::vector<std::pair<int, S>> shapes;
    std::int64_t samples;  // at 8000 Hz; 0: no sound
    const char* duration;
};
class ShapeCues_Layouts : public ::testing::TestWithParam<LayoutCase> {
protected:
    ShapeTrack Track() const {
        ShapeTrack track;
        for (const auto& [frame, shape] : GetParam().shapes) track.Set(frame, shape, frame % 2);
        return track;
    }
    std::string Write(KeyFormat format) const {
        const ShapeTrack track = Track();
        return Cues(format, track, GetParam().rate, GetParam().samples,
                    GetParam().samples ? 8000 : 0);
    }
};

// The cues as the pipelines' json has them: start and end in seconds with two decimals, each
// cue starting where the last ended, from 0 to the duration, neighbours different, the mouths
// A-H and X.
TEST_P(ShapeCues_Layouts, JsonFieldByField) {
    const std::string text = Write(KeyFormat::RhubarbJson);
    const nlohmann::json j = nlohmann::json::parse(text);
    ASSERT_EQ(j.size(), 2u);
    ASSERT_EQ(j["metadata"].size(), 2u);
    EXPECT_EQ(j["metadata"]["soundFile"], "/takes/line 1.wav");
    EXPECT_NE(text.find("\"duration\": " + std::string(GetParam().duration) + "\n"),
              std::string::npos);
    const auto& cues = j["mouthCues"];
    ASSERT_FALSE(cues.empty());
    double at = 0.0;
    std::string last;
    for (const auto& cue : cues) {
        ASSERT_EQ(cue.size(), 3u);
        EXPECT_DOUBLE_EQ(cue["start"].get<double>(), at);
        EXPECT_LT(cue["start"].get<double>(), cue["end"].get<double>());
        const std::string value = cue["value"];
        EXPECT_TRUE(value.size() == 1 && std::string("ABCDEFGHX").find(value) != std::string::npos)
            << value;
        EXPECT_NE(value, last);
        at = cue["end"].get<double>();
        last = value;
    }
    EXPECT_DOUBLE_EQ(at, std::stod(GetParam().duration));
    // Every number in the text is written with exactly two decimals.
    for (const char* field : {"\"start\": ", "\"end\": ", "\"duration\": "}) {
        for (auto at = text.find(field); at != std::string::npos; at = text.find(field, at + 1)) {
            const std::size_t from = at + std::strlen(field);
            const std::size_t end = text.find_first_not_of("0123456789.", from);
            const std::string number = text.substr(from, end - from);
            const auto dot = number.find('.');
            EXPECT_TRUE(dot != std::string::npos && dot > 0 && number.size() - dot == 3) << number;
        }
    }
}

// The tsv: a line per cue, its start and letter, then the end of the sound at rest; the xml:
// the same cues as mouthCue elements, after the metadata.
TEST_P(ShapeCues_Layouts, TsvAndXmlCarryTheSameCues) {
    const nlohmann::json j = nlohmann::json::parse(Write(KeyFormat::RhubarbJson));
    std::string tsv;
    std::string xml;
    for (const auto& cue : j["mouthCues"]) {
        char start[32], end[32];
        std::snprintf(start, sizeof start, "%.2f", cue["start"].get<double>());
        std::snprintf(end, sizeof end, "%.2f", cue["end"].get<double>());
        const std::string value = cue["value"];
        tsv += std::string(start) + "\t" + value + "\n";
        xml += "    <mouthCue start=\"" + std::string(start) + "\" end=\"" + end + "\">" + value +
               "</mouthCue>\n";
    }
    EXPECT_EQ(Write(KeyFormat::RhubarbTsv), tsv + GetParam().duration + "\tX\n");
    EXPECT_EQ(Write(KeyFormat::RhubarbXml),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rhubarbResult>\n  <metadata>\n"
              "    <soundFile>/takes/line 1.wav</soundFile>\n    <duration>" +
                  std::string(GetParam().duration) + "</duration>\n  </metadata>\n  <mouthCues>\n" +
                  xml + "  </mouthCues>\n</rhubarbResult>\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeCues_Layouts,
    ::testing::Values(
        // 24 fps: frame 1 starts at 0.0417 s, written 0.04; a gap rests; 1 s of sound.
        LayoutCase{"TwentyFour",
                   24.0,
                   {{1, S::B}, {2, S::C}, {3, S::C}, {6, S::X}, {7, S::H}},
                   8000,
                   "1.00"},
        // 29.97 fps: a late first shape, the sound's length cut to 0.99.
        LayoutCase{"NtscRate", 29.97, {{10, S::F}, {11, S::E}, {12, S::A}}, 7999, "0.99"},
        // 150 fps would give cues shorter than a hundredth: they give way to the next.
        LayoutCase{"FramesShorterThanAHundredth",
                   150.0,
                   {{0, S::A}, {1, S::B}, {2, S::A}, {3, S::C}, {4, S::C}},
                   800,
                   "0.10"},
        // A shape set by hand past the end of the sound is not cut off.
        LayoutCase{"HandShapePastTheSound", 10.0, {{0, S::D}, {14, S::G}}, 8000, "1.50"},
        // Without a sound the cues end with the last shape.
        LayoutCase{"NoSound", 12.5, {{0, S::D}, {1, S::E}}, 0, "0.16"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

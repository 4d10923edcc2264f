// The engine and rig exports read back the way their readers read them, field by field against
// each format's documented layout: the Godot 4 text resource, the Spine JSON animation (and a
// skeleton merged with it), Live2D's motion3.json and its Meta counts, Unity's AnimationClip
// YAML, the weight curves, and Papagayo-NG's lipsync version 1 project.
#include "document/rig_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace vokra {
namespace {

using nlohmann::json;

// A line of mouths, one letter per frame.
RigMouths Mouths(const std::string& letters, double fps = 10.0) {
    RigMouths m;
    m.frameRate = fps;
    for (char c : letters) m.frames.push_back(*MouthShapeFromLetter(c));
    m.soundPath = "/takes/line 1.wav";
    return m;
}

std::string Write(RigFormat format, const RigMouths& m, const RigExportOptions& o = {}) {
    std::ostringstream out;
    EXPECT_TRUE(WriteRig(format, m, o, out));
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// --- Godot: the text resource's header, its [resource] properties, and each track's keys
// dictionary, read as the resource loader's tokens (numbers, strings, NodePath(), &"" names).
struct GodotTrack {
    std::map<std::string, std::string> props;
    std::vector<float> times, transitions;
    std::vector<std::string> values;  // tokens as written
    std::string update;
};

std::vector<std::string> SplitList(const std::string& inner) {
    std::vector<std::string> items;
    std::string item;
    int depth = 0;
    bool quoted = false;
    for (char c : inner) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == '[' || c == '{' || c == '(')) ++depth;
        if (!quoted && (c == ']' || c == '}' || c == ')')) --depth;
        if (!quoted && depth == 0 && c == ',') {
            items.push_back(item);
            item.clear();
            continue;
        }
        if (!(item.empty() && (c == ' ' || c == '\n'))) item += c;
    }
    if (!item.empty()) items.push_back(item);
    return items;
}

std::vector<float> Floats(const std::string& packed) {
    const std::string prefix = "PackedFloat32Array(";
    EXPECT_EQ(packed.rfind(prefix, 0), 0u) << packed;
    std::vector<float> v;
    for (const std::string& s :
         SplitList(packed.substr(prefix.size(), packed.size() - prefix.size() - 1))) {
        v.push_back(std::stof(s));
    }
    return v;
}

std::vector<GodotTrack> ReadTres(const std::string& text,
                                 std::map<std::string, std::string>& resource) {
    const std::vector<std::string> lines = Lines(text);
    EXPECT_EQ(lines.at(0), "[gd_resource type=\"Animation\" format=3]");
    EXPECT_EQ(lines.at(1), "");
    EXPECT_EQ(lines.at(2), "[resource]");
    std::vector<GodotTrack> tracks;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        const auto eq = lines[i].find(" = ");
        EXPECT_NE(eq, std::string::npos) << lines[i];
        if (eq == std::string::npos) continue;
        const std::string key = lines[i].substr(0, eq);
        std::string value = lines[i].substr(eq + 3);
        if (key.rfind("tracks/", 0) != 0) {
            resource[key] = value;
            continue;
        }
        const std::size_t index = std::stoul(key.substr(7));
        const std::string field = key.substr(key.find('/', 7) + 1);
        if (tracks.size() <= index) tracks.resize(index + 1);
        GodotTrack& track = tracks[index];
        if (field != "keys") {
            track.props[field] = value;
            continue;
        }
        EXPECT_EQ(value, "{");
        std::string body;
        while (++i < lines.size() && lines[i] != "}") body += lines[i] + "\n";
        for (const std::string& entry : SplitList(body)) {
            const auto colon = entry.find(": ");
            const std::string name = entry.substr(0, colon);
            std::string v = entry.substr(colon + 2);
            while (!v.empty() && (v.back() == '\n' || v.back() == ' ')) v.pop_back();
            if (name == "\"times\"") track.times = Floats(v);
            if (name == "\"transitions\"") track.transitions = Floats(v);
            if (name == "\"update\"") track.update = v;
            if (name == "\"values\"") track.values = SplitList(v.substr(1, v.size() - 2));
        }
    }
    return tracks;
}

TEST(RigExport, GodotResourceHasADiscreteValueTrackAndAMethodTrack) {
    RigExportOptions o;
    o.method = "set_mouth";
    o.name = "line 1";
    std::map<std::string, std::string> resource;
    const auto tracks = ReadTres(Write(RigFormat::GodotTres, Mouths("XXAABBBDDX"), o), resource);
    EXPECT_EQ(resource["resource_name"], "\"line 1\"");
    EXPECT_EQ(std::stof(resource["length"]), 1.0f);
    EXPECT_FLOAT_EQ(std::stof(resource["step"]), 0.1f);
    ASSERT_EQ(tracks.size(), 2u);
    const GodotTrack& value = tracks[0];
    EXPECT_EQ(value.props.at("type"), "\"value\"");
    EXPECT_EQ(value.props.at("path"), "NodePath(\"Mouth:frame\")");
    EXPECT_EQ(value.props.at("interp"), "0");
    EXPECT_EQ(value.props.at("enabled"), "true");
    EXPECT_EQ(value.update, "1");
    EXPECT_EQ(value.times, (std::vector<float>{0.0f, 0.2f, 0.4f, 0.7f, 0.9f}));
    EXPECT_EQ(value.transitions, std::vector<float>(5, 1.0f));
    // The frames A-H, X are 0-8 by default: written as whole numbers.
    EXPECT_EQ(value.values, (std::vector<std::string>{"8", "0", "1", "3", "8"}));
    const GodotTrack& method = tracks[1];
    EXPECT_EQ(method.props.at("type"), "\"method\"");
    EXPECT_EQ(method.props.at("path"), "NodePath(\"Mouth\")");
    EXPECT_EQ(method.times, value.times);
    ASSERT_EQ(method.values.size(), 5u);
    EXPECT_NE(method.values[1].find("\"args\": [0]"), std::string::npos) << method.values[1];
    EXPECT_NE(method.values[1].find("\"method\": &\"set_mouth\""), std::string::npos);

    // Names of an AnimatedSprite2D's animations are strings; mouths named alike are one key.
    RigExportOptions named;
    named.target = "Mouth:animation";
    named.names = ParseRigMap(RigFormat::GodotTres, "A:closed,X:closed").names;
    const auto byName = ReadTres(Write(RigFormat::GodotTres, Mouths("XXAABB"), named), resource);
    EXPECT_EQ(byName[0].props.at("path"), "NodePath(\"Mouth:animation\")");
    EXPECT_EQ(byName[0].values, (std::vector<std::string>{"\"closed\"", "1"}));
    EXPECT_EQ(byName.size(), 1u);
}

TEST(RigExport, SpineTimelineAndSkeletonMerge) {
    RigExportOptions o;
    o.name = "talk";
    const json j = json::parse(Write(RigFormat::SpineJson, Mouths("XAAD"), o));
    const json& keys = j.at("animations").at("talk").at("slots").at("mouth").at("attachment");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0], json::parse(R"({"time": 0.0, "name": "X"})"));
    EXPECT_DOUBLE_EQ(keys[1].at("time").get<double>(), 0.1);
    EXPECT_EQ(keys[2].at("name"), "D");

    // A skeleton as the editor exports it: its own fields stay, in their order.
    const std::string skeleton = R"({"skeleton": {"hash": "h", "spine": "4.1.24"},
        "bones": [{"name": "root"}, {"name": "head", "parent": "root", "y": 120.5}],
        "slots": [{"name": "face", "bone": "head"}, {"name": "mouth", "bone": "head", "attachment": "X"}],
        "skins": [{"name": "default", "attachments": {"mouth": {"X": {"width": 40}}}}],
        "animations": {"blink": {"slots": {"face": {"attachment": [{"name": "shut"}]}}}}})";
    const SpineMerge merged = MergeSpineAnimation(skeleton, Mouths("XAAD"), o);
    ASSERT_EQ(merged.error, "");
    const nlohmann::ordered_json copy = nlohmann::ordered_json::parse(merged.text);
    const nlohmann::ordered_json original = nlohmann::ordered_json::parse(skeleton);
    std::vector<std::string> order;
    for (const auto& item : copy.items()) order.push_back(item.key());
    EXPECT_EQ(order,
              (std::vector<std::string>{"skeleton", "bones", "slots", "skins", "animations"}));
    for (const char* key : {"skeleton", "bones", "slots", "skins"})
        EXPECT_EQ(copy[key], original[key]);
    EXPECT_EQ(copy["animations"]["blink"], original["animations"]["blink"]);
    EXPECT_EQ(json::parse(copy["animations"]["talk"].dump()), j["animations"]["talk"]);

    struct Bad {
        std::string text;
        RigExportOptions options;
        std::string error;
    };
    RigExportOptions blink = o;
    blink.name = "blink";
    RigExportOptions lips = o;
    lips.target = "lips";
    const Bad bad[] = {
        {"not json", o, "the skeleton is not a JSON object"},
        {"[1, 2]", o, "the skeleton is not a JSON object"},
        {R"({"bones": []})", o, "the JSON is not a Spine skeleton"},
        {skeleton, lips, "the skeleton has no slot 'lips' (its slots: face, mouth)"},
        {skeleton, blink, "the skeleton already has an animation 'blink'"},
        {std::string(100000, '['), o, "the skeleton is nested deeper than"},
    };
    for (const Bad& b : bad) {
        const SpineMerge r = MergeSpineAnimation(b.text, Mouths("XA"), b.options);
        EXPECT_EQ(r.error.rfind(b.error, 0), 0u) << r.error;
        EXPECT_EQ(r.text, "");
    }
}

// Live2D: the segments walked as the format describes them, and every Meta count against it.
TEST(RigExport, Live2dMotionCountsWhatItHolds) {
    for (const bool linear : {false, true}) {
        RigExportOptions o;
        o.linear = linear;
        const json j = json::parse(Write(RigFormat::Live2dMotion, Mouths("XXDDDBBEX", 30.0), o));
        EXPECT_EQ(j.at("Version"), 3);
        const json& meta = j.at("Meta");
        for (const char* key :
             {"Duration", "Fps", "Loop", "AreBeziersRestricted", "CurveCount", "TotalSegmentCount",
              "TotalPointCount", "UserDataCount", "TotalUserDataSize"}) {
            EXPECT_TRUE(meta.contains(key)) << key;
        }
        EXPECT_DOUBLE_EQ(meta.at("Duration").get<double>(), 9.0 / 30.0);
        EXPECT_EQ(meta.at("Fps"), 30.0);
        EXPECT_EQ(meta.at("Loop"), false);
        int segments = 0, points = 0;
        std::vector<std::string> ids;
        for (const json& curve : j.at("Curves")) {
            EXPECT_EQ(curve.at("Target"), "Parameter");
            ids.push_back(curve.at("Id"));
            const std::vector<double> s = curve.at("Segments");
            // The first point, then per segment an id and its points (3 for a Bezier).
            ASSERT_GE(s.size(), 5u);
            points += 1;
            double lastTime = s[0];
            for (std::size_t i = 2; i < s.size();) {
                EXPECT_EQ(s[i], linear ? 0.0 : 2.0);
                const std::size_t n = s[i] == 1.0 ? 3 : 1;
                EXPECT_GT(s[i + 2 * n - 1], lastTime);
                lastTime = s[i + 2 * n - 1];
                points += static_cast<int>(n);
                segments += 1;
                i += 1 + 2 * n;
            }
            EXPECT_DOUBLE_EQ(lastTime, meta.at("Duration").get<double>());
        }
        EXPECT_EQ(ids, (std::vector<std::string>{"ParamMouthOpenY", "ParamMouthForm"}));
        EXPECT_EQ(meta.at("CurveCount"), j.at("Curves").size());
        EXPECT_EQ(meta.at("TotalSegmentCount"), segments);
        EXPECT_EQ(meta.at("TotalPointCount"), points);
        std::size_t size = 0;
        for (const json& u : j.at("UserData")) size += u.at("Value").get<std::string>().size();
        EXPECT_EQ(meta.at("UserDataCount"), j.at("UserData").size());
        EXPECT_EQ(meta.at("TotalUserDataSize"), size);
        // X, D (wide: open 1), B, E, X.
        const std::vector<double> open = j["Curves"][0]["Segments"];
        EXPECT_EQ(open[1], 0.0);
        EXPECT_EQ(open[4], 1.0);
        EXPECT_EQ(j["UserData"].size(), 5u);
    }
}

// Unity: the clip's YAML read key by key; every curve through every frame's weight.
TEST(RigExport, UnityClipHasBlendShapeCurvesThroughEveryFrame) {
    RigExportOptions o;
    o.target = "Body/Face";
    o.fade = 2;
    const RigMouths m = Mouths("XXAAADDDDCX", 25.0);
    const std::vector<std::string> lines = Lines(Write(RigFormat::UnityAnim, m, o));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "%YAML 1.1");
    EXPECT_EQ(lines[1], "%TAG !u! tag:unity3d.com,2011:");
    EXPECT_EQ(lines[2], "--- !u!74 &7400000");
    EXPECT_EQ(lines[3], "AnimationClip:");
    struct Curve {
        std::vector<std::pair<double, double>> keys;
        std::string attribute, path, classId;
    };
    std::vector<Curve> floats;
    std::map<std::string, std::string> clip;
    bool inFloat = false;
    double time = 0.0;
    for (const std::string& line : lines) {
        const auto keep = [&](std::size_t indent) {
            const std::size_t colon = line.find(':');
            clip[line.substr(indent, colon - indent)] =
                colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
        };
        if (line.rfind("  m_", 0) == 0) {
            inFloat = line == "  m_FloatCurves:";
            keep(2);
            continue;
        }
        if (line.rfind("    m_", 0) == 0) keep(4);
        if (!inFloat) continue;
        if (line == "  - curve:") floats.emplace_back();
        const auto field = [&](const char* name) {
            const std::string prefix = name;
            return line.rfind(prefix, 0) == 0 ? std::optional(line.substr(prefix.size()))
                                              : std::nullopt;
        };
        if (auto v = field("        time: ")) time = std::stod(*v);
        if (auto v = field("        value: ")) floats.back().keys.emplace_back(time, std::stod(*v));
        if (auto v = field("    attribute: ")) floats.back().attribute = *v;
        if (auto v = field("    path: ")) floats.back().path = *v;
        if (auto v = field("    classID: ")) floats.back().classId = *v;
    }
    EXPECT_EQ(clip["m_SampleRate"], "25");
    EXPECT_EQ(clip["m_StopTime"], "0.44");
    EXPECT_EQ(clip["m_Name"], "\"lipsync\"");
    ASSERT_EQ(floats.size(), 9u);
    const auto weights = RigWeights(m, o);
    for (std::size_t c = 0; c < floats.size(); ++c) {
        EXPECT_EQ(floats[c].attribute, std::string("blendShape.mouth_") + "ABCDEFGHX"[c]);
        EXPECT_EQ(floats[c].path, "Body/Face");
        EXPECT_EQ(floats[c].classId, "137");
        // Linear between the kept keys: every frame's weight, 0-100.
        const auto& keys = floats[c].keys;
        for (std::size_t f = 0; f < m.frames.size(); ++f) {
            const double t = static_cast<double>(f) / 25.0;
            std::size_t k = 0;
            while (k + 1 < keys.size() && keys[k + 1].first <= t + 1e-6) ++k;
            double v = keys[k].second;
            if (k + 1 < keys.size()) {
                v += (keys[k + 1].second - v) * (t - keys[k].first) /
                     (keys[k + 1].first - keys[k].first);
            }
            EXPECT_NEAR(v, weights[f][c] * 100.0, 1e-3) << c << " " << f;
        }
    }
}

struct WeightCase {
    RigEase ease;
    int fade;
};

class RigWeightCurves : public ::testing::TestWithParam<WeightCase> {};

TEST_P(RigWeightCurves, MouthsSumToOneAndVowelsFollowTheAvatarMap) {
    RigExportOptions o;
    o.ease = GetParam().ease;
    o.fade = GetParam().fade;
    const RigMouths m = Mouths("XADBDCEFGHHAX");
    const std::vector<std::string> csv = Lines(Write(RigFormat::WeightsCsv, m, o));
    EXPECT_EQ(csv[0], "frame,time,A,B,C,D,E,F,G,H,X");
    ASSERT_EQ(csv.size(), m.frames.size() + 1);
    for (std::size_t f = 1; f < csv.size(); ++f) {
        std::istringstream row(csv[f]);
        std::string cell;
        std::getline(row, cell, ',');
        EXPECT_EQ(std::stoul(cell), f - 1);
        std::getline(row, cell, ',');
        double sum = 0.0;
        while (std::getline(row, cell, ',')) {
            const double w = std::stod(cell);
            EXPECT_GE(w, 0.0);
            sum += w;
        }
        EXPECT_NEAR(sum, 1.0, 1e-5) << csv[f];
    }
    o.weights = WeightSet::Vrm1;
    const json j = json::parse(Write(RigFormat::WeightsJson, m, o));
    EXPECT_EQ(j.at("names"), json::parse(R"(["aa", "ih", "ou", "ee", "oh"])"));
    EXPECT_EQ(j.at("frameRate"), 10.0);
    ASSERT_EQ(j.at("frames").size(), m.frames.size());
    // Rest and closed mouths are all 0; once a held D has taken over, aa alone is 1.
    EXPECT_EQ(j["frames"][0], json::parse("[0, 0, 0, 0, 0]"));
    for (const json& frame : j["frames"]) {
        double sum = 0.0;
        for (double w : frame) sum += w;
        EXPECT_LE(sum, 1.0 + 1e-6);
    }
    if (GetParam().ease == RigEase::Step) {
        EXPECT_EQ(j["frames"][2], json::parse("[1, 0, 0, 0, 0]"));
    }
}

INSTANTIATE_TEST_SUITE_P(Eases, RigWeightCurves,
                         ::testing::Values(WeightCase{RigEase::Step, 3},
                                           WeightCase{RigEase::Linear, 1},
                                           WeightCase{RigEase::Linear, 4},
                                           WeightCase{RigEase::Smooth, 3}));

// Papagayo-NG: the project read line by line as its loader reads it.
struct PgoWordRead {
    std::string text;
    int first = 0, last = 0;
    std::vector<std::pair<int, std::string>> phonemes;
};

std::vector<PgoWordRead> ReadPgo(const std::string& text, int& fps, int& frames) {
    const std::vector<std::string> l = Lines(text);
    std::size_t i = 0;
    EXPECT_EQ(l.at(i++), "lipsync version 1");
    EXPECT_EQ(l.at(i++), "/takes/line 1.wav");
    fps = std::stoi(l.at(i++));
    frames = std::stoi(l.at(i++));
    EXPECT_EQ(l.at(i++), "1");
    EXPECT_EQ(l.at(i++), "\tVoice 1");
    ++i;  // the voice's text
    const int phrases = std::stoi(l.at(i++));
    std::vector<PgoWordRead> words;
    for (int p = 0; p < phrases; ++p) {
        ++i;  // the phrase's text
        const int start = std::stoi(l.at(i++)), end = std::stoi(l.at(i++));
        const int count = std::stoi(l.at(i++));
        for (int w = 0; w < count; ++w) {
            std::istringstream head(l.at(i++));
            PgoWordRead word;
            int n = 0;
            head >> word.text >> word.first >> word.last >> n;
            EXPECT_EQ(l[i - 1].rfind("\t\t\t", 0), 0u);
            EXPECT_GE(word.first, start);
            EXPECT_LE(word.last, end);
            for (int k = 0; k < n; ++k) {
                std::istringstream ph(l.at(i++));
                std::pair<int, std::string> phoneme;
                ph >> phoneme.first >> phoneme.second;
                EXPECT_GE(phoneme.first, word.first);
                EXPECT_LE(phoneme.first, word.last);
                word.phonemes.push_back(phoneme);
            }
            words.push_back(word);
        }
    }
    EXPECT_EQ(i, l.size());
    return words;
}

TEST(RigExport, PapagayoProjectHasWordsWithTheirMouths) {
    RigMouths m = Mouths("XXAADDDXXBBCX", 24.0);
    int fps = 0, frames = 0;
    // Without a script: each stretch of speech between rests.
    auto words = ReadPgo(Write(RigFormat::Pgo, m), fps, frames);
    EXPECT_EQ(fps, 24);
    EXPECT_EQ(frames, 13);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].first, 2);
    EXPECT_EQ(words[0].last, 6);
    using P = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(words[0].phonemes, (P{{2, "MBP"}, {4, "AI"}}));
    EXPECT_EQ(words[1].phonemes, (P{{9, "etc"}, {11, "E"}}));
    // With a script's words: their frames, and the mouths inside them.
    m.words = {{"hello", 1, 6}, {"big world", 8, 12}};
    words = ReadPgo(Write(RigFormat::Pgo, m), fps, frames);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].text, "hello");
    EXPECT_EQ(words[1].text, "big_world");
    EXPECT_EQ(words[0].phonemes, (P{{1, "rest"}, {2, "MBP"}, {4, "AI"}}));
    EXPECT_EQ(words[1].phonemes, (P{{8, "rest"}, {9, "etc"}, {11, "E"}, {12, "rest"}}));
    // A project holds a whole frame rate.
    EXPECT_NE(RigExportProblem(RigFormat::Pgo, Mouths("XA", 29.97)), "");
    EXPECT_EQ(RigExportProblem(RigFormat::Pgo, Mouths("XA", 30.0)), "");
}

TEST(RigExport, MapsAreCheckedForTheirFormat) {
    struct Case {
        RigFormat format;
        const char* text;
        const char* error;  // the start of the message; empty: accepted
    };
    const Case cases[] = {
        {RigFormat::GodotTres, "A:3,X:0", ""},
        {RigFormat::GodotTres, "0,1,2,3,4,5,6,7,8", ""},
        {RigFormat::SpineJson, "A:closed,A:open", "the mouth A is named twice"},
        {RigFormat::Pgo, "a,b", "give nine names"},
        {RigFormat::SpineJson, "Q:x", "'Q:x' is not LETTER:NAME"},
        {RigFormat::SpineJson, "A:two words", "the name of mouth A ('two words') has a space"},
        {RigFormat::Live2dMotion, "D:1/0.5", ""},
        {RigFormat::Live2dMotion, "D:2/0", "mouth D needs OPEN/FORM"},
        {RigFormat::Live2dMotion, "D:wide", "mouth D needs OPEN/FORM"},
        {RigFormat::UnityAnim, "A:#x", "the name of mouth A ('#x') has a character YAML"},
    };
    for (const Case& c : cases) {
        const RigMapParse r = ParseRigMap(c.format, c.text);
        EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << c.text << ": " << r.error;
        if (*c.error == '\0') {
            EXPECT_EQ(r.error, "") << c.text;
        }
    }
    EXPECT_EQ(ParseRigMap(RigFormat::GodotTres, "A:3").names[0], "3");
    EXPECT_NE(CheckRigTarget(RigFormat::GodotTres, "Mouth"), "");
    EXPECT_NE(CheckRigTarget(RigFormat::UnityAnim, "Body: Face"), "");
    EXPECT_EQ(CheckRigTarget(RigFormat::UnityAnim, "Armature/Body"), "");
}

}  // namespace
}  // namespace vokra

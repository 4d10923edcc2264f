#include "live/live_vrm_map.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

namespace vokra {
namespace {

enum : int { kA = 0, kI, kU, kE, kO };

std::size_t Row(MouthShape m) {
    return static_cast<std::size_t>(MouthShapeIndex(m));
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by)) parts.push_back(Trim(part));
    return parts;
}

bool Number(const std::string& s, float& v) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, v);
    return ec == std::errc() && p == end && std::isfinite(v) && v >= 0.0f && v <= 1.0f;
}

// "E 0.8" or "open 0.5": a name and a number from 0 to 1.
bool NameValue(const std::string& s, std::string& name, float& v) {
    const auto space = s.find_first_of(" \t");
    if (space == std::string::npos) return false;
    name = s.substr(0, space);
    return Number(Trim(s.substr(space)), v);
}

int VowelIndex(const std::string& name) {
    for (bool vrm1 : {false, true}) {
        const auto& names = VrmVowelNames(vrm1);
        for (int v = 0; v < kVrmVowelCount; ++v)
            if (name == names[static_cast<std::size_t>(v)]) return v;
    }
    return -1;
}

}  // namespace

LiveVrmMap DefaultLiveVrmMap() {
    LiveVrmMap m;
    m.open.fill(0.0f);
    m.smile.fill(0.5f);
    auto set = [&](MouthShape shape, std::initializer_list<std::pair<int, float>> vowels,
                   float open, float smile) {
        for (auto [v, w] : vowels) m.vowels[Row(shape)][static_cast<std::size_t>(v)] = w;
        m.open[Row(shape)] = open;
        m.smile[Row(shape)] = smile;
    };
    set(MouthShape::B, {{kI, 0.6f}}, 0.2f, 0.75f);
    set(MouthShape::C, {{kE, 0.8f}, {kA, 0.2f}}, 0.5f, 0.65f);
    set(MouthShape::D, {{kA, 1.0f}}, 1.0f, 0.5f);
    set(MouthShape::E, {{kO, 0.7f}}, 0.5f, 0.35f);
    set(MouthShape::F, {{kU, 0.8f}, {kO, 0.2f}}, 0.3f, 0.15f);
    set(MouthShape::G, {{kI, 0.3f}}, 0.1f, 0.5f);
    set(MouthShape::H, {{kA, 0.6f}, {kE, 0.2f}}, 0.7f, 0.5f);
    return m;
}

const std::array<const char*, kVrmVowelCount>& VrmVowelNames(bool vrm1) {
    static const std::array<const char*, kVrmVowelCount> v0 = {"A", "I", "U", "E", "O"};
    static const std::array<const char*, kVrmVowelCount> v1 = {"aa", "ih", "ou", "ee", "oh"};
    return vrm1 ? v1 : v0;
}

std::array<float, kVrmVowelCount> VrmVowelValues(const LiveVrmMap& map, const LiveFrame& frame) {
    std::array<float, kVrmVowelCount> out{};
    for (int m = 0; m < kMouthShapeCount; ++m)
        for (int v = 0; v < kVrmVowelCount; ++v)
            out[static_cast<std::size_t>(v)] +=
                frame.weights[static_cast<std::size_t>(m)] *
                map.vowels[static_cast<std::size_t>(m)][static_cast<std::size_t>(v)];
    for (float& v : out) v = std::clamp(v * frame.opening, 0.0f, 1.0f);
    return out;
}

float VtsMouthOpen(const LiveVrmMap& map, const LiveFrame& frame) {
    float open = 0.0f;
    for (int m = 0; m < kMouthShapeCount; ++m)
        open += frame.weights[static_cast<std::size_t>(m)] * map.open[static_cast<std::size_t>(m)];
    return std::clamp(open * frame.opening, 0.0f, 1.0f);
}

float VtsMouthSmile(const LiveVrmMap& map, const LiveFrame& frame) {
    float smile = 0.0f;
    for (int m = 0; m < kMouthShapeCount; ++m)
        smile +=
            frame.weights[static_cast<std::size_t>(m)] * map.smile[static_cast<std::size_t>(m)];
    return std::clamp(smile, 0.0f, 1.0f);
}

bool ParseLiveVrmMap(const std::string& text, LiveVrmMap& map, std::string& error) {
    LiveVrmMap edited = map;
    int number = 0;
    for (const std::string& raw : Split(text, '\n')) {
        ++number;
        const std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        const auto colon = line.find(':');
        const std::string letter = colon == std::string::npos ? line : Trim(line.substr(0, colon));
        const auto shape = letter.size() == 1 ? MouthShapeFromLetter(letter[0]) : std::nullopt;
        if (!shape || colon == std::string::npos)
            return fail("a line starts with a mouth A-H or X and a colon");
        const std::size_t row = Row(*shape);
        for (const std::string& part : Split(line.substr(colon + 1), ';')) {
            if (part.empty()) continue;
            std::string name;
            float v = 0.0f;
            if (NameValue(part, name, v) && (name == "open" || name == "smile")) {
                (name == "open" ? edited.open : edited.smile)[row] = v;
                continue;
            }
            std::array<float, kVrmVowelCount> vowels{};
            for (const std::string& pair : Split(part, ',')) {
                if (pair == "0" || pair == "none") continue;
                int index = -1;
                if (!NameValue(pair, name, v) || (index = VowelIndex(name)) < 0)
                    return fail("\"" + pair + "\" is not a vowel (A I U E O) and a value 0-1");
                vowels[static_cast<std::size_t>(index)] = v;
            }
            edited.vowels[row] = vowels;
        }
    }
    map = edited;
    return true;
}

}  // namespace vokra

// Weight curves for 3D and VRM rigs: per frame the nine mouths cross-faded (they sum to 1), or
// the five vowels of VRM avatars taken from them through the avatar map; as CSV and as JSON.
#include <algorithm>
#include <array>
#include <cmath>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

// The avatar map of the nine mouths (A-H, X) to the vowels A I U E O: closed and rest mouths are
// all 0, at most two vowels per mouth.
constexpr double kVowelMap[kMouthShapeCount][5] = {
    {0, 0, 0, 0, 0},      // A closed
    {0, 0.6, 0, 0, 0},    // B teeth
    {0.2, 0, 0, 0.8, 0},  // C open (E)
    {1.0, 0, 0, 0, 0},    // D wide (A)
    {0, 0, 0, 0, 0.7},    // E rounded (O)
    {0, 0, 0.8, 0, 0.2},  // F puckered (U)
    {0, 0.3, 0, 0, 0},    // G F/V
    {0.6, 0, 0, 0.2, 0},  // H L
    {0, 0, 0, 0, 0},      // X rest
};

double Ease(RigEase ease, double p) {
    if (ease == RigEase::Smooth) return p * p * (3.0 - 2.0 * p);
    return p;
}

// The nine weights of every frame: a new mouth takes over in `fade` frames from whatever the
// frame before held, so each frame is a blend of blends and its weights still sum to 1.
std::vector<std::array<double, kMouthShapeCount>> MouthWeights(const RigMouths& m,
                                                               const RigExportOptions& o) {
    std::vector<std::array<double, kMouthShapeCount>> w(m.frames.size());
    const std::int32_t fade = o.ease == RigEase::Step ? 1 : std::clamp(o.fade, 1, kMaxFadeFrames);
    std::array<double, kMouthShapeCount> from{};
    std::size_t start = 0;
    for (std::size_t f = 0; f < m.frames.size(); ++f) {
        const std::size_t target = static_cast<std::size_t>(MouthShapeIndex(m.frames[f]));
        if (f == 0 || m.frames[f] != m.frames[f - 1]) {
            start = f;
            from = f == 0 ? std::array<double, kMouthShapeCount>{} : w[f - 1];
            if (f == 0) from[target] = 1.0;
        }
        const double p =
            std::min(1.0, static_cast<double>(f - start + 1) / static_cast<double>(fade));
        const double e = Ease(o.ease, p);
        for (std::size_t i = 0; i < kMouthShapeCount; ++i) {
            w[f][i] = (1.0 - e) * from[i] + (i == target ? e : 0.0);
        }
    }
    return w;
}

// Weights to six decimals, as rigs take them (and sums stay 1 to that precision).
void AppendWeight(std::string& t, double v) {
    const double rounded = std::round(v * 1e6) / 1e6;
    AppendShortest(t, rounded == 0.0 ? 0.0 : rounded);
}

}  // namespace

std::vector<std::string> RigWeightNames(const RigExportOptions& o) {
    if (o.weights == WeightSet::Vrm0) return {"A", "I", "U", "E", "O"};
    if (o.weights == WeightSet::Vrm1) return {"aa", "ih", "ou", "ee", "oh"};
    const MouthShapeNames names = o.names.value_or(DefaultRigNames(RigFormat::WeightsCsv));
    return {names.begin(), names.end()};
}

std::vector<std::vector<double>> RigWeights(const RigMouths& m, const RigExportOptions& o) {
    const auto nine = MouthWeights(m, o);
    std::vector<std::vector<double>> out;
    out.reserve(nine.size());
    for (const auto& w : nine) {
        if (o.weights == WeightSet::Mouths) {
            out.emplace_back(w.begin(), w.end());
            continue;
        }
        std::vector<double> vowels(5, 0.0);
        for (std::size_t i = 0; i < kMouthShapeCount; ++i) {
            for (std::size_t v = 0; v < 5; ++v) vowels[v] += w[i] * kVowelMap[i][v];
        }
        out.push_back(std::move(vowels));
    }
    return out;
}

bool WriteWeightsCsv(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "frame,time";
    for (const std::string& name : RigWeightNames(o)) t += "," + name;
    chunks.Line();
    const auto weights = RigWeights(m, o);
    for (std::size_t f = 0; f < weights.size(); ++f) {
        AppendInt(t, static_cast<std::int64_t>(f));
        t += ',';
        AppendShortest(t, static_cast<double>(f) / m.frameRate);
        for (double v : weights[f]) {
            t += ',';
            AppendWeight(t, v);
        }
        chunks.Line();
    }
    return chunks.Finish();
}

bool WriteWeightsJson(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "{\n  \"frameRate\": ";
    AppendShortest(t, m.frameRate);
    t += ",\n  \"duration\": ";
    AppendShortest(t, DurationOf(m));
    t += ",\n  \"set\": \"";
    t += WeightSetName(o.weights);
    t += "\",\n  \"ease\": \"";
    t += RigEaseName(o.ease);
    t += "\",\n  \"fade\": ";
    AppendInt(t, o.ease == RigEase::Step ? 1 : o.fade);
    t += ",\n  \"names\": [";
    const std::vector<std::string> names = RigWeightNames(o);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) t += ", ";
        AppendJsonString(t, names[i]);
    }
    t += "],\n  \"frames\": [";
    const auto weights = RigWeights(m, o);
    if (weights.empty()) t += ']';
    chunks.Line();
    for (std::size_t f = 0; f < weights.size(); ++f) {
        t += "    [";
        for (std::size_t i = 0; i < weights[f].size(); ++i) {
            if (i > 0) t += ", ";
            AppendWeight(t, weights[f][i]);
        }
        t += f + 1 < weights.size() ? "]," : "]";
        chunks.Line();
    }
    if (!weights.empty()) {
        t += "  ]";
        chunks.Line();
    }
    t += '}';
    chunks.Line();
    return chunks.Finish();
}

}  // namespace vokra

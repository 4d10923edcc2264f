#include "tests/shapes/speech_like.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string_view>

namespace vokra::test {
namespace {

constexpr double kPi = 3.14159265358979;

struct Sound {
    char name;
    std::array<double, 3> formants;  // Hz; none for noise and silence
    double voice;                    // the voice source's gain
    double hiss;                     // the noise source's gain
    double hissHz;                   // where the noise is centred
};

constexpr std::array<Sound, 11> kSounds = {{
    {'a', {700, 1220, 2600}, 1.0, 0.0, 0},
    {'i', {280, 2250, 2900}, 0.8, 0.0, 0},
    {'u', {310, 870, 2250}, 0.8, 0.0, 0},
    {'e', {500, 1800, 2500}, 0.9, 0.0, 0},
    {'o', {450, 800, 2830}, 0.9, 0.0, 0},
    {'l', {360, 1300, 2700}, 0.5, 0.0, 0},
    {'m', {250, 1000, 2200}, 0.25, 0.0, 0},
    {'s', {500, 1500, 2500}, 0.0, 0.35, 5500},
    {'f', {500, 1500, 2500}, 0.0, 0.12, 3000},
    {'p', {500, 1500, 2500}, 0.0, 0.0, 0},  // closure, then a burst
    {'_', {500, 1500, 2500}, 0.0, 0.0, 0},  // pause
}};

// The root mean square of the loudest half of the 10 ms windows: the voice's level.
double LoudLevel(const std::vector<double>& x, std::int32_t rate) {
    const auto step = static_cast<std::size_t>(rate / 100);
    std::vector<double> windows;
    for (std::size_t s = 0; s + step <= x.size(); s += step) {
        double sum = 0;
        for (std::size_t i = s; i < s + step; ++i) sum += x[i] * x[i];
        windows.push_back(sum / static_cast<double>(step));
    }
    if (windows.empty()) return 1e-9;
    std::sort(windows.begin(), windows.end());
    double loud = 0;
    for (std::size_t i = windows.size() / 2; i < windows.size(); ++i) loud += windows[i];
    return std::sqrt(loud / static_cast<double>(windows.size() - windows.size() / 2)) + 1e-9;
}

const Sound& SoundOf(char c) {
    for (const auto& s : kSounds)
        if (s.name == c) return s;
    return kSounds.back();
}

// A two-pole resonance at `hz` with bandwidth `bw`, its gain normalised at the centre.
struct Resonator {
    double y1 = 0, y2 = 0;
    double Step(double x, double hz, double bw, double rate) {
        const double r = std::exp(-kPi * bw / rate);
        const double c = 2 * r * std::cos(2 * kPi * hz / rate);
        const double y = (1 - r) * x + c * y1 - r * r * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

}  // namespace

std::vector<std::int16_t> SpokenLine(std::int32_t rate) {
    // Each letter a sound of its own length in ms; the same syllables a speech engine would make.
    constexpr std::string_view kLine = "_mamasilupo_fefalomi_pasumelo_";
    auto length = [](char c) {
        switch (c) {
            case '_':
                return 450;
            case 'p':
                return 90;
            case 's':
            case 'f':
                return 110;
            case 'm':
            case 'l':
                return 80;
            default:
                return 150;
        }
    };
    std::vector<double> voiced, hiss;
    std::mt19937 gen(7);
    std::normal_distribution<double> normal;
    std::array<Resonator, 3> tract;
    Resonator hissFilter;
    std::array<double, 3> formants = {500, 1500, 2500};
    double phase = 0, lastFlow = 0;
    std::int64_t t = 0;
    for (char c : kLine) {
        const Sound& s = SoundOf(c);
        const auto n = static_cast<std::int64_t>(length(c)) * rate / 1000;
        for (std::int64_t i = 0; i < n; ++i, ++t) {
            // Formants glide towards the sound's over about 30 ms.
            for (int k = 0; k < 3; ++k) formants[k] += (s.formants[k] - formants[k]) * 100.0 / rate;
            const double f0 = 120 + 15 * std::sin(2 * kPi * 0.7 * static_cast<double>(t) / rate);
            phase += f0 / rate;
            if (phase >= 1.0) phase -= 1.0;
            // The glottis' flow (opening over 40 % of the period, closing over 16 %); its change
            // drives the tract, as in a real voice, without the spikes of a bare pulse train.
            const double flow = phase < 0.4    ? 0.5 * (1 - std::cos(kPi * phase / 0.4))
                                : phase < 0.56 ? std::cos(kPi * (phase - 0.4) / 0.32)
                                               : 0.0;
            const double pulse = flow - lastFlow;
            lastFlow = flow;
            // Voicing rises and falls over the first and last 15 ms of a sound.
            const double edge = std::min({1.0, static_cast<double>(i) * 66.0 / rate,
                                          static_cast<double>(n - i) * 66.0 / rate});
            double x = 0;
            if (s.voice > 0) {
                x = pulse * s.voice * edge;
                for (int k = 0; k < 3; ++k)
                    x = tract[static_cast<std::size_t>(k)].Step(x, formants[k], 80.0 + 20 * k,
                                                                rate);
            }
            voiced.push_back(x);
            double h = 0;
            if (s.hiss > 0) h = hissFilter.Step(normal(gen), s.hissHz, 2500, rate) * s.hiss * edge;
            // A burst for the last 12 ms of a closure.
            if (c == 'p' && n - i < 12 * rate / 1000) h += normal(gen) * 0.25;
            hiss.push_back(h);
        }
    }
    // The noises about 14 dB under the vowels where they sound; the whole as loud as a speech
    // engine's line, its voiced windows near -20 dBFS.
    double hissPower = 0;
    std::size_t hissing = 0;
    for (double h : hiss) {
        hissPower += h * h;
        hissing += h != 0.0;
    }
    const double voice = LoudLevel(voiced, rate);
    const double hissGain =
        hissing ? 0.2 * voice / std::sqrt(hissPower / static_cast<double>(hissing)) : 0.0;
    const double scale = std::pow(10.0, -20.0 / 20.0) * 32768.0 / voice;
    std::vector<std::int16_t> samples(voiced.size());
    for (std::size_t i = 0; i < voiced.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            std::clamp(std::lround((voiced[i] + hiss[i] * hissGain) * scale), -32768L, 32767L));
    return samples;
}

std::vector<std::int16_t> WithNoise(const std::vector<std::int16_t>& line, std::int32_t rate,
                                    NoiseKind kind, double dbfs, double snr) {
    std::mt19937 gen(11);
    std::normal_distribution<double> normal;
    std::vector<double> noise(line.size());
    // Pink by Kellett's filter: the sum of a few leaky integrators of white noise.
    double b0 = 0, b1 = 0, b2 = 0;
    double power = 0;
    for (auto& v : noise) {
        const double w = normal(gen);
        if (kind == NoiseKind::Pink) {
            b0 = 0.99765 * b0 + w * 0.0990460;
            b1 = 0.96300 * b1 + w * 0.2965164;
            b2 = 0.57000 * b2 + w * 1.0526913;
            v = b0 + b1 + b2 + w * 0.1848;
        } else {
            v = w;
        }
        power += v * v;
    }
    const double rms = std::sqrt(power / std::max<std::size_t>(noise.size(), 1));
    double level = std::pow(10.0, dbfs / 20.0) * 32768.0;
    if (snr > 0) {
        level = LoudLevel(std::vector<double>(line.begin(), line.end()), rate) *
                std::pow(10.0, -snr / 20.0);
    }
    std::vector<std::int16_t> out(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp(std::lround(line[i] + noise[i] / rms * level), -32768L, 32767L));
    return out;
}

}  // namespace vokra::test

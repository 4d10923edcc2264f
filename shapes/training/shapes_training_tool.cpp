// The shape model's offline tool: makes labelled speech with libespeak-ng, writes the scorer's
// inputs and the labels for training, and measures the estimator against labels.
//   speak VOICE WPM PITCH TEXT OUT.wav OUT.lab   one WAVE file of every line of TEXT, and its
//                                                phonemes with their mouths
//   inputs LIST OUT.f16 OUT.labels               for each "tag wav lab" line of LIST, the
//                                                scorer's input of every 10 ms (half floats)
//   label SET PHONES OUT.lab                     a Festival voice's phones ("start end name"
//                                                per line, in ms) with their mouths
//   flite VOICE STRETCH TEXT OUT.wav OUT.lab     every line of TEXT spoken by flite's awb or
//                                                rms, with each segment's mouth
//   align ID WAV TEXT LANGUAGE                   the mouths of a real recording from its
//                                                transcript: "ID agreement found/words runs", the
//                                                runs as letter and count of 10 ms windows
//   eval LIST [COST [PRIOR [TIMING]]]            per tag: exact shape and class per 10 ms, with
//                                                and without 20 ms of tolerance, closures found,
//                                                beside "X where the labels pause, else B"; then
//                                                per shape precision, recall and onset error
#include <espeak-ng/speak_lib.h>
#include <flite/flite.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "shapes/mouth_shape.h"
#include "shapes/phoneme_mouths.h"
#include "shapes/script_alignment.h"
#include "shapes/shape_estimator.h"
#include "shapes/shape_features.h"
#include "shapes/shape_model.h"
#include "shapes/training/festival_mouths.h"

extern "C" cst_voice* register_cmu_us_awb(const char* voxdir);
extern "C" cst_voice* register_cmu_us_rms(const char* voxdir);

namespace vokra {
namespace {

struct Speech {
    std::vector<std::int16_t> samples;
    std::int64_t lineStart = 0;  // samples before the current line
    struct Phoneme {
        double startMs;
        std::string name;
    };
    std::vector<Phoneme> phonemes;
};

Speech* g_speech = nullptr;

int OnSynth(short* wav, int count, espeak_EVENT* events) {
    if (wav && count > 0) g_speech->samples.insert(g_speech->samples.end(), wav, wav + count);
    for (; events && events->type != espeakEVENT_LIST_TERMINATED; ++events) {
        if (events->type != espeakEVENT_PHONEME) continue;
        std::string name(events->id.string, strnlen(events->id.string, sizeof(events->id.string)));
        // A palatalisation mark comes as a phoneme of its own; it belongs to the one before.
        if (name == ";") continue;
        g_speech->phonemes.push_back(
            {g_speech->lineStart * 1000.0 / 22050.0 + events->audio_position, name});
    }
    return 0;
}

void WriteWav(const std::string& path, const std::vector<std::int16_t>& s, int rate) {
    std::ofstream out(path, std::ios::binary);
    auto le32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t bytes = static_cast<std::uint32_t>(s.size() * 2);
    out.write("RIFF", 4);
    le32(36 + bytes);
    out.write("WAVEfmt ", 8);
    le32(16);
    le16(1);
    le16(1);
    le32(static_cast<std::uint32_t>(rate));
    le32(static_cast<std::uint32_t>(rate * 2));
    le16(2);
    le16(16);
    out.write("data", 4);
    le32(bytes);
    out.write(reinterpret_cast<const char*>(s.data()), bytes);
}

int Speak(const std::string& voice, int wpm, int pitch, const std::string& textPath,
          const std::string& wavPath, const std::string& labPath) {
    const int rate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
    if (rate != 22050) {
        std::cerr << "espeak-ng did not start (rate " << rate << ")\n";
        return 1;
    }
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        std::cerr << "no voice " << voice << "\n";
        return 1;
    }
    espeak_SetParameter(espeakRATE, wpm, 0);
    espeak_SetParameter(espeakPITCH, pitch, 0);
    Speech speech;
    g_speech = &speech;
    espeak_SetSynthCallback(OnSynth);
    std::ifstream text(textPath);
    std::string line;
    std::ofstream lab(labPath);
    while (std::getline(text, line)) {
        if (line.empty()) continue;
        speech.lineStart = static_cast<std::int64_t>(speech.samples.size());
        speech.phonemes.clear();
        espeak_Synth(line.c_str(), line.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
        espeak_Synchronize();
        const double endMs = speech.samples.size() * 1000.0 / rate;
        for (std::size_t i = 0; i < speech.phonemes.size(); ++i) {
            const auto& p = speech.phonemes[i];
            const double end =
                i + 1 < speech.phonemes.size() ? speech.phonemes[i + 1].startMs : endMs;
            if (end <= p.startMs) continue;
            lab << p.startMs << ' ' << end << ' ' << MouthShapeLetter(MouthOfEspeakPhoneme(p.name))
                << ' ' << p.name << '\n';
        }
    }
    WriteWav(wavPath, speech.samples, rate);
    espeak_Terminate();
    return 0;
}

// The mouth of each 10 ms window: the phoneme under its centre, rest where there is none.
std::vector<MouthShape> WindowLabels(const std::string& labPath, std::int32_t windows) {
    std::vector<MouthShape> labels(static_cast<std::size_t>(windows), MouthShape::X);
    std::ifstream lab(labPath);
    double start = 0, end = 0;
    std::string letter, name;
    while (lab >> start >> end >> letter >> name) {
        const MouthShape shape = MouthShapeFromLetter(letter[0]).value_or(MouthShape::X);
        for (auto w = static_cast<std::int32_t>(std::ceil(start / 10.0 - 0.5));
             w < windows && w * 10.0 + 5.0 < end; ++w)
            if (w >= 0) labels[static_cast<std::size_t>(w)] = shape;
    }
    return labels;
}

struct Entry {
    std::string tag, wav, lab;
};

std::vector<Entry> ReadList(const std::string& path) {
    std::vector<Entry> list;
    std::ifstream in(path);
    Entry e;
    while (in >> e.tag >> e.wav >> e.lab) list.push_back(e);
    return list;
}

// The recordings here are sox's plain 16-bit mono files, often longer than the editor accepts,
// so the tool reads them itself.
struct Sound {
    std::vector<std::int16_t> samples;
    std::int32_t rate = 0;
};

bool LoadSound(const std::string& path, Sound& sound) {
    std::ifstream in(path, std::ios::binary);
    char id[4];
    std::uint32_t size = 0;
    std::uint16_t channels = 0, bits = 0;
    in.seekg(12);
    while (in.read(id, 4) && in.read(reinterpret_cast<char*>(&size), 4)) {
        if (std::memcmp(id, "fmt ", 4) == 0) {
            std::vector<char> fmt(size);
            in.read(fmt.data(), size);
            std::memcpy(&channels, fmt.data() + 2, 2);
            std::memcpy(&sound.rate, fmt.data() + 4, 4);
            std::memcpy(&bits, fmt.data() + 14, 2);
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (channels != 1 || bits != 16) break;
            sound.samples.resize(size / 2);
            in.read(reinterpret_cast<char*>(sound.samples.data()), size / 2 * 2);
            return sound.rate > 0;
        } else {
            in.seekg(size + (size & 1), std::ios::cur);
        }
    }
    std::cerr << path << ": not a 16-bit mono WAVE file\n";
    return false;
}

std::uint16_t Half(float f) {
    std::uint32_t x;
    std::memcpy(&x, &f, 4);
    const std::uint32_t sign = (x >> 16) & 0x8000;
    int exp = static_cast<int>((x >> 23) & 0xff) - 127 + 15;
    std::uint32_t mant = x & 0x7fffff;
    if (exp <= 0) return static_cast<std::uint16_t>(sign);
    if (exp >= 31) return static_cast<std::uint16_t>(sign | 0x7bff);
    mant += 0x1000;  // round
    if (mant & 0x800000) {
        mant = 0;
        if (++exp >= 31) return static_cast<std::uint16_t>(sign | 0x7bff);
    }
    return static_cast<std::uint16_t>(sign | (exp << 10) | (mant >> 13));
}

int Inputs(const std::string& listPath, const std::string& outPath, const std::string& labelsPath) {
    std::ofstream out(outPath, std::ios::binary), labelsOut(labelsPath, std::ios::binary);
    std::vector<float> input(kShapeInputCount);
    std::vector<std::uint16_t> half(kShapeInputCount);
    for (const Entry& e : ReadList(listPath)) {
        Sound sound;
        if (!LoadSound(e.wav, sound)) return 1;
        ShapeInputStream stream(sound.samples.data(),
                                static_cast<std::int32_t>(sound.samples.size()), sound.rate);
        const auto labels = WindowLabels(e.lab, stream.WindowCount());
        std::size_t w = 0;
        while (stream.Next(input.data())) {
            for (int i = 0; i < kShapeInputCount; ++i) half[i] = Half(input[i]);
            out.write(reinterpret_cast<const char*>(half.data()),
                      static_cast<std::streamsize>(half.size() * 2));
            labelsOut.put(static_cast<char>(MouthShapeIndex(labels[w++])));
        }
    }
    return 0;
}

// Festival's segment times (written by festival_speak.scm, gathered by make_festival.py) with
// each phone's mouth, as `speak` writes them for espeak-ng.
int Label(const std::string& setName, const std::string& phonesPath, const std::string& labPath) {
    const auto set = FestivalPhoneSetNamed(setName);
    if (!set) {
        std::cerr << "unknown phone set " << setName << "\n";
        return 2;
    }
    std::ifstream in(phonesPath);
    std::ofstream lab(labPath);
    double start = 0, end = 0;
    std::string name;
    while (in >> start >> end >> name)
        if (end > start)
            lab << start << ' ' << end << ' ' << MouthShapeLetter(MouthOfFestivalPhone(*set, name))
                << ' ' << name << '\n';
    return 0;
}

// flite's two English voices that may train (the others are kept for an independent check), with
// their segment times; the phone set is the English one of Festival's voices.
int Flite(const std::string& voiceName, double stretch, const std::string& textPath,
          const std::string& wavPath, const std::string& labPath) {
    flite_init();
    cst_voice* voice = voiceName == "awb"   ? register_cmu_us_awb(nullptr)
                       : voiceName == "rms" ? register_cmu_us_rms(nullptr)
                                            : nullptr;
    if (!voice) {
        std::cerr << "flite voice " << voiceName << " is not one that trains (awb, rms)\n";
        return 2;
    }
    feat_set_float(voice->features, "duration_stretch", static_cast<float>(stretch));
    std::ifstream text(textPath);
    std::ofstream lab(labPath);
    std::vector<std::int16_t> samples;
    int rate = 0;
    std::string line;
    while (std::getline(text, line)) {
        if (line.empty()) continue;
        cst_utterance* utt = flite_synth_text(line.c_str(), voice);
        const cst_wave* wave = utt ? utt_wave(utt) : nullptr;
        if (!wave || (rate && wave->sample_rate != rate)) {
            std::cerr << "flite spoke nothing for: " << line << "\n";
            if (utt) delete_utterance(utt);
            return 1;
        }
        rate = wave->sample_rate;
        const double startMs = samples.size() * 1000.0 / rate;
        double begin = 0.0;
        for (const cst_item* seg = relation_head(utt_relation(utt, "Segment")); seg;
             seg = item_next(seg)) {
            const double end = item_feat_float(seg, "end");
            const std::string name = item_feat_string(seg, "name");
            if (end > begin)
                lab << startMs + begin * 1000.0 << ' ' << startMs + end * 1000.0 << ' '
                    << MouthShapeLetter(MouthOfFestivalPhone(FestivalPhoneSet::English, name))
                    << ' ' << name << '\n';
            begin = std::max(begin, end);
        }
        samples.insert(samples.end(), wave->samples, wave->samples + wave->num_samples);
        delete_utterance(utt);
    }
    if (samples.empty()) {
        std::cerr << textPath << ": nothing to speak\n";
        return 1;
    }
    WriteWav(wavPath, samples, rate);
    return 0;
}

// A real recording's mouths from its transcript, by the program's own script alignment (without
// the timing rules, which are the estimator's and not the voice's). The agreement (the placed
// words' mean, weighted by their length) lets the caller drop clips that do not match their text;
// the words found are those over the estimator's own cut-off for a word.
int Align(const std::string& id, const std::string& wavPath, const std::string& textPath, const std::string& language) {
    Sound sound;
    if (!LoadSound(wavPath, sound)) return 1;
    std::ifstream in(textPath);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Every word placed, none set aside: the caller judges the clip by the agreement, and a
    // real voice the model has never heard agrees less than the estimator's own cut-offs expect.
    ScriptAlignOptions options;
    options.timing = false;
    options.leastWordAgreement = -1e9f;
    options.leastKeptAgreement = -1e9f;
    const auto a =
        AlignShapesToText(sound.samples.data(), static_cast<std::int32_t>(sound.samples.size()),
                          sound.rate, text, language, options);
    if (!a.ok() || !a.notice.empty() || a.words.empty()) {
        std::cerr << wavPath << ": " << (a.ok() ? a.notice : a.error) << "\n";
        return 1;
    }
    double sum = 0.0;
    long windows = 0, found = 0;
    for (const PlacedWord& w : a.words) {
        found += w.agreement >= ScriptAlignOptions{}.leastWordAgreement;
        const long n = std::max(0, w.endWindow - w.firstWindow);
        sum += static_cast<double>(w.agreement) * static_cast<double>(n);
        windows += n;
    }
    std::printf("%s %.3f %ld/%zu", id.c_str(), windows ? sum / static_cast<double>(windows) : -99.0, found,
                a.words.size());
    for (std::size_t w = 0; w < a.per10ms.size();) {
        std::size_t e = w;
        while (e < a.per10ms.size() && a.per10ms[e] == a.per10ms[w]) ++e;
        std::printf(" %c%zu", MouthShapeLetter(a.per10ms[w]), e - w);
        w = e;
    }
    std::printf("\n");
    return 0;
}

struct Score {
    long frames = 0, exact = 0, exact20 = 0, cls = 0, cls20 = 0, closures = 0, closuresFound = 0;
    long base = 0, base20 = 0;
};

// Exact per 10 ms is the headline; beside it the same with 20 ms of tolerance either side (the
// labels' timing is no finer than that).
void Compare(const std::vector<MouthShape>& guess, const std::vector<MouthShape>& truth, Score& s) {
    const long n = static_cast<long>(std::min(guess.size(), truth.size()));
    // The trivial answer: rest where the labels pause, teeth everywhere else.
    auto trivial = [&](long v) {
        return truth[v] == MouthShape::X ? MouthShape::X : MouthShape::B;
    };
    for (long w = 0; w < n; ++w) {
        bool exact = false, cls = false, base = false;
        for (long d = -2; d <= 2; ++d) {
            const long v = w + d;
            if (v < 0 || v >= n) continue;
            exact |= guess[w] == truth[v];
            cls |= MouthClassOf(guess[w]) == MouthClassOf(truth[v]);
            base |= trivial(w) == truth[v];
        }
        ++s.frames;
        s.exact += guess[w] == truth[w];
        s.cls += MouthClassOf(guess[w]) == MouthClassOf(truth[w]);
        s.base += trivial(w) == truth[w];
        s.exact20 += exact;
        s.cls20 += cls;
        s.base20 += base;
        if (truth[w] == MouthShape::A) {
            ++s.closures;
            bool found = false;
            for (long d = -2; d <= 2; ++d)
                if (w + d >= 0 && w + d < n && guess[w + d] == MouthShape::A) found = true;
            s.closuresFound += found;
        }
    }
}

// Per shape: windows guessed, labelled and both (exact, no tolerance); and the onsets: for each
// run of the shape in the labels, the nearest start of a guessed run of it within 100 ms.
struct ShapeStats {
    std::array<long, kMouthShapeCount> guessed{}, labelled{}, both{};
    std::array<long, kMouthShapeCount> onsets{}, found{};
    std::array<double, kMouthShapeCount> late{}, off{};  // sums in windows: signed, absolute
};

void Tally(const std::vector<MouthShape>& guess, const std::vector<MouthShape>& truth,
           ShapeStats& st) {
    const long n = static_cast<long>(std::min(guess.size(), truth.size()));
    for (long w = 0; w < n; ++w) {
        ++st.guessed[MouthShapeIndex(guess[w])];
        ++st.labelled[MouthShapeIndex(truth[w])];
        st.both[MouthShapeIndex(truth[w])] += guess[w] == truth[w];
    }
    auto startsAt = [](const std::vector<MouthShape>& s, long w) {
        return w == 0 || s[w] != s[w - 1];
    };
    for (long w = 0; w < n; ++w) {
        if (!startsAt(truth, w)) continue;
        const int k = MouthShapeIndex(truth[w]);
        ++st.onsets[k];
        auto onset = [&](long v) {
            return v >= 0 && v < n && guess[v] == truth[w] && startsAt(guess, v);
        };
        for (long d = 0; d <= 10; ++d) {
            const long hit = onset(w - d) ? -d : onset(w + d) ? d : 11;
            if (hit > 10) continue;
            ++st.found[k];
            st.late[k] += static_cast<double>(hit);
            st.off[k] += std::abs(static_cast<double>(hit));
            break;
        }
    }
}

void PrintShapes(const ShapeStats& st) {
    constexpr double kWindowsPerFrame = 100.0 / 24.0;
    std::printf("%-6s %9s %9s %10s %8s %10s %10s\n", "shape", "labelled", "precis%", "recall%",
                "onsets", "late(fr)", "|err|(fr)");
    for (int k = 0; k < kMouthShapeCount; ++k) {
        auto pct = [](long a, long b) { return b ? 100.0 * a / b : 0.0; };
        const double f = st.found[k] ? 1.0 / (st.found[k] * kWindowsPerFrame) : 0.0;
        std::printf("%-6c %9ld %9.1f %10.1f %8ld %10.2f %10.2f\n",
                    MouthShapeLetter(static_cast<MouthShape>(k)), st.labelled[k],
                    pct(st.both[k], st.guessed[k]), pct(st.both[k], st.labelled[k]), st.onsets[k],
                    st.late[k] * f, st.off[k] * f);
    }
}

int Eval(const std::string& listPath, const ShapeTuning& tuning) {
    std::map<std::string, Score> byTag;
    Score all;
    ShapeStats shapes;
    for (const Entry& e : ReadList(listPath)) {
        Sound sound;
        if (!LoadSound(e.wav, sound)) return 1;
        const auto guess =
            GuessShapes(sound.samples.data(), static_cast<std::int32_t>(sound.samples.size()),
                        sound.rate, tuning);
        const auto truth = WindowLabels(e.lab, static_cast<std::int32_t>(guess.size()));
        Compare(guess, truth, byTag[e.tag]);
        Compare(guess, truth, all);
        Tally(guess, truth, shapes);
    }
    auto row = [](const std::string& tag, const Score& s) {
        auto pct = [&](long a) { return s.frames ? 100.0 * a / s.frames : 0.0; };
        std::printf("%-16s %8ld %7.1f %7.1f %7.1f %7.1f %9.1f %7.1f %7.1f\n", tag.c_str(), s.frames,
                    pct(s.exact), pct(s.exact20), pct(s.cls), pct(s.cls20),
                    s.closures ? 100.0 * s.closuresFound / s.closures : 0.0, pct(s.base),
                    pct(s.base20));
    };
    std::printf("%-16s %8s %7s %7s %7s %7s %9s %7s %7s\n", "set", "frames", "exact%", "ex20ms%",
                "class%", "cl20ms%", "closures%", "triv%", "triv20%");
    for (const auto& [tag, s] : byTag) row(tag, s);
    row("all", all);
    PrintShapes(shapes);
    return 0;
}

}  // namespace
}  // namespace vokra

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 7 && a[0] == "speak")
        return vokra::Speak(a[1], std::atoi(a[2].c_str()), std::atoi(a[3].c_str()), a[4], a[5],
                            a[6]);
    if (a.size() == 4 && a[0] == "inputs") return vokra::Inputs(a[1], a[2], a[3]);
    if (a.size() == 4 && a[0] == "label") return vokra::Label(a[1], a[2], a[3]);
    if (a.size() == 6 && a[0] == "flite")
        return vokra::Flite(a[1], std::atof(a[2].c_str()), a[3], a[4], a[5]);
    if (a.size() == 5 && a[0] == "align") return vokra::Align(a[1], a[2], a[3], a[4]);
    if (a.size() >= 2 && a[0] == "eval") {
        vokra::ShapeTuning tuning;
        if (a.size() >= 3) tuning.changeCost = static_cast<float>(std::atof(a[2].c_str()));
        if (a.size() >= 4) tuning.priorWeight = static_cast<float>(std::atof(a[3].c_str()));
        if (a.size() >= 5) tuning.timing = a[4] != "0";
        return vokra::Eval(a[1], tuning);
    }
    std::cerr << "usage: shapes_training_tool speak VOICE WPM PITCH TEXT OUT.wav OUT.lab\n"
                 "       shapes_training_tool inputs LIST OUT.f16 OUT.labels\n"
                 "       shapes_training_tool label SET PHONES OUT.lab\n"
                 "       shapes_training_tool flite awb|rms STRETCH TEXT OUT.wav OUT.lab\n"
                 "       shapes_training_tool align ID WAV TEXT LANGUAGE\n"
                 "       shapes_training_tool eval LIST [CHANGE_COST [PRIOR_WEIGHT [TIMING]]]\n";
    return 2;
}

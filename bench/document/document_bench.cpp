// The keys' list operations against a plain sorted array, and saving, opening and exporting a
// document of 100,000 keys against writing or reading the same bytes with plain stream calls.
// The files live on a memory file system when there is one: the safe save's fsync measures the
// disk, not this program.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <random>
#include <sstream>
#include <vector>

#include "bench/support/ratio.h"
#include "document/envelope_writer.h"
#include "document/key_export_command.h"
#include "document/vokra_doc.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

constexpr int kKeys = 100'000;

class Quiet final : public MessageService {
public:
    int Show(const MessageRequest&) override { return IDOK; }
};

struct Folder {
    std::string path;
    Folder() {
        std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                              "/vokra-bench-XXXXXX";
        path = ::mkdtemp(pattern.data()) ? pattern : "/tmp";
        static Quiet quiet;
        SetMessageService(&quiet);
        Profile().SetPath("");  // the settings stay untouched
    }
    ~Folder() {
        for (const char* name :
             {"/doc.vok", "/plain.vok", "/env.env", "/plain.env", "/keys.out", "/plain.out"}) {
            std::remove((path + name).c_str());
        }
        ::rmdir(path.c_str());
    }
    std::string File(const char* name) const { return path + "/" + name; }
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

float OpeningOf(int i) {
    return static_cast<float>((i * 37) % 200) / 100.0f;
}

CVokraDoc& BigDoc() {
    static CVokraDoc* doc = [] {
        auto* d = new CVokraDoc;
        d->OnNewDocument();
        for (int i = 0; i < kKeys; ++i) d->GetKeys().SetKey(Keyframe(i * 2, OpeningOf(i)));
        return d;
    }();
    return *doc;
}

// --- The key list.

void BM_SetKeysAscending(benchmark::State& state) {
    for (auto _ : state) {
        KeyframeList list;
        for (int i = 0; i < kKeys; ++i) list.SetKey(Keyframe(i, OpeningOf(i)));
        benchmark::DoNotOptimize(list.GetCount());
    }
}
BENCHMARK(BM_SetKeysAscending)->Unit(benchmark::kMillisecond);

void BM_SortedArrayAscending(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Keyframe> list;
        for (int i = 0; i < kKeys; ++i) list.push_back(Keyframe(i, OpeningOf(i)));
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_SortedArrayAscending)->Unit(benchmark::kMillisecond);

std::vector<int> RandomFrames(int n) {
    std::vector<int> frames(static_cast<std::size_t>(n));
    std::mt19937 rng(42);
    for (int& f : frames) f = static_cast<int>(rng() % 1'000'000);
    return frames;
}

void BM_SetKeysRandom(benchmark::State& state) {
    const auto frames = RandomFrames(10'000);
    for (auto _ : state) {
        KeyframeList list;
        for (int f : frames) list.SetKey(Keyframe(f, 0.5f));
        benchmark::DoNotOptimize(list.GetCount());
    }
}
BENCHMARK(BM_SetKeysRandom)->Unit(benchmark::kMillisecond);

void BM_SortedArrayRandom(benchmark::State& state) {
    const auto frames = RandomFrames(10'000);
    for (auto _ : state) {
        std::vector<Keyframe> list;
        for (int f : frames) {
            auto at = std::lower_bound(list.begin(), list.end(), f,
                                       [](const Keyframe& k, int v) { return k.GetFrame() < v; });
            if (at != list.end() && at->GetFrame() == f) {
                *at = Keyframe(f, 0.5f);
            } else {
                list.insert(at, Keyframe(f, 0.5f));
            }
        }
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_SortedArrayRandom)->Unit(benchmark::kMillisecond);

std::vector<double> Positions() {
    std::vector<double> p(kKeys);
    std::mt19937 rng(7);
    for (double& x : p) x = (rng() % 20'000'000) / 100.0;
    return p;
}

void BM_OpeningAt(benchmark::State& state) {
    const KeyframeList& keys = BigDoc().GetKeys();
    const auto positions = Positions();
    for (auto _ : state) {
        double sum = 0;
        for (double x : positions) sum += keys.GetOpeningAt(x);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_OpeningAt)->Unit(benchmark::kMillisecond);

void BM_SortedArraySearch(benchmark::State& state) {
    std::vector<int> frames(kKeys);
    for (int i = 0; i < kKeys; ++i) frames[i] = i * 2;
    const auto positions = Positions();
    for (auto _ : state) {
        long sum = 0;
        for (double x : positions) {
            sum += std::lower_bound(frames.begin(), frames.end(), static_cast<int>(x)) -
                   frames.begin();
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_SortedArraySearch)->Unit(benchmark::kMillisecond);

// --- The document file.

void BM_SaveDocument(benchmark::State& state) {
    CVokraDoc& doc = BigDoc();
    const std::string path = TheFolder().File("doc.vok");
    for (auto _ : state) {
        if (!doc.OnSaveDocument(path)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond);

// The baseline: the same fields, one stream call each.
void BM_StreamWriteFields(benchmark::State& state) {
    const KeyframeList& keys = BigDoc().GetKeys();
    const std::string path = TheFolder().File("plain.vok");
    const std::string header = "\x2AVokra version 1 Copyright 1998 Quorvendale";
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        const double rate = 15.0, custom = 15.0;
        const std::int32_t preset = 7, count = keys.GetCount();
        out.write(reinterpret_cast<const char*>(&rate), 8);
        out.write(reinterpret_cast<const char*>(&preset), 4);
        out.write(reinterpret_cast<const char*>(&custom), 8);
        out.write(reinterpret_cast<const char*>(&count), 4);
        for (std::int32_t i = 0; i < count; ++i) {
            const Keyframe* k = keys.GetAt(i);
            const std::int32_t kind = k->GetKind(), frame = k->GetFrame();
            const float opening = k->GetOpening();
            out.write(reinterpret_cast<const char*>(&kind), 4);
            out.write(reinterpret_cast<const char*>(&frame), 4);
            out.write(reinterpret_cast<const char*>(&opening), 4);
        }
        out.write("\0\0\0\0", 4);
        out.close();
        if (!out) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_StreamWriteFields)->Unit(benchmark::kMillisecond);

void BM_OpenDocument(benchmark::State& state) {
    const std::string path = TheFolder().File("doc.vok");
    if (!BigDoc().OnSaveDocument(path)) state.SkipWithError("save failed");
    CVokraDoc doc;
    for (auto _ : state) {
        if (!doc.OnOpenDocument(path)) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(doc.GetKeys().GetCount());
    }
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond);

// The baseline: the same fields read back with one stream call each into a plain array.
void BM_StreamReadFields(benchmark::State& state) {
    const std::string path = TheFolder().File("doc.vok");
    if (!BigDoc().OnSaveDocument(path)) state.SkipWithError("save failed");
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        char header[43];
        in.read(header, sizeof header);
        double rate, custom;
        std::int32_t preset, count;
        in.read(reinterpret_cast<char*>(&rate), 8);
        in.read(reinterpret_cast<char*>(&preset), 4);
        in.read(reinterpret_cast<char*>(&custom), 8);
        in.read(reinterpret_cast<char*>(&count), 4);
        std::vector<Keyframe> keys;
        for (std::int32_t i = 0; i < count && in; ++i) {
            std::int32_t kind, frame;
            float opening;
            in.read(reinterpret_cast<char*>(&kind), 4);
            in.read(reinterpret_cast<char*>(&frame), 4);
            in.read(reinterpret_cast<char*>(&opening), 4);
            keys.push_back(Keyframe(frame, opening));
        }
        char strings[4];
        in.read(strings, 4);
        if (!in || keys.size() != kKeys) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(keys.data());
    }
}
BENCHMARK(BM_StreamReadFields)->Unit(benchmark::kMillisecond);

// --- The envelope.

void BM_WriteEnvelope(benchmark::State& state) {
    CVokraDoc& doc = BigDoc();
    const std::string path = TheFolder().File("env.env");
    for (auto _ : state) {
        if (!doc.WriteEnvelopeTo(path)) state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_WriteEnvelope)->Unit(benchmark::kMillisecond);

// The baseline: the same lines through a file stream's own number formatting.
void BM_StreamWriteEnvelope(benchmark::State& state) {
    const KeyframeList& keys = BigDoc().GetKeys();
    const std::string path = TheFolder().File("plain.env");
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "LWEN\r\n1\r\n1\r\n"
            << keys.GetCount() << "\r\n"
            << std::fixed << std::setprecision(3);
        for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
            const Keyframe* k = keys.GetAt(i);
            out << static_cast<double>(k->GetOpening()) << "\r\n"
                << k->GetFrame() << " 1 0 0 0\r\n";
        }
        out.close();
        if (!out) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_StreamWriteEnvelope)->Unit(benchmark::kMillisecond);

// --- The keys for other tools: each format written as the program writes it, against the same
// numbers through a file stream's own formatting (17 and 9 digits read back as the same double
// and float, as the shortest forms do).

void ExportBench(benchmark::State& state, KeyFormat format) {
    CVokraDoc& doc = BigDoc();
    const std::string path = TheFolder().File("keys.out");
    const MouthBands mouths = DefaultMouthBands();
    for (auto _ : state) {
        if (!ExportKeysTo(doc, format, path, mouths)) state.SkipWithError("export failed");
    }
}
void BM_ExportCsv(benchmark::State& state) {
    ExportBench(state, KeyFormat::Csv);
}
void BM_ExportJson(benchmark::State& state) {
    ExportBench(state, KeyFormat::Json);
}
void BM_ExportAe(benchmark::State& state) {
    ExportBench(state, KeyFormat::Ae);
}
void BM_ExportDat(benchmark::State& state) {
    ExportBench(state, KeyFormat::Dat);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportAe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportDat)->Unit(benchmark::kMillisecond);

template <typename WriteRows>
void StreamBench(benchmark::State& state, WriteRows rows) {
    const std::string path = TheFolder().File("plain.out");
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        rows(out, BigDoc().GetKeys());
        out.close();
        if (!out) state.SkipWithError("write failed");
    }
}

void BM_StreamWriteCsv(benchmark::State& state) {
    StreamBench(state, [](std::ofstream& out, const KeyframeList& keys) {
        out << "frame,time,opening\n";
        for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
            const Keyframe* k = keys.GetAt(i);
            out << k->GetFrame() << ',' << std::setprecision(17) << k->GetFrame() / 15.0 << ','
                << std::setprecision(9) << k->GetOpening() << '\n';
        }
    });
}
BENCHMARK(BM_StreamWriteCsv)->Unit(benchmark::kMillisecond);

void BM_StreamWriteJson(benchmark::State& state) {
    StreamBench(state, [](std::ofstream& out, const KeyframeList& keys) {
        out << "{\n  \"frameRate\": 15,\n  \"sound\": null,\n  \"keys\": [\n";
        for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
            const Keyframe* k = keys.GetAt(i);
            out << "    {\"frame\": " << k->GetFrame() << ", \"time\": " << std::setprecision(17)
                << k->GetFrame() / 15.0 << ", \"opening\": " << std::setprecision(9)
                << k->GetOpening() << (i + 1 < keys.GetCount() ? "},\n" : "}\n");
        }
        out << "  ]\n}\n";
    });
}
BENCHMARK(BM_StreamWriteJson)->Unit(benchmark::kMillisecond);

void BM_StreamWriteAe(benchmark::State& state) {
    StreamBench(state, [](std::ofstream& out, const KeyframeList& keys) {
        out << "Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t15\n"
               "\tSource Width\t100\n\tSource Height\t100\n\tSource Pixel Aspect Ratio\t1\n"
               "\tComp Pixel Aspect Ratio\t1\n\nEffects\tSlider Control #1\tSlider #2\n"
               "\tFrame\t\n";
        for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
            const Keyframe* k = keys.GetAt(i);
            out << '\t' << k->GetFrame() << '\t' << std::setprecision(9) << k->GetOpening() * 100.0f
                << '\n';
        }
        out << "\nEnd of Keyframe Data\n";
    });
}
BENCHMARK(BM_StreamWriteAe)->Unit(benchmark::kMillisecond);

// The same lines, found beforehand: only their writing is measured.
void BM_StreamWriteDat(benchmark::State& state) {
    std::ostringstream text;
    KeyExportInfo info;
    WriteKeysMouthSwitch(BigDoc().GetKeys(), info, text);
    std::istringstream in(text.str());
    std::vector<std::pair<std::int64_t, std::string>> lines;
    std::string header;
    std::getline(in, header);
    std::int64_t frame;
    std::string name;
    while (in >> frame >> name) lines.emplace_back(frame, name);
    StreamBench(state, [&](std::ofstream& out, const KeyframeList&) {
        out << "MohoSwitch1\n";
        for (const auto& [f, n] : lines) out << f << ' ' << n << '\n';
    });
}
BENCHMARK(BM_StreamWriteDat)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vokra

VOKRA_RATIO(ascending, "set 100,000 keys in order / plain array", "BM_SetKeysAscending",
            "BM_SortedArrayAscending", 0.0);
VOKRA_RATIO(random, "set 10,000 keys at random / sorted array", "BM_SetKeysRandom",
            "BM_SortedArrayRandom", 0.0);
VOKRA_RATIO(opening, "opening at 100,000 positions / binary search", "BM_OpeningAt",
            "BM_SortedArraySearch", 0.0);
VOKRA_RATIO(save, "save 100,000 keys / stream writes", "BM_SaveDocument", "BM_StreamWriteFields",
            2.0);
VOKRA_RATIO(open, "open 100,000 keys / stream reads", "BM_OpenDocument", "BM_StreamReadFields",
            2.0);
VOKRA_RATIO(envelope, "envelope of 100,000 keys / stream writes", "BM_WriteEnvelope",
            "BM_StreamWriteEnvelope", 2.0);
VOKRA_RATIO(csv, "csv of 100,000 keys / stream writes", "BM_ExportCsv", "BM_StreamWriteCsv", 2.0);
VOKRA_RATIO(json, "json of 100,000 keys / stream writes", "BM_ExportJson", "BM_StreamWriteJson",
            2.0);
VOKRA_RATIO(ae, "ae of 100,000 keys / stream writes", "BM_ExportAe", "BM_StreamWriteAe", 2.0);
VOKRA_RATIO(dat, "dat of 100,000 keys / stream writes", "BM_ExportDat", "BM_StreamWriteDat", 2.0);

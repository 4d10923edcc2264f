#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/riff_reader.h"
#include "sound/sound_data.h"
#include "sound/wave_reader.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::Le16;
using test::Le32;
using test::WavBuilder;
using test::WavFormat;

constexpr const char* kUnsupported = "Wavefile format is not supported by this program.";

WavFormat Format(std::uint32_t rate, std::uint16_t bits,
                 std::function<void(WavFormat&)> change = {}) {
    WavFormat f;
    f.sampleRate = rate;
    f.bitsPerSample = bits;
    if (change) change(f);
    return f;
}

std::string Data(std::size_t bytes) {
    std::string s(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) s[i] = static_cast<char>(i * 13 + 1);
    return s;
}

std::string Wave(const WavFormat& f, std::size_t dataBytes) {
    return WavBuilder().Fmt(f).Chunk("data", Data(dataBytes)).Build();
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

struct LoadCase {
    const char* name;
    std::function<std::string()> file;
    std::int32_t code;
    const char* message;  // the box shown, none on success
    std::int32_t count;   // samples once loaded
    std::int32_t rate;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

const WavFormat k16At8000 = Format(8000, 16);
const WavFormat k16At44100 = Format(44100, 16);

std::vector<LoadCase> LoadCases() {
    const std::string data4000 = Data(4000);
    return {
        // Sizes at their limits.
        {"Mono16Largest", [] { return Wave(k16At44100, 8'000'000); }, 0, nullptr, 4'000'000, 44100},
        {"Mono16OneByteTooBig", [] { return Wave(k16At44100, 8'000'001); }, 9,
         "sound data is too big.", 0, 0},
        {"Mono8Largest", [] { return Wave(Format(44100, 8), 4'000'000); }, 0, nullptr, 4'000'000,
         44100},
        {"Mono8OneByteTooBig", [] { return Wave(Format(44100, 8), 4'000'001); }, 9,
         "sound data is too big.", 0, 0},
        {"QuarterSecondLoads", [] { return Wave(k16At8000, 4000); }, 0, nullptr, 2000, 8000},
        {"JustUnderQuarterSecond", [] { return Wave(k16At8000, 3999); }, 8,
         "sound data is too short.", 0, 0},
        {"Mono8QuarterSecondAt11025", [] { return Wave(Format(11025, 8), 2756); }, 0, nullptr, 2756,
         11025},
        {"Mono8JustUnderAt11025", [] { return Wave(Format(11025, 8), 2755); }, 8,
         "sound data is too short.", 0, 0},
        {"OddDataDropsLastByte", [] { return Wave(k16At8000, 4001); }, 0, nullptr, 2000, 8000},
        {"LowestRate", [] { return Wave(Format(4000, 16), 2000); }, 0, nullptr, 1000, 4000},
        // Format checks.
        {"Stereo",
         [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.channels = 2; }), 4000); }, 6,
         kUnsupported, 0, 0},
        {"NoChannels",
         [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.channels = 0; }), 4000); }, 6,
         kUnsupported, 0, 0},
        {"Bits24", [] { return Wave(Format(8000, 24), 6000); }, 6, kUnsupported, 0, 0},
        {"Bits12",
         [] { return Wave(Format(8000, 12, [](WavFormat& f) { f.blockAlign = 2; }), 4000); }, 6,
         kUnsupported, 0, 0},
        {"RateAbove44100", [] { return Wave(Format(48000, 16), 48000); }, 6, kUnsupported, 0, 0},
        {"RateBelow4000", [] { return Wave(Format(3999, 16), 4000); }, 6, kUnsupported, 0, 0},
        {"Compressed",
         [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.formatTag = 2; }), 4000); }, 6,
         kUnsupported, 0, 0},
        {"BlockAlignNotSampleSize",
         [] { return Wave(Format(8000, 8, [](WavFormat& f) { f.blockAlign = 2; }), 4000); }, 6,
         kUnsupported, 0, 0},
        // The format chunk's size.
        {"Fmt18", [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.fmtSize = 18; }), 4000); },
         0, nullptr, 2000, 8000},
        {"Fmt17Padded",
         [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.fmtSize = 17; }), 4000); }, 0,
         nullptr, 2000, 8000},
        {"Fmt17WithoutPad",
         [] {
             return WavBuilder()
                 .Chunk("fmt ", Wave(k16At8000, 0).substr(20, 16) + "x", false)
                 .Chunk("data", Data(4000))
                 .Build();
         },
         7, "Cannot find data chunk", 0, 0},
        {"Fmt40", [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.fmtSize = 40; }), 4000); },
         4, "FMT chunk is too big.", 0, 0},
        {"Fmt15", [] { return Wave(Format(8000, 16, [](WavFormat& f) { f.fmtSize = 15; }), 4000); },
         4, "FMT chunk is too small.", 0, 0},
        {"FmtCutByEndOfFile",
         [] {
             return WavBuilder()
                 .ChunkDeclared("fmt ", 16, std::string("\x01\0\x01\0", 4))
                 .BuildDeclared(40);
         },
         5, "Failed reading FMT chunk.", 0, 0},
        // Chunk layout.
        {"ListBetweenFmtAndData",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .Chunk("LIST", "INFOISFT" + Le32(3) + std::string("ab\0", 3))
                 .Chunk("data", Data(4000))
                 .Build();
         },
         0, nullptr, 2000, 8000},
        {"DataBeforeFmt",
         [] { return WavBuilder().Chunk("data", Data(4000)).Fmt(k16At8000).Build(); }, 7,
         "Cannot find data chunk", 0, 0},
        {"NoFmt", [] { return WavBuilder().Chunk("data", Data(4000)).Build(); }, 3,
         "Cannot find FMT chunk", 0, 0},
        {"NotRiff", [] { return "RIFX" + Wave(k16At8000, 4000).substr(4); }, 2,
         "This is not an audio waveform file.", 0, 0},
        {"OtherFormType", [] { return WavBuilder().Fmt(k16At8000).Build("AVI "); }, 2,
         "This is not an audio waveform file.", 0, 0},
        {"Empty", [] { return std::string(); }, 2, "This is not an audio waveform file.", 0, 0},
        // Hostile sizes.
        {"TruncatedData", [] { return Wave(k16At8000, 6000).substr(0, 3000); }, 11,
         "Failed reading the sound data.", 0, 0},
        // A RIFF size that counts only the samples: the data chunk still starts inside it.
        {"DataPastRiff",
         [] { return WavBuilder().Fmt(k16At8000).Chunk("data", Data(4000)).BuildDeclared(4000); },
         0, nullptr, 2000, 8000},
        {"RiffSizeZero",
         [] { return WavBuilder().Fmt(k16At8000).Chunk("data", Data(4000)).BuildDeclared(0); }, 3,
         "Cannot find FMT chunk", 0, 0},
        // What a converter writes to a pipe: it cannot seek back to fill in the sizes.
        {"StreamedPlaceholderSizes",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .ChunkDeclared("data", 0xFFFFFFFFu, Data(4000))
                 .BuildDeclared(0xFFFFFFFFu);
         },
         9, "sound data is too big.", 0, 0},
        {"RiffSizeNearFourGigabytes",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .Chunk("data", Data(4000))
                 .BuildDeclared(0xFFFFFFF0u);
         },
         0, nullptr, 2000, 8000},
        {"DataSizeNearFourGigabytes",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .ChunkDeclared("data", 0xFFFFFF00u, Data(64))
                 .BuildDeclared(0xFFFFFFFFu);
         },
         9, "sound data is too big.", 0, 0},
        {"DataSizeLiesWithinLimit",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .ChunkDeclared("data", 7'999'998u, Data(64))
                 .BuildDeclared(0xFFFFFFFFu);
         },
         11, "Failed reading the sound data.", 0, 0},
        {"HugeChunkBeforeData",
         [] {
             return WavBuilder()
                 .Fmt(k16At8000)
                 .ChunkDeclared("junk", 0xFFFFFFF0u, "")
                 .Chunk("data", Data(4000))
                 .BuildDeclared(0xFFFFFFFFu);
         },
         7, "Cannot find data chunk", 0, 0},
        {"ThousandsOfTinyChunks",
         [] {
             std::string tiny;
             for (int i = 0; i < 30000; ++i)
                 tiny += (i & 1) ? "junk" + Le32(1) + std::string("z\0", 2) : "pad " + Le32(0);
             return WavBuilder().Fmt(k16At8000).Raw(tiny).Chunk("data", Data(4000)).Build();
         },
         0, nullptr, 2000, 8000},
    };
}

class WaveLoading : public ::testing::TestWithParam<LoadCase> {};

TEST_P(WaveLoading, CodeMessageAndResult) {
    const LoadCase& c = GetParam();
    test::TempDir dir;
    test::WriteFile(dir.File("in.wav"), c.file());
    // A sound loaded before is gone whatever the new file holds.
    test::WriteFile(dir.File("old.wav"), Wave(k16At8000, 4000));
    SoundData sound;
    test::ScriptedMessages messages;
    ASSERT_EQ(sound.Load(dir.File("old.wav")), 0);

    const std::size_t descriptors = OpenDescriptors();
    if (c.message) messages.Expect(c.message);
    EXPECT_EQ(sound.Load(dir.File("in.wav")), c.code);
    EXPECT_EQ(OpenDescriptors(), descriptors) << "file left open";
    EXPECT_EQ(sound.IsLoaded(), c.code == 0);
    EXPECT_EQ(sound.GetSampleCount(), c.count);
    EXPECT_EQ(sound.GetSampleRate(), c.rate);
    EXPECT_EQ(sound.GetSamples() != nullptr, c.code == 0);
    for (const auto& shown : messages.Shown()) {
        EXPECT_EQ(shown.buttons, MsgButtons::Ok);
        EXPECT_EQ(shown.icon, MsgIcon::Exclamation);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, WaveLoading, ::testing::ValuesIn(LoadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaveLoading_Samples, SixteenBitKeptAndEightBitWidened) {
    test::TempDir dir;
    SoundData sound;
    std::vector<std::int16_t> s16(2000);
    for (std::size_t i = 0; i < s16.size(); ++i) s16[i] = static_cast<std::int16_t>(i * 37 - 32768);
    s16[5] = -32768, s16[6] = 32767;
    test::WriteFile(dir.File("a.wav"), test::MakeWav16(s16, 8000));
    ASSERT_EQ(sound.Load(dir.File("a.wav")), 0);
    EXPECT_EQ(std::vector<std::int16_t>(sound.GetSamples(), sound.GetSamples() + 2000), s16);

    // Enough bytes to span several conversion blocks, so the last ones and the first ones are
    // both checked; every byte value appears.
    std::vector<std::uint8_t> s8(20001);
    for (std::size_t i = 0; i < s8.size(); ++i) s8[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    s8[0] = 0, s8[1] = 128, s8[2] = 255, s8[20000] = 255;
    test::WriteFile(dir.File("b.wav"), test::MakeWav8(s8, 8000));
    ASSERT_EQ(sound.Load(dir.File("b.wav")), 0);
    ASSERT_EQ(sound.GetSampleCount(), 20001);
    EXPECT_EQ(sound.GetSamples()[0], -32768);
    EXPECT_EQ(sound.GetSamples()[1], 0);
    EXPECT_EQ(sound.GetSamples()[2], 32512);
    for (std::size_t i = 0; i < s8.size(); ++i) {
        ASSERT_EQ(sound.GetSamples()[i], (static_cast<int>(s8[i]) - 128) * 256) << "sample " << i;
    }
}

// Paths that are not regular files are refused before anything is read: a FIFO would block the
// reader for ever and /dev/zero would never end.
class WaveLoading_RefusesPath : public ::testing::TestWithParam<const char*> {};

TEST_P(WaveLoading_RefusesPath, WithOpenFailure) {
    test::TempDir dir;
    std::string path = GetParam();
    if (path == "fifo") {
        path = dir.File("fifo");
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (path == "dir") {
        path = dir.Path();
    } else if (path == "missing") {
        path = dir.File("missing.wav");
    }
    SoundData sound;
    test::ScriptedMessages messages;
    messages.Expect("Failed to open file");
    EXPECT_EQ(sound.Load(path), 1);
    EXPECT_FALSE(sound.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(Paths, WaveLoading_RefusesPath,
                         ::testing::Values("fifo", "dir", "missing", "/dev/zero", ""),
                         [](const auto& info) {
                             const std::string p = info.param;
                             return p == "/dev/zero" ? std::string("DevZero")
                                    : p.empty()      ? std::string("EmptyPath")
                                                     : p;
                         });

TEST(WaveLoading_Rejects, FailedAllocationWithItsMessage) {
    test::TempDir dir;
    test::WriteFile(dir.File("a.wav"), Wave(k16At8000, 4000));
    SetSampleAllocator([](std::size_t) -> void* { return nullptr; });
    SoundData sound;
    test::ScriptedMessages messages;
    messages.Expect("Failed getting buffer for sound data");
    EXPECT_EQ(sound.Load(dir.File("a.wav")), 10);
    SetSampleAllocator(nullptr);
    EXPECT_FALSE(sound.IsLoaded());
}

TEST(WaveLoading_Rejects, LyingDataSizeWithoutAllocatingIt) {
    static std::size_t largest = 0;
    SetSampleAllocator([](std::size_t bytes) -> void* {
        largest = std::max(largest, bytes);
        return std::malloc(bytes);
    });
    const std::string file = WavBuilder()
                                 .Fmt(k16At8000)
                                 .ChunkDeclared("data", 7'000'000u, Data(100))
                                 .BuildDeclared(0xFFFFFFFFu);
    RiffReader reader;
    reader.OpenMemory(file.data(), file.size());
    const WaveReadResult r = ReadWave(reader);
    SetSampleAllocator(nullptr);
    EXPECT_EQ(r.code, 11);
    EXPECT_EQ(largest, 0u);
}

}  // namespace
}  // namespace vokra

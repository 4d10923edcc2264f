// Importing recordings the loader refuses: every container and sample format libsndfile writes,
// the rate rule at its edges, the mix-down, and the refusals that must keep their meaning.
#include "sound/import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/riff_reader.h"
#include "sound/wave_reader.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {
void PrintTo(const SoundSeed& s, std::ostream* os) {
    *os << s.name;
}
}  // namespace vokra::test

namespace vokra {
namespace {

std::int32_t Peak(const std::vector<std::int16_t>& samples) {
    std::int32_t peak = 0;
    for (const std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

double Rms(const std::vector<std::int16_t>& samples) {
    double sum = 0.0;
    for (const std::int16_t s : samples) sum += static_cast<double>(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
}

class Import_Formats : public ::testing::TestWithParam<test::SoundSeed> {};

TEST_P(Import_Formats, GivesWhatTheLoaderTakesAtTheRulesRate) {
    const test::SoundSeed& f = GetParam();
    test::TempDir dir;
    const std::string path = dir.File("in");
    const double seconds = 1.5;
    const auto frames = static_cast<std::int64_t>(seconds * f.rate);
    ASSERT_TRUE(test::WriteSoundFile(path, f.format, f.rate, f.channels, frames,
                                     test::Tone(440.0, f.rate, 0.5f)));

    const ImportResult r = ImportSound(path);
    ASSERT_EQ(r.status, ImportStatus::Ok) << r.message;
    EXPECT_EQ(r.info.channels, f.channels);
    EXPECT_EQ(r.rate, PlanImportRate(f.rate, r.info.frames).rate);
    // Lossy encoders may pad the end; the length follows what the file says it holds.
    EXPECT_NEAR(static_cast<double>(r.samples.size()),
                static_cast<double>(r.info.frames) * r.rate / f.rate, 1.0);
    EXPECT_NEAR(static_cast<double>(r.samples.size()), seconds * r.rate, 0.05 * r.rate);
    // Identical channels average to the same tone: half of full scale (lossy coders overshoot
    // at the start, so its power is compared).
    EXPECT_NEAR(Rms(r.samples), 16384 / std::sqrt(2.0), 16384 * 0.07);

    const std::string wave = MakeWaveBytes(r.samples, r.rate);
    RiffReader reader;
    reader.OpenMemory(wave.data(), wave.size());
    WaveReadResult loaded = ReadWave(reader);
    EXPECT_EQ(loaded.code, 0) << (loaded.message ? loaded.message : "");
    EXPECT_EQ(loaded.sampleCount, static_cast<std::int32_t>(r.samples.size()));
    EXPECT_EQ(loaded.sampleRate, r.rate);
    std::free(loaded.samples);
}

INSTANTIATE_TEST_SUITE_P(Table, Import_Formats, ::testing::ValuesIn(test::SoundSeedFormats()),
                         [](const auto& info) { return info.param.name; });

struct RateCase {
    const char* name;
    std::int32_t sourceRate;
    std::int64_t frames;
    std::int32_t rate;  // 0: refused
};

class ImportRate_Rule : public ::testing::TestWithParam<RateCase> {};

TEST_P(ImportRate_Rule, PicksTheRateOrRefuses) {
    const RateCase& c = GetParam();
    const RatePlan plan = PlanImportRate(c.sourceRate, c.frames);
    EXPECT_EQ(plan.fits, c.rate != 0);
    if (c.rate != 0) {
        EXPECT_EQ(plan.rate, c.rate);
        EXPECT_LE(plan.samples, kMaxImportSamples);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImportRate_Rule,
    ::testing::Values(
        RateCase{"Lowest", 4000, 4000, 4000}, RateCase{"BelowLowest", 3999, 3999, 8000},
        RateCase{"Highest", 44100, 44100, 44100}, RateCase{"AboveHighest", 44101, 44101, 44100},
        RateCase{"Odd", 37800, 37800, 37800}, RateCase{"FullAt44100", 44100, 4'000'000, 44100},
        RateCase{"OneOverAt44100", 44100, 4'000'001, 32000},
        RateCase{"Steps", 48000, 48000 * 200, 16000},
        RateCase{"SlowSourceStepsToo", 22050, 22050 * 300, 11025},
        RateCase{"LongestAt8000", 48000, 48000 * 500, 8000},
        RateCase{"TooLongAt8000", 48000, 48000 * 501, 0},
        RateCase{"SlowButLong", 8000, 8000 * 501, 0},
        RateCase{"SlowerThanLowestStays8000", 2000, 2000 * 500, 8000}),
    [](const auto& info) { return std::string(info.param.name); });

struct MixCase {
    const char* name;
    std::int32_t channel;
    double peak;  // of full scale
};

class Import_MixDown : public ::testing::TestWithParam<MixCase> {};

TEST_P(Import_MixDown, LeftOnlyToneHalvesWhenMixed) {
    const MixCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File("left.wav");
    const auto tone = test::Tone(300.0, 44100, 0.8f);
    ASSERT_TRUE(
        test::WriteSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44100,
                             [&](std::int64_t i, int ch) { return ch == 0 ? tone(i, 0) : 0.0f; }));
    ImportOptions options;
    options.channel = c.channel;
    const ImportResult r = ImportSound(path, options);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_NEAR(Peak(r.samples), c.peak * 32768, 40);
}

INSTANTIATE_TEST_SUITE_P(Table, Import_MixDown,
                         ::testing::Values(MixCase{"Mix", 0, 0.4}, MixCase{"Left", 1, 0.8},
                                           MixCase{"Right", 2, 0.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Import_Samples, SixteenBitSourcesStayExactAndFinerOnesAreDithered) {
    test::TempDir dir;
    const auto value = [](std::int64_t i, int) {
        return static_cast<float>((i * 37) % 20001 - 10000) / 32768.0f;
    };
    ASSERT_TRUE(test::WriteSoundFile(dir.File("16.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2,
                                     22050, value));
    ASSERT_TRUE(test::WriteSoundFile(dir.File("24.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050, 1,
                                     22050, value));
    const ImportResult exact = ImportSound(dir.File("16.wav"));
    const ImportResult dithered = ImportSound(dir.File("24.wav"));
    ASSERT_TRUE(exact.ok() && dithered.ok());
    ASSERT_EQ(exact.samples.size(), 22050u);
    ASSERT_EQ(dithered.samples.size(), 22050u);
    int changed = 0;
    for (std::int64_t i = 0; i < 22050; ++i) {
        const int want = static_cast<int>((i * 37) % 20001 - 10000);
        EXPECT_EQ(exact.samples[i], want) << i;
        EXPECT_LE(std::abs(dithered.samples[i] - want), 1) << i;
        changed += dithered.samples[i] != want;
    }
    EXPECT_GT(changed, 22050 / 8);  // a quarter of them, with triangular noise of (-1, 1)
    // The same file always gives the same bytes.
    EXPECT_EQ(ImportSound(dir.File("24.wav")).samples, dithered.samples);
}

struct RefusalCase {
    const char* name;
    std::function<std::string(const test::TempDir&)> make;  // the input's path
    ImportOptions options;
    ImportStatus status;
    std::vector<std::string> says;
};

class Import_Refuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Import_Refuses, WithTheRightStatusAndReason) {
    const RefusalCase& c = GetParam();
    test::TempDir dir;
    const ImportResult r = ImportSound(c.make(dir), c.options);
    EXPECT_EQ(r.status, c.status) << r.message;
    EXPECT_TRUE(r.samples.empty());
    for (const std::string& s : c.says)
        EXPECT_NE(r.message.find(s), std::string::npos) << r.message;
}

std::string Written(const test::TempDir& dir, int format, int rate, int channels,
                    std::int64_t frames) {
    const std::string path = dir.File("in.snd");
    test::WriteSoundFile(path, format, rate, channels, frames, test::Tone(200, rate));
    return path;
}

ImportOptions Channel(std::int32_t channel) {
    ImportOptions o;
    o.channel = channel;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Import_Refuses,
    ::testing::Values(
        RefusalCase{"Text",
                    [](const test::TempDir& d) {
                        test::WriteFile(d.File("t.wav"), "not a sound at all");
                        return d.File("t.wav");
                    },
                    {},
                    ImportStatus::Unreadable,
                    {}},
        // A FIFO with no writer would block an ordinary open for ever.
        RefusalCase{"Fifo",
                    [](const test::TempDir& d) {
                        ::mkfifo(d.File("fifo").c_str(), 0600);
                        return d.File("fifo");
                    },
                    {},
                    ImportStatus::Unreadable,
                    {}},
        RefusalCase{"Empty",
                    [](const test::TempDir& d) {
                        return Written(d, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 0);
                    },
                    {},
                    ImportStatus::TooShort,
                    {}},
        RefusalCase{"TooShort",
                    [](const test::TempDir& d) {
                        return Written(d, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 11000);
                    },
                    {},
                    ImportStatus::TooShort,
                    {}},
        RefusalCase{"TooLong",
                    [](const test::TempDir& d) {
                        return Written(d, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 8000 * 501);
                    },
                    {},
                    ImportStatus::TooLong,
                    {"in.snd", "501.0 s", "4,000,000", "500 s"}},
        RefusalCase{"RateTooHighForLength",
                    [](const test::TempDir& d) {
                        return Written(d, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 8000 * 100);
                    },
                    [] {
                        ImportOptions o;
                        o.rate = 44100;
                        return o;
                    }(),
                    ImportStatus::TooLong,
                    {"4,410,000", "44100 Hz"}},
        RefusalCase{"NoSuchChannel",
                    [](const test::TempDir& d) {
                        return Written(d, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 48000);
                    },
                    Channel(3),
                    ImportStatus::BadOption,
                    {"2 channels", "no channel 3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Import_Refuses, ATruncatedFileConvertsWhatItHolds) {
    test::TempDir dir;
    const std::string path = Written(dir, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 96000);
    std::string bytes = test::ReadFile(path);
    bytes.resize(bytes.size() / 2);
    test::WriteFile(path, bytes);
    const ImportResult r = ImportSound(path);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_NEAR(static_cast<double>(r.samples.size()), 44100.0, 10.0);
}

TEST(Import_Names, CopyPathAndPatterns) {
    EXPECT_EQ(ConvertedCopyPath("/a/voice.flac"), "/a/voice-vokra.wav");
    EXPECT_EQ(ConvertedCopyPath("/a.b/voice"), "/a.b/voice-vokra.wav");
    EXPECT_EQ(ConvertedCopyPath("/a/.hidden"), "/a/.hidden-vokra.wav");
    const std::string patterns = ReadableSoundPatterns();
    for (const char* e : {"*.wav;", "*.flac", "*.ogg", "*.mp3", "*.aiff"}) {
        EXPECT_NE(patterns.find(e), std::string::npos) << patterns;
    }
    EXPECT_EQ(patterns.find("*.raw"), std::string::npos);
}

}  // namespace
}  // namespace vokra

namespace vokra {
namespace {

// Every input the converter's fuzzer kept or crashed on is converted once more here, so that a
// fixed fault stays fixed.
class ImportCorpus_Replays : public ::testing::TestWithParam<std::string> {};

TEST_P(ImportCorpus_Replays, RefusesOrGivesALoadableSound) {
    const std::string bytes = test::ReadFile(GetParam());
    const ImportResult r = ImportSoundBytes(bytes.data(), bytes.size());
    if (!r.ok()) return;
    const std::string wave = MakeWaveBytes(r.samples, r.rate);
    RiffReader reader;
    reader.OpenMemory(wave.data(), wave.size());
    WaveReadResult loaded = ReadWave(reader);
    EXPECT_EQ(loaded.code, 0);
    std::free(loaded.samples);
}

std::vector<std::string> ImportInputs() {
    namespace fs = std::filesystem;
    const fs::path root = VOKRA_FUZZ_DIR;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(root / "corpus" / "import", ec)) {
        files.push_back(e.path().string());
    }
    for (const auto& e : fs::directory_iterator(root / "crashers", ec)) {
        if (e.path().filename().string().rfind("import", 0) == 0)
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Kept, ImportCorpus_Replays, ::testing::ValuesIn(ImportInputs()),
                         [](const auto& info) {
                             std::string name = std::filesystem::path(info.param).filename();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name + "_" + std::to_string(info.index);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ImportCorpus_Replays);

}  // namespace
}  // namespace vokra

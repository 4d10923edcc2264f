// Every input the loader's fuzzer keeps (its corpus, the crashers it found, the seeds) is loaded
// once more here, so a fixed fault stays fixed in the ordinary suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/riff_reader.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "sound/wave_reader.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {
void PrintTo(const NamedBytes& b, std::ostream* os) {
    *os << b.name;
}
}  // namespace vokra::test

namespace vokra {
namespace {

std::vector<test::NamedBytes> Inputs() {
    std::vector<test::NamedBytes> inputs = test::WaveSeeds();
    namespace fs = std::filesystem;
    const fs::path root = VOKRA_FUZZ_DIR;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::path& dir : {root / "corpus" / "wave", root / "crashers"}) {
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() &&
                (dir.filename() != "crashers" || name.rfind("wave", 0) == 0)) {
                files.push_back(e.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::string name = f.parent_path().filename().string() + "_" + f.filename().string();
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        inputs.push_back({name, test::ReadFile(f.string())});
    }
    return inputs;
}

class WaveCorpus_Replays : public ::testing::TestWithParam<test::NamedBytes> {};

TEST_P(WaveCorpus_Replays, SameVerdictFromFileAndMemory) {
    const std::string& bytes = GetParam().bytes;
    RiffReader memory;
    memory.OpenMemory(bytes.data(), bytes.size());
    WaveReadResult fromMemory = ReadWave(memory);
    std::free(fromMemory.samples);

    test::TempDir dir;
    test::WriteFile(dir.File("in.wav"), bytes);
    test::ScriptedMessages messages;
    messages.AllowAny();
    SoundData sound;
    const std::int32_t code = sound.Load(dir.File("in.wav"));
    EXPECT_EQ(code, fromMemory.code);
    EXPECT_GE(code, 0);
    EXPECT_LE(code, 11);
    EXPECT_EQ(messages.Shown().size(), code == 0 ? 0u : 1u);
    EXPECT_EQ(sound.IsLoaded(), code == 0);
    if (code == 0) {
        EXPECT_EQ(sound.GetSampleCount(), fromMemory.sampleCount);
        EXPECT_GE(sound.GetSampleRate(), 4000);
        EXPECT_LE(sound.GetSampleRate(), 44100);
        ComputeMaxAmplitude(sound, 100);
        EXPECT_GE(g_maxAmplitude, 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, WaveCorpus_Replays, ::testing::ValuesIn(Inputs()),
                         [](const auto& info) { return info.param.name; });

// The seeds are meant to reach every verdict of the loader; a seed list that lost one would make
// the fuzzer start blind to it.
TEST(WaveCorpus_Seeds, ReachEveryVerdictButOpenAndAllocation) {
    std::set<std::int32_t> codes;
    for (const auto& seed : test::WaveSeeds()) {
        RiffReader reader;
        reader.OpenMemory(seed.bytes.data(), seed.bytes.size());
        WaveReadResult r = ReadWave(reader);
        std::free(r.samples);
        codes.insert(r.code);
    }
    EXPECT_EQ(codes, (std::set<std::int32_t>{0, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
}

}  // namespace
}  // namespace vokra

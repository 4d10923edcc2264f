#include "platform/riff_reader.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using test::Le32;
using test::WavBuilder;

// One reader call: 'R' find the RIFF chunk of form `id`, 'C' find chunk `id` inside the last RIFF
// found, 'A' ascend out of the last chunk found, 'r' read `arg` bytes. `expect` is the position
// after R/C/A (-1: not found) or the byte count a read delivers.
struct Step {
    char op;
    const char* id;
    std::int64_t arg;
    std::int64_t expect;
};

struct WalkCase {
    const char* name;
    std::string file;
    std::vector<Step> steps;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

std::uint32_t Id(const char* s) {
    return MakeFourCC(s[0], s[1], s[2], s[3]);
}

std::string TinyChunks(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "junk" + Le32(0);
    return s;
}

const std::string kFmt16(16, 'f');

std::vector<WalkCase> WalkCases() {
    return {
        {"FindsChunksInOrder",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcd").Build(),
         {{'R', "WAVE", 0, 12},
          {'C', "fmt ", 0, 20},
          {'A', "", 0, 36},
          {'C', "data", 0, 44},
          {'r', "", 10, 4}}},
        {"SearchesForwardOnly",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcd").Build(),
         {{'R', "WAVE", 0, 12}, {'C', "data", 0, 44}, {'C', "fmt ", 0, -1}}},
        {"AscendSkipsPadByte",
         WavBuilder().Chunk("odd ", "xyz").Chunk("data", "abcd").Build(),
         {{'R', "WAVE", 0, 12}, {'C', "odd ", 0, 20}, {'A', "", 0, 24}, {'C', "data", 0, 32}}},
        {"MissingPadByteMisalignsNextHeader",
         WavBuilder().Chunk("odd ", "xyz", false).Chunk("data", std::string(4, '\0')).Build(),
         {{'R', "WAVE", 0, 12}, {'C', "odd ", 0, 20}, {'A', "", 0, 24}, {'C', "data", 0, -1}}},
        // A child is found by where its header starts; its size is the caller's to judge.
        {"ChunkRunningPastParentFound",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcdefgh").BuildDeclared(4 + 24 + 12),
         {{'R', "WAVE", 0, 12}, {'C', "data", 0, 44}, {'r', "", 8, 8}}},
        {"HeaderStraddlingParentEndFound",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcd").BuildDeclared(4 + 24 + 4),
         {{'R', "WAVE", 0, 12}, {'C', "data", 0, 44}}},
        {"HeaderAtParentEndNotFound",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcd").BuildDeclared(4 + 24),
         {{'R', "WAVE", 0, 12}, {'C', "fmt ", 0, 20}, {'A', "", 0, 36}, {'C', "data", 0, -1}}},
        {"RiffSizeZeroHoldsNothing",
         WavBuilder().Chunk("fmt ", kFmt16).Chunk("data", "abcd").BuildDeclared(0),
         {{'R', "WAVE", 0, 12}, {'C', "fmt ", 0, -1}}},
        {"HugeSkipDoesNotWrap",
         WavBuilder()
             .ChunkDeclared("junk", 0xFFFFFFFFu, "")
             .Chunk("data", "abcd")
             .BuildDeclared(0xFFFFFFFFu),
         {{'R', "WAVE", 0, 12}, {'C', "data", 0, -1}}},
        {"AscendBeyondFourGigabytes",
         WavBuilder().ChunkDeclared("big ", 0xFFFFFFE1u, "abcd").BuildDeclared(0xFFFFFFFFu),
         {{'R', "WAVE", 0, 12},
          {'C', "big ", 0, 20},
          {'r', "", 8, 4},
          {'A', "", 0, 20 + 0xFFFFFFE2LL},
          {'r', "", 4, 0}}},
        {"SkipsRiffOfOtherForm",
         WavBuilder().Chunk("data", "ab").Build("AVI ") + WavBuilder().Chunk("data", "cd").Build(),
         {{'R', "WAVE", 0, 22 + 12}, {'C', "data", 0, 22 + 20}, {'r', "", 2, 2}}},
        {"RiffTooSmallForFormTypeStillFound", "RIFF" + Le32(2) + "WAVE", {{'R', "WAVE", 0, 12}}},
        {"NotRiff", "RIFX" + Le32(4) + "WAVE", {{'R', "WAVE", 0, -1}}},
        {"EmptyFile", "", {{'R', "WAVE", 0, -1}}},
        {"ThousandsOfTinyChunks",
         WavBuilder().Raw(TinyChunks(20000)).Chunk("data", "abcd").Build(),
         {{'R', "WAVE", 0, 12}, {'C', "data", 0, 12 + 20000 * 8 + 8}, {'r', "", 4, 4}}},
    };
}

class RiffReader_Walks : public ::testing::TestWithParam<std::tuple<WalkCase, bool>> {};

TEST_P(RiffReader_Walks, FromFileAndMemoryAlike) {
    const auto& [c, fromFile] = GetParam();
    test::TempDir dir;
    RiffReader reader;
    if (fromFile) {
        test::WriteFile(dir.File("walk.riff"), c.file);
        ASSERT_TRUE(reader.Open(dir.File("walk.riff")));
    } else {
        ASSERT_TRUE(reader.OpenMemory(c.file.data(), c.file.size()));
    }
    RiffChunk riff, chunk;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i << " '" << s.op << "' " << s.id);
        std::int64_t got = -1;
        if (s.op == 'R') {
            if (reader.DescendRiff(riff, Id(s.id)))
                got = static_cast<std::int64_t>(reader.Position());
        } else if (s.op == 'C') {
            if (reader.DescendChunk(chunk, Id(s.id), riff)) {
                got = static_cast<std::int64_t>(reader.Position());
                EXPECT_EQ(chunk.ckid, Id(s.id));
            }
        } else if (s.op == 'A') {
            if (reader.Ascend(chunk)) got = static_cast<std::int64_t>(reader.Position());
        } else {
            std::string buffer(static_cast<std::size_t>(s.arg), '\0');
            got = reader.Read(buffer.data(), s.arg);
        }
        EXPECT_EQ(got, s.expect);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RiffReader_Walks,
                         ::testing::Combine(::testing::ValuesIn(WalkCases()), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_File" : "_Memory");
                         });

TEST(RiffReader_Reads, LargeReadMatchesFileAcrossBufferBoundary) {
    test::TempDir dir;
    std::string bytes(100000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + i / 251);
    test::WriteFile(dir.File("big"), bytes);
    RiffReader reader;
    ASSERT_TRUE(reader.Open(dir.File("big")));
    std::string head(7, '\0'), rest(bytes.size(), '\0');
    ASSERT_EQ(reader.Read(head.data(), 7), 7);  // fills the small-read buffer
    ASSERT_EQ(reader.Read(rest.data(), 99999), 99993);
    EXPECT_EQ(head + rest.substr(0, 99993), bytes);
    EXPECT_EQ(reader.Remaining(), 0u);
}

}  // namespace
}  // namespace vokra

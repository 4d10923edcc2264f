#include "platform/archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vokra {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// --- The string form: which prefix each length gets, and that it reads back.

struct PrefixCase {
    std::size_t length;
    std::string prefix;
};

class Archive_StringPrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(Archive_StringPrefix, WritesThePrefixAndReadsBack) {
    const PrefixCase& c = GetParam();
    std::string text(c.length, 'x');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    Archive out;
    out.WriteString(text);
    out.WriteInt32(0x5A5A5A5A);  // something after it, to catch a misplaced end
    ASSERT_EQ(out.Bytes().size(), c.prefix.size() + c.length + 4);
    EXPECT_EQ(out.Bytes().substr(0, c.prefix.size()), c.prefix);

    Archive in(out.Bytes());
    std::string back;
    std::int32_t tail = 0;
    EXPECT_TRUE(in.ReadString(back));
    EXPECT_TRUE(in.ReadInt32(tail));
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(back, text);
    EXPECT_EQ(tail, 0x5A5A5A5A);
    EXPECT_EQ(in.Remaining(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Archive_StringPrefix,
    ::testing::Values(PrefixCase{0, Bytes({0x00})}, PrefixCase{1, Bytes({0x01})},
                      PrefixCase{42, Bytes({0x2A})}, PrefixCase{254, Bytes({0xFE})},
                      PrefixCase{255, Bytes({0xFF, 0xFF, 0x00})},
                      PrefixCase{300, Bytes({0xFF, 0x2C, 0x01})},
                      PrefixCase{65533, Bytes({0xFF, 0xFD, 0xFF})},
                      PrefixCase{65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
                      PrefixCase{65535, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
                      PrefixCase{65536, Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})}),
    [](const auto& info) { return "len" + std::to_string(info.param.length); });

// --- Hostile string prefixes: refused as the end of the file, nothing allocated for them.

struct HostileCase {
    const char* name;
    std::string bytes;
};

class Archive_RejectsString : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Archive_RejectsString, AsEndOfFile) {
    Archive in(GetParam().bytes);
    std::string s = "previous";
    EXPECT_FALSE(in.ReadString(s));
    EXPECT_EQ(in.Error(), ArchiveError::EndOfFile);
    EXPECT_TRUE(s.empty());
    EXPECT_LT(s.capacity(), 64u);  // no buffer for the claimed length
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Archive_RejectsString,
    ::testing::Values(
        HostileCase{"empty", ""}, HostileCase{"short_one_byte_length", Bytes({5, 'a', 'b'})},
        HostileCase{"truncated_word", Bytes({0xFF, 0x10})},
        HostileCase{"short_word_length", Bytes({0xFF, 0x00, 0x01, 'a'})},
        HostileCase{"wide_marker", Bytes({0xFF, 0xFE, 0xFF, 0x02, 'a', 'b'})},
        HostileCase{"truncated_dword", Bytes({0xFF, 0xFF, 0xFF, 0x01, 0x00})},
        HostileCase{"four_gigabytes", Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a'})},
        HostileCase{"sixty_four_bit_escape",
                    Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0})}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Numbers.

TEST(Archive_Numbers, AreLittleEndian) {
    Archive out;
    out.WriteInt32(-2);
    out.WriteUInt16(0x0102);
    out.WriteUInt32(0x01020304);
    out.WriteFloat(1.0f);
    out.WriteDouble(15.0);
    EXPECT_EQ(out.Bytes(),
              Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 0x04, 0x03, 0x02, 0x01, 0x00,
                     0x00, 0x80, 0x3F, 0,    0,    0,    0,    0,    0,    0x2E, 0x40}));
    Archive in(out.Bytes());
    std::int32_t i = 0;
    std::uint16_t w = 0;
    std::uint32_t d = 0;
    float f = 0;
    double g = 0;
    EXPECT_TRUE(in.ReadInt32(i) && in.ReadUInt16(w) && in.ReadUInt32(d) && in.ReadFloat(f) &&
                in.ReadDouble(g));
    EXPECT_EQ(i, -2);
    EXPECT_EQ(w, 0x0102);
    EXPECT_EQ(d, 0x01020304u);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(g, 15.0);
}

TEST(Archive_Numbers, NotANumberKeepsItsBits) {
    Archive out;
    out.WriteDouble(std::nan(""));
    Archive in(out.Bytes());
    double v = 0;
    EXPECT_TRUE(in.ReadDouble(v));
    EXPECT_TRUE(std::isnan(v));
}

TEST(Archive_Numbers, ReadsPastTheEndYieldZerosAndStayFailed) {
    Archive in(Bytes({1, 2, 3}));
    std::int32_t v = 99;
    EXPECT_FALSE(in.ReadInt32(v));
    EXPECT_EQ(v, 0);
    EXPECT_EQ(in.Error(), ArchiveError::EndOfFile);
    // Once failed, even bytes that are there are not read any more.
    std::uint16_t w = 99;
    EXPECT_FALSE(in.ReadUInt16(w));
    EXPECT_EQ(w, 0);
}

TEST(Archive_Numbers, FirstFailureIsTheOneKept) {
    Archive in(Bytes({}));
    in.Fail(ArchiveError::Generic);
    std::int32_t v = 0;
    in.ReadInt32(v);
    EXPECT_EQ(in.Error(), ArchiveError::Generic);
}

}  // namespace
}  // namespace vokra

#include <gtest/gtest.h>

#include <ostream>

#include "platform/qt/ddx.h"

namespace vokra {
namespace {

struct IntCase {
    const char* text;
    bool ok;
    long long value;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class Ddx_ParseLeadingInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(Ddx_ParseLeadingInt, ReadsLeadingDigits) {
    long long v = -99;
    EXPECT_EQ(ParseLeadingInt(GetParam().text, v), GetParam().ok) << GetParam().text;
    if (GetParam().ok) {
        EXPECT_EQ(v, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Ddx_ParseLeadingInt,
                         ::testing::Values(IntCase{"12", true, 12}, IntCase{"  -7", true, -7},
                                           IntCase{"+5x", true, 5}, IntCase{"", false, 0},
                                           IntCase{"abc", false, 0}, IntCase{"-", false, 0},
                                           IntCase{"99999999999999999999", true, 9999999999999LL}));

TEST(Ddx_Double, ParsesLocaleFreeAndRejectsJunk) {
    double v = 0;
    EXPECT_TRUE(ParseDouble(" 29.97 ", v));
    EXPECT_DOUBLE_EQ(v, 29.97);
    EXPECT_FALSE(ParseDouble("29,97", v));
    EXPECT_FALSE(ParseDouble("abc", v));
    EXPECT_FALSE(ParseDouble("", v));
    EXPECT_FALSE(ParseDouble("nan", v));
}

TEST(Ddx_Double, FormatsWithFifteenDigitsNoTrailingZeros) {
    EXPECT_EQ(FormatDouble15(15.0), "15");
    EXPECT_EQ(FormatDouble15(29.97), "29.97");
    EXPECT_EQ(FormatDouble15(14.985), "14.985");
    EXPECT_EQ(FormatDouble15(100.0), "100");
}

}  // namespace
}  // namespace vokra

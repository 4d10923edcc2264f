// The steps of the shape chain after the guess: the lead and the rig's shape set, and the chain
// itself running them in order after whatever source gives the first shapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shapes/shape_estimator.h"
#include "shapes/shape_lead.h"
#include "shapes/shape_set.h"
#include "tests/shapes/shape_letters.h"

namespace vokra {
namespace {

using test::Letters;
using test::Shapes;

struct LeadCase {
    const char* name;
    const char* in;
    std::int32_t ms;
    const char* out;
};

class ShapeLead_Shift : public ::testing::TestWithParam<LeadCase> {};

TEST_P(ShapeLead_Shift, MovesShapesEarlierAndRestsAtTheEnd) {
    auto shapes = Shapes(GetParam().in);
    ApplyShapeLead(shapes, GetParam().ms);
    EXPECT_EQ(Letters(shapes), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShapeLead_Shift,
    ::testing::Values(LeadCase{"None", "XXBBBCCCXX", 0, "XXBBBCCCXX"},
                      LeadCase{"BelowHalfAWindow", "XXBBBCCCXX", 4, "XXBBBCCCXX"},
                      LeadCase{"HalfAWindowRoundsUp", "XXBBBCCCXX", 5, "XBBBCCCXXX"},
                      LeadCase{"OneWindow", "XXBBBCCCXX", 10, "XBBBCCCXXX"},
                      // A frame at 24 fps (41.7 ms) is four windows.
                      LeadCase{"OneFilmFrame", "XXXXXAAADDDD", 42, "XAAADDDDXXXX"},
                      LeadCase{"SpeechToTheEndRestsAtTheEnd", "XXBBBB", 20, "BBBBXX"},
                      LeadCase{"SpeechFromTheStartLosesItsHead", "CCCBBXXX", 10, "CCBBXXXX"},
                      LeadCase{"AsLongAsTheSound", "XBBC", 40, "XXXX"},
                      LeadCase{"LongerThanTheSound", "BBB", 500, "XXX"},
                      LeadCase{"Negative", "XBBC", -30, "XBBC"}, LeadCase{"Empty", "", 100, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct SetCase {
    const char* letters;  // as --extended-shapes takes them
    const char* out;      // the nine mouths A-H, X as that rig draws them
};

class ShapeSet_Subsets : public ::testing::TestWithParam<SetCase> {};

TEST_P(ShapeSet_Subsets, MouthsTheRigLacksBecomeTheirBasicMouth) {
    const std::optional<ShapeSet> set = ParseShapeSet(GetParam().letters);
    ASSERT_TRUE(set);
    auto shapes = Shapes("ABCDEFGHX");
    ApplyShapeSet(shapes, *set);
    EXPECT_EQ(Letters(shapes), GetParam().out);
    // The letters written back read as the same set.
    EXPECT_EQ(ParseShapeSet(ShapeSetLetters(*set)), set);
}

INSTANTIATE_TEST_SUITE_P(Table, ShapeSet_Subsets,
                         ::testing::Values(SetCase{"GHX", "ABCDEFGHX"}, SetCase{"GH", "ABCDEFGHA"},
                                           SetCase{"GX", "ABCDEFGCX"}, SetCase{"HX", "ABCDEFAHX"},
                                           SetCase{"G", "ABCDEFGCA"}, SetCase{"H", "ABCDEFAHA"},
                                           SetCase{"X", "ABCDEFACX"}, SetCase{"", "ABCDEFACA"},
                                           // Any order, either case, a letter twice.
                                           SetCase{"xhg", "ABCDEFGHX"}, SetCase{"GG", "ABCDEFGCA"}),
                         [](const auto& info) {
                             const std::string letters = info.param.letters;
                             return letters.empty() ? std::string("BasicSix")
                                                    : "Set" + std::to_string(info.index) + letters;
                         });

TEST(ShapeSet_Subsets, OtherLettersAreRefused) {
    for (const char* bad : {"A", "GHXA", "GHZ", "G,H", " G", "GH\n", "\xC3\xA9"}) {
        EXPECT_FALSE(ParseShapeSet(bad)) << bad;
    }
}

// A source that gives fixed shapes, standing where the guess or the alignment stands.
class FixedShapes final : public ShapeSource {
public:
    explicit FixedShapes(std::string letters) : letters_(std::move(letters)) {}
    std::vector<MouthShape> WindowShapes(const std::int16_t*, std::int32_t,
                                         std::int32_t) const override {
        return Shapes(letters_);
    }

private:
    std::string letters_;
};

// Timing first (the short G joins the rest before it, the closure starts early), then the lead,
// then the rig's set: a rig without H or X gets the led, timed shapes with C and A in their places.
TEST(ShapeChain_Order, TimingThenLeadThenShapeSet) {
    const FixedShapes source("XXXXXXGCCCCAAAHHHHXXXXXX");
    ShapeOptions options;
    EXPECT_EQ(Letters(GuessShapes(source, nullptr, 0, 100, options)), "XXXXXXXCCCAAAAHHHHXXXXXX");
    options.leadMs = 20;
    EXPECT_EQ(Letters(GuessShapes(source, nullptr, 0, 100, options)), "XXXXXCCCAAAAHHHHXXXXXXXX");
    options.extended = *ParseShapeSet("G");
    EXPECT_EQ(Letters(GuessShapes(source, nullptr, 0, 100, options)), "AAAAACCCAAAACCCCAAAAAAAA");
}

}  // namespace
}  // namespace vokra

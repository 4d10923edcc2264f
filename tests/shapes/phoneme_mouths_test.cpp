// The training labels: each engine's phone names to the nine mouths by the same classes.
#include "shapes/phoneme_mouths.h"

#include <gtest/gtest.h>

#include <string>

#include "shapes/training/festival_mouths.h"

namespace vokra {
namespace {

struct PhoneCase {
    const char* name;
    const char* set;  // "espeak" or a Festival phone set
    const char* phone;
    char mouth;
};

class PhoneMouths_Table : public ::testing::TestWithParam<PhoneCase> {};

TEST_P(PhoneMouths_Table, GivesTheClassesMouth) {
    const auto& c = GetParam();
    MouthShape shape;
    if (std::string(c.set) == "espeak") {
        shape = MouthOfEspeakPhoneme(c.phone);
    } else {
        const auto set = FestivalPhoneSetNamed(c.set);
        ASSERT_TRUE(set);
        shape = MouthOfFestivalPhone(*set, c.phone);
    }
    EXPECT_EQ(MouthShapeLetter(shape), c.mouth);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PhoneMouths_Table,
    ::testing::Values(
        // Open back vowels are wide open, the rounded open o slightly rounded.
        PhoneCase{"EspeakBobbyVowel", "espeak", "0", 'D'},
        PhoneCase{"EspeakFatherVowel", "espeak", "A:", 'D'},
        PhoneCase{"EspeakThoughtVowel", "espeak", "O:", 'E'},
        PhoneCase{"EspeakNurseVowel", "espeak", "3:", 'E'},
        PhoneCase{"EspeakGoatDiphthong", "espeak", "@U", 'F'},
        PhoneCase{"EspeakPause", "espeak", "_:", 'X'},
        PhoneCase{"EnglishBobbyVowel", "english", "aa", 'D'},
        PhoneCase{"EnglishThoughtVowel", "english", "ao", 'E'},
        PhoneCase{"EnglishNurseVowel", "english", "er", 'E'},
        PhoneCase{"EnglishTrapVowel", "english", "ae", 'C'},
        PhoneCase{"EnglishFleeceVowel", "english", "iy", 'B'},
        PhoneCase{"EnglishClosure", "english", "p", 'A'},
        PhoneCase{"EnglishSyllabicL", "english", "el", 'H'},
        PhoneCase{"EnglishPause", "english", "pau", 'X'},
        PhoneCase{"CzechLongA", "czech", "a:", 'D'}, PhoneCase{"CzechLongO", "czech", "o:", 'F'},
        PhoneCase{"CzechPause", "czech", "#", 'X'}, PhoneCase{"CzechTrill", "czech", "r~", 'B'},
        PhoneCase{"CzechLipTeeth", "czech", "v", 'G'},
        PhoneCase{"FinnishFrontA", "finnish", "@", 'C'},
        PhoneCase{"FinnishFrontO", "finnish", "7", 'E'},
        PhoneCase{"FinnishLongY", "finnish", "y:", 'F'},
        PhoneCase{"ItalianStressedOpenO", "italian", "O1", 'E'},
        PhoneCase{"ItalianStressedA", "italian", "a1", 'D'},
        PhoneCase{"ItalianClosedO", "italian", "o1", 'F'},
        PhoneCase{"ItalianPalatalL", "italian", "L", 'H'},
        PhoneCase{"CatalanSchwa", "catalan", "ax", 'C'},
        PhoneCase{"CatalanTrill", "catalan", "rr", 'B'},
        PhoneCase{"CatalanOpenO", "catalan", "O1", 'E'},
        PhoneCase{"IndicShortA", "indic", "a", 'C'}, PhoneCase{"IndicLongA", "indic", "aa", 'D'},
        PhoneCase{"IndicAspiratedB", "indic", "bh", 'A'}, PhoneCase{"IndicV", "indic", "v", 'G'},
        PhoneCase{"IndicAu", "indic", "aw", 'E'}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhoneMouths_Table, UnknownPhoneSetIsRefused) {
    EXPECT_FALSE(FestivalPhoneSetNamed("klingon"));
}

}  // namespace
}  // namespace vokra

#include "shapes/training/festival_mouths.h"

#include <array>
#include <utility>

namespace vokra {
namespace {

using Entry = std::pair<std::string_view, MouthShape>;
constexpr MouthShape A = MouthShape::A, B = MouthShape::B, C = MouthShape::C, D = MouthShape::D,
                     E = MouthShape::E, F = MouthShape::F, G = MouthShape::G, H = MouthShape::H;

// Vowels (and the few consonants whose letters would say otherwise), per phone set. Stress and
// length marks ("a1", "a:") are taken off before looking up.
constexpr std::array kEnglish = {
    Entry{"aa", D},  Entry{"ae", C}, Entry{"ah", C}, Entry{"ao", E}, Entry{"aw", D}, Entry{"ax", C},
    Entry{"axr", E}, Entry{"ay", D}, Entry{"eh", C}, Entry{"el", H}, Entry{"em", A}, Entry{"en", B},
    Entry{"er", E},  Entry{"ey", C}, Entry{"ih", B}, Entry{"iy", B}, Entry{"ow", F}, Entry{"oy", E},
    Entry{"uh", F},  Entry{"uw", F}, Entry{"hh", B}, Entry{"hv", B}, Entry{"y", B},
};
constexpr std::array kCzech = {
    Entry{"a", D}, Entry{"e", C}, Entry{"i", B}, Entry{"o", F}, Entry{"u", F},
};
// ä is written "@" or "&", ö "7" or "2" by the Finnish voices.
constexpr std::array kFinnish = {
    Entry{"a", D}, Entry{"e", C}, Entry{"i", B}, Entry{"o", F}, Entry{"u", F},
    Entry{"y", F}, Entry{"@", C}, Entry{"&", C}, Entry{"7", E}, Entry{"2", E},
};
constexpr std::array kItalian = {
    Entry{"a", D}, Entry{"e", C}, Entry{"E", C}, Entry{"i", B}, Entry{"o", F},
    Entry{"O", E}, Entry{"u", F}, Entry{"w", F}, Entry{"j", B}, Entry{"L", H},
};
constexpr std::array kCatalan = {
    Entry{"a", D}, Entry{"ax", C}, Entry{"e", C}, Entry{"E", C}, Entry{"i", B},  Entry{"o", F},
    Entry{"O", E}, Entry{"u", F},  Entry{"w", F}, Entry{"j", B}, Entry{"uw", F}, Entry{"L", H},
};
// The short "a" of Hindi is a schwa; "aw" is the open o of "au".
constexpr std::array kIndic = {
    Entry{"a", C},  Entry{"aa", D}, Entry{"@", D},  Entry{"ih", B}, Entry{"iy", B}, Entry{"uh", F},
    Entry{"uw", F}, Entry{"eh", C}, Entry{"ee", C}, Entry{"ay", D}, Entry{"oh", F}, Entry{"oo", F},
    Entry{"aw", E}, Entry{"w", F},  Entry{"v", G},  Entry{"bh", A}, Entry{"ph", A}, Entry{"L", H},
};

template <std::size_t N>
std::optional<MouthShape> Find(const std::array<Entry, N>& table, std::string_view name) {
    for (const auto& [phone, shape] : table)
        if (phone == name) return shape;
    return std::nullopt;
}

}  // namespace

std::optional<FestivalPhoneSet> FestivalPhoneSetNamed(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, FestivalPhoneSet>, 6> kNames = {{
        {"english", FestivalPhoneSet::English},
        {"czech", FestivalPhoneSet::Czech},
        {"finnish", FestivalPhoneSet::Finnish},
        {"italian", FestivalPhoneSet::Italian},
        {"catalan", FestivalPhoneSet::Catalan},
        {"indic", FestivalPhoneSet::Indic},
    }};
    for (const auto& [n, set] : kNames)
        if (n == name) return set;
    return std::nullopt;
}

MouthShape MouthOfFestivalPhone(FestivalPhoneSet set, std::string_view phone) {
    if (phone.empty() || phone == "pau" || phone == "#" || phone == "sil" || phone == "h#")
        return MouthShape::X;
    // Stress digits and length marks change no mouth ("7" is a vowel of its own in Finnish).
    std::string_view name = phone;
    while (name.size() > 1 && (name.back() == ':' || name.back() == '1' || name.back() == '0'))
        name.remove_suffix(1);
    std::optional<MouthShape> vowel;
    switch (set) {
        case FestivalPhoneSet::English:
            vowel = Find(kEnglish, name);
            break;
        case FestivalPhoneSet::Czech:
            vowel = Find(kCzech, name);
            break;
        case FestivalPhoneSet::Finnish:
            vowel = Find(kFinnish, name);
            break;
        case FestivalPhoneSet::Italian:
            vowel = Find(kItalian, name);
            break;
        case FestivalPhoneSet::Catalan:
            vowel = Find(kCatalan, name);
            break;
        case FestivalPhoneSet::Indic:
            vowel = Find(kIndic, name);
            break;
    }
    if (vowel) return *vowel;
    // The consonants: closed lips, lip on teeth, puckered w, the tongue up for l, teeth for the
    // rest ("rr", "r~", "ch", ...).
    switch (name[0]) {
        case 'm':
        case 'b':
        case 'p':
            return MouthShape::A;
        case 'f':
        case 'v':
            return MouthShape::G;
        case 'w':
            return MouthShape::F;
        case 'l':
            return MouthShape::H;
        default:
            return MouthShape::B;
    }
}

}  // namespace vokra

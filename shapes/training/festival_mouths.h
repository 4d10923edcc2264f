#pragma once
// The mouth of each phone of the Festival voices used for training, by the same classes as
// MouthOfEspeakPhoneme: each voice's phone set names its vowels its own way, the consonants share
// their letters. Training-only: the estimator never sees phone names.
#include <optional>
#include <string_view>

#include "shapes/mouth_shape.h"

namespace vokra {

// The phone sets of the voices: English (kd), Czech, Finnish, Italian, Catalan, and the Indian
// languages (Hindi, Marathi, Telugu share one).
enum class FestivalPhoneSet { English, Czech, Finnish, Italian, Catalan, Indic };

std::optional<FestivalPhoneSet> FestivalPhoneSetNamed(std::string_view name);

MouthShape MouthOfFestivalPhone(FestivalPhoneSet set, std::string_view phone);

}  // namespace vokra

#pragma once
// The mouth each spoken sound needs, from the phoneme names the speech engines use. One table for
// everything that turns phonemes into mouths: the model's training labels and the script's
// alignment read the same answer, so they cannot drift apart.
#include <string_view>

#include "shapes/mouth_shape.h"

namespace vokra {

// A phoneme's mouth from espeak-ng's phoneme mnemonics (any language): closed lips for m, b, p
// (and the bilabial fricative), lip on teeth for f, v, puckered for w, u, o, y, slightly rounded
// for the r-coloured and front rounded mid vowels, the tongue up for l, wide open for a and the
// open back vowels, open for e, ae, schwa and the short a of "cut", teeth for i and every other
// consonant, rest for pauses.
MouthShape MouthOfEspeakPhoneme(std::string_view name);

}  // namespace vokra

#include "tests/live/live_test_sound.h"

#include "tests/shapes/speech_like.h"

namespace vokra::test {

std::vector<std::int16_t> LiveLine(std::int32_t rate) {
    return WithNoise(SpokenLine(rate), rate, NoiseKind::Pink, 0.0, 45.0);
}

}  // namespace vokra::test

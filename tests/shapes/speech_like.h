#pragma once
// A spoken line made in code for the shape tests: a voice source through moving formants for
// vowels, l and m, noise for s and f, closures with bursts for p and b, pauses of digital
// silence; and the noise a microphone would add to it.
#include <cstdint>
#include <vector>

namespace vokra::test {

// About 3.5 s at `rate`, its voiced windows near -20 dBFS as a speech engine's, pauses exact
// zeros.
std::vector<std::int16_t> SpokenLine(std::int32_t rate);

enum class NoiseKind { White, Pink };
// `line` with noise added: at `dbfs` (root mean square relative to full scale), or, when `snr` is
// set, that many decibels under the line's voiced windows.
std::vector<std::int16_t> WithNoise(const std::vector<std::int16_t>& line, std::int32_t rate,
                                    NoiseKind kind, double dbfs, double snr = 0.0);

}  // namespace vokra::test

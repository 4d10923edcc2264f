#pragma once
// A converted sound as the WAVE file the loader takes: its bytes, and a file of them written
// whole or not at all.
#include <cstdint>
#include <string>
#include <vector>

namespace vokra {

// A mono 16-bit PCM WAVE file of the samples, as bytes.
std::string MakeWaveBytes(const std::vector<std::int16_t>& samples, std::int32_t rate);
// Writes that file through a temporary beside `path`, renamed over it when complete: a failure
// leaves nothing behind. False on failure.
// `error`, when given, receives the reason of a failure as saves give it.
bool WriteWaveFile(const std::string& path, const std::vector<std::int16_t>& samples,
                   std::int32_t rate, std::string* error = nullptr);

}  // namespace vokra

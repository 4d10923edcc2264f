#pragma once
// Loudness of the loaded sound: the peak-to-peak amplitude of a window, and the largest one.
#include <cstdint>

namespace vokra {

class SoundData;

// The largest 10 ms peak-to-peak amplitude of the loaded sound; 1.0 when there is none.
extern double g_maxAmplitude;

// Largest minus smallest of samples[first, end), end > first; the scan every window measure uses.
std::int32_t PeakToPeak(const std::int16_t* samples, std::int32_t first, std::int32_t end);

double WindowPeakToPeak(const SoundData& sound, std::int32_t index, double windowsPerSecond);
void ComputeMaxAmplitude(const SoundData& sound, double windowsPerSecond);

}  // namespace vokra

#pragma once
// Makes SDL's audio output the device every playback opens (unless a test installs a fake). Only
// the program calls it, so only the program links SDL.
namespace vokra {

void UseSdlAudioDevice();

}  // namespace vokra

#include "platform/sdl_audio_factory.h"

#include <memory>

#include "platform/audio_device.h"
#include "platform/sdl_audio_device.h"

namespace vokra {

void UseSdlAudioDevice() {
    SetDefaultAudioDeviceFactory([] { return std::make_unique<SdlAudioDevice>(); });
}

}  // namespace vokra

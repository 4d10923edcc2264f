#include "platform/audio_device.h"

#include <utility>

#include "platform/sdl_audio_device.h"

namespace vokra {
namespace {

// Function-local so that a device can be created from other static objects' constructors or
// destructors without depending on initialisation order.
AudioDeviceFactory& Factory() {
    static AudioDeviceFactory factory;
    return factory;
}

}  // namespace

void SetAudioDeviceFactory(AudioDeviceFactory factory) {
    Factory() = std::move(factory);
}

std::unique_ptr<AudioDevice> CreateAudioDevice() {
    if (Factory()) return Factory()();
    return std::make_unique<SdlAudioDevice>();
}

}  // namespace vokra

#include "platform/audio_device.h"

#include <utility>

namespace vokra {
namespace {

// Function-local so that a device can be created from other static objects' constructors or
// destructors without depending on initialisation order.
AudioDeviceFactory& Factory() {
    static AudioDeviceFactory factory;
    return factory;
}

AudioDeviceFactory& DefaultFactory() {
    static AudioDeviceFactory factory;
    return factory;
}

}  // namespace

void SetAudioDeviceFactory(AudioDeviceFactory factory) {
    Factory() = std::move(factory);
}

void SetDefaultAudioDeviceFactory(AudioDeviceFactory factory) {
    DefaultFactory() = std::move(factory);
}

std::unique_ptr<AudioDevice> CreateAudioDevice() {
    if (Factory()) return Factory()();
    if (DefaultFactory()) return DefaultFactory()();
    return nullptr;
}

}  // namespace vokra

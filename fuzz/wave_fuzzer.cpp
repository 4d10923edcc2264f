// The sound loader on arbitrary bytes, read both from memory and from a file: the two must agree,
// an accepted sound must be whole, and the amplitude scan must stay inside it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/message_service.h"
#include "platform/riff_reader.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "sound/wave_reader.h"

namespace {

class QuietMessages final : public vokra::MessageService {
public:
    int Show(const vokra::MessageRequest&) override { return vokra::IDOK; }
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietMessages quiet;
    static const int fd = memfd_create("wave", MFD_CLOEXEC);
    vokra::SetMessageService(&quiet);

    vokra::RiffReader memory;
    memory.OpenMemory(data, size);
    vokra::WaveReadResult r = vokra::ReadWave(memory);
    Check((r.code == 0) == (r.samples != nullptr));
    Check(r.code == 0 || (r.code >= 2 && r.code <= 11 && r.message != nullptr));
    if (r.code == 0) {
        Check(r.sampleCount > 0 && r.sampleCount <= 4'000'000);
        Check(r.sampleRate >= 4000 && r.sampleRate <= 44100);
        // Touch every sample so that a buffer shorter than its count is caught.
        std::int64_t sum = 0;
        for (std::int32_t i = 0; i < r.sampleCount; ++i) sum += r.samples[i];
        Check(sum >= -32768LL * r.sampleCount);
    }
    std::free(r.samples);

    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    vokra::SoundData sound;
    const std::int32_t code = sound.Load("/proc/self/fd/" + std::to_string(fd));
    Check(code == r.code);
    if (code == 0) {
        Check(sound.GetSampleCount() == r.sampleCount);
        vokra::ComputeMaxAmplitude(sound, 100);
        Check(vokra::g_maxAmplitude >= 1.0 && vokra::g_maxAmplitude <= 65535.0);
        Check(vokra::WindowPeakToPeak(sound, static_cast<std::int32_t>(size), 7.5) >= 0.0);
    }
    return 0;
}

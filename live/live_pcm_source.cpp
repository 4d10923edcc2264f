#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#include "live/live_source.h"

namespace vokra {
namespace {

// Raw PCM as another program writes it: the pace is the writer's, read in bounded blocks and
// brought to mono 16-bit.
class PcmSource final : public LiveSource {
public:
    PcmSource(int fd, std::int32_t rate, int channels, PcmFormat format)
        : fd_(fd), rate_(rate), channels_(std::clamp(channels, 1, 32)), format_(format) {}
    ~PcmSource() override { Stop(); }
    std::int32_t Rate() const override { return rate_; }
    bool Start(LiveRing& ring, std::string&) override {
        Stop();
        stop_ = false;
        thread_ = std::thread([this, &ring] {
            std::array<std::int16_t, kMono> mono{};
            while (!stop_) {
                const std::size_t n = ReadMono(mono.data(), mono.size(), 100);
                if (n == 0 && ended_) break;
                std::size_t written = 0;
                while (written < n && !stop_) {
                    written += ring.Write(mono.data() + written, n - written);
                    // A pipe can wait: the writer is held back rather than its samples dropped.
                    if (written < n) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
            ended_ = true;
            ring.Wake();
        });
        return true;
    }
    void Stop() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Ended() const override { return ended_.load(std::memory_order_acquire); }
    std::string Fault() const override {
        const int e = error_.load();
        return e == 0 ? std::string() : std::string("the input: ") + std::strerror(e);
    }
    std::size_t Pull(std::int16_t* out, std::size_t max) override {
        std::size_t total = 0;
        while (total < max && !ended_) total += ReadMono(out + total, max - total, -1);
        return total;
    }

private:
    static constexpr std::size_t kMono = 1024;
    static constexpr std::size_t kBytes = 16384;

    void Fail(int e) {
        error_ = e;
        ended_ = true;
    }

    std::size_t FrameBytes() const {
        return static_cast<std::size_t>(channels_) * (format_ == PcmFormat::S16 ? 2 : 4);
    }

    // Up to `max` mono samples (at most what one read gives), waiting at most `waitMs` (-1: until
    // there are some); 0 when nothing came or the input ended (ended_).
    std::size_t ReadMono(std::int16_t* out, std::size_t max, int waitMs) {
        const std::size_t frame = FrameBytes();
        if (have_ < frame) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, waitMs);
            if (ready < 0 && errno != EINTR) Fail(errno);
            if (ready <= 0) return 0;
            const ssize_t got = ::read(fd_, bytes_.data() + have_, kBytes - have_);
            if (got < 0) {
                if (errno != EINTR && errno != EAGAIN) Fail(errno);
                return 0;
            }
            if (got == 0) {
                ended_ = true;  // a last partial frame is dropped
                return 0;
            }
            have_ += static_cast<std::size_t>(got);
        }
        const std::size_t frames = std::min(have_ / frame, max);
        for (std::size_t f = 0; f < frames; ++f) {
            double sum = 0.0;
            const unsigned char* b = bytes_.data() + f * frame;
            for (int c = 0; c < channels_; ++c) {
                if (format_ == PcmFormat::S16) {
                    sum += static_cast<std::int16_t>(b[2 * c] | (b[2 * c + 1] << 8));
                } else {
                    std::uint32_t bits =
                        std::uint32_t{b[4 * c]} | std::uint32_t{b[4 * c + 1]} << 8 |
                        std::uint32_t{b[4 * c + 2]} << 16 | std::uint32_t{b[4 * c + 3]} << 24;
                    float v = 0.0f;
                    std::memcpy(&v, &bits, sizeof v);
                    sum += std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) * 32767.0 : 0.0;
                }
            }
            out[f] = static_cast<std::int16_t>(std::lround(sum / channels_));
        }
        const std::size_t used = frames * frame;
        std::memmove(bytes_.data(), bytes_.data() + used, have_ - used);
        have_ -= used;
        return frames;
    }

    int fd_;
    std::int32_t rate_;
    int channels_;
    PcmFormat format_;
    std::array<unsigned char, kBytes> bytes_{};
    std::size_t have_ = 0;
    std::atomic<int> error_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<LiveSource> OpenLivePcm(int fd, std::int32_t rate, int channels, PcmFormat format) {
    return std::make_unique<PcmSource>(fd, rate, channels, format);
}

}  // namespace vokra

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "live/live_source.h"
#include "sound/load_recording.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

class FileSource final : public LiveSource {
public:
    ~FileSource() override { Stop(); }
    bool Load(const std::string& path, std::string& error) {
        const RecordingLoad load = LoadRecording(path, sound_);
        if (load.loaded && sound_.GetSampleCount() > 0) return true;
        error = "cannot read " + path;
        for (const auto& m : load.messages)
            if (m.kind == RecordingMessage::Kind::Refusal) error = m.text;
        if (load.loaded) error = path + " holds no samples";
        return false;
    }
    std::int32_t Rate() const override { return sound_.GetSampleRate(); }
    bool Start(LiveRing& ring, std::string&) override {
        Stop();
        stop_ = false;
        thread_ = std::thread([this, &ring] { Play(ring); });
        return true;
    }
    void Stop() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Ended() const override { return ended_.load(std::memory_order_acquire); }
    std::size_t Pull(std::int16_t* out, std::size_t max) override {
        const auto count = static_cast<std::size_t>(sound_.GetSampleCount());
        const std::size_t n = std::min(max, count - pulled_);
        std::copy_n(sound_.GetSamples() + pulled_, n, out);
        pulled_ += n;
        return n;
    }

private:
    // 10 ms blocks at the times they would come from a device, however late one was written.
    void Play(LiveRing& ring) {
        const std::int32_t rate = sound_.GetSampleRate();
        const std::int32_t count = sound_.GetSampleCount();
        const auto start = std::chrono::steady_clock::now();
        std::int64_t at = 0;
        for (std::int64_t block = 1; at < count && !stop_; ++block) {
            const std::int64_t to = std::min<std::int64_t>(count, block * rate / 100);
            std::this_thread::sleep_until(start + std::chrono::milliseconds(block * 10));
            std::int64_t written = at;
            // The ring is seconds long; a reader that far behind is waited for, never skipped.
            while (written < to && !stop_) {
                written += static_cast<std::int64_t>(ring.Write(
                    sound_.GetSamples() + written, static_cast<std::size_t>(to - written)));
                if (written < to) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            at = to;
        }
        ended_.store(true, std::memory_order_release);
        ring.Wake();
    }

    SoundData sound_;
    std::size_t pulled_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<LiveSource> OpenLiveFile(const std::string& path, std::string& error) {
    auto source = std::make_unique<FileSource>();
    if (!source->Load(path, error)) return nullptr;
    return source;
}

}  // namespace vokra

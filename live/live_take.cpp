#include "live/live_take.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "document/vokra_doc.h"
#include "palettes/auto_key.h"
#include "shapes/shape_estimator.h"
#include "sound/amplitude.h"
#include "sound/import/copy_name.h"
#include "sound/import/wave_bytes.h"
#include "sound/load_recording.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

class TakeSink final : public LiveSink {
public:
    explicit TakeSink(std::string vokPath) : vokPath_(std::move(vokPath)) {
        // A minute held from the start: the buffer then grows rarely, never per block.
        samples_.reserve(48000 * 60);
    }
    std::string Name() const override { return "take " + vokPath_; }
    void Begin(std::int32_t rate) override { rate_ = rate; }
    void Samples(const std::int16_t* s, std::size_t n) override {
        samples_.insert(samples_.end(), s, s + n);
    }
    void Frame(const LiveFrame& frame) override {
        if (frame.window < 0) return;
        const auto w = static_cast<std::size_t>(frame.window);
        if (shapes_.size() <= w) shapes_.resize(w + 1, MouthShape::X);
        shapes_[w] = frame.mouth;
    }
    bool End(std::string& error) override {
        if (samples_.empty() || rate_ <= 0) {
            error = "the take holds no sound; " + vokPath_ + " was not written";
            return false;
        }
        const std::filesystem::path vok(vokPath_);
        const std::string wanted =
            (vok.parent_path() / (vok.stem().string() + "-take.wav")).string();
        bool reuse = false;
        const auto wav = ClaimConvertedCopy(wanted, MakeWaveBytes(samples_, rate_), reuse, error);
        if (!wav) return false;
        CVokraDoc doc;
        doc.OnNewDocument();
        RecordingRequest request;
        request.copyFolder = vok.parent_path().empty() ? "." : vok.parent_path().string();
        const RecordingLoad load = doc.TryLoadSound(*wav, request);
        if (!load.loaded) {
            error = "the take's sound " + *wav + " could not be loaded";
            for (const auto& m : load.messages)
                if (m.kind == RecordingMessage::Kind::Refusal) error += ": " + m.text;
            return false;
        }
        doc.UpdateExtent();
        // The mouths as they were shown, one per animation frame, marked as guessed.
        const double fps = doc.GetFrameRate();
        const double seconds = static_cast<double>(samples_.size()) / rate_;
        const auto last = static_cast<std::int32_t>(std::ceil(seconds * fps)) - 1;
        // The mouth's opening keyed as AutoKey keys any line, so the take is one like the others.
        AutoKeyApply(g_sound, std::max(g_maxAmplitude, 1.0), fps, 0, last, AutoKeySettings{}, true,
                     doc.GetKeys());
        const std::vector<MouthShape> frames = ShapesForFrames(shapes_, rate_, fps, 0, last);
        for (std::int32_t f = 0; f <= last && f < static_cast<std::int32_t>(frames.size()); ++f)
            doc.GetShapes().Set(f, frames[static_cast<std::size_t>(f)], false);
        if (!doc.OnSaveDocument(vokPath_)) {
            error = vokPath_ + " could not be written (the take's sound is kept in " + *wav + ")";
            return false;
        }
        return true;
    }

private:
    std::string vokPath_;
    std::int32_t rate_ = 0;
    std::vector<std::int16_t> samples_;
    std::vector<MouthShape> shapes_;
};

}  // namespace

std::unique_ptr<LiveSink> MakeTakeSink(const std::string& vokPath, const std::string& inputPath,
                                       std::string& error) {
    if (vokPath.empty()) {
        error = "the take needs a document's name";
        return nullptr;
    }
    if (!inputPath.empty() && inputPath != "-" &&
        (inputPath == vokPath || SameFile(inputPath, vokPath))) {
        error = vokPath + " is the input itself";
        return nullptr;
    }
    struct stat st {};
    if (::stat(vokPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = vokPath + " is not a file a document can be written to";
        return nullptr;
    }
    return std::make_unique<TakeSink>(vokPath);
}

}  // namespace vokra

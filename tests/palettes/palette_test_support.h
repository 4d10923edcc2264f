#pragma once
// Stand-ins the palette tests share: an audio device whose position the test sets, a main frame
// that records markers and posted commands, a view that forwards updates to the palettes as the
// envelope pane does, and a document with a generated sound loaded into g_sound.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/vokra_doc.h"
#include "panes/frame_link.h"
#include "platform/audio_device.h"
#include "platform/help_service.h"
#include "tests/support/temp_dir.h"

namespace vokra::test {

// What the fake device saw and what it reports; the test changes `heard` and `done`.
struct FakeAudio {
    struct Play {
        std::int64_t first;  // offset of the prepared buffer in g_sound's samples
        std::int32_t count;
    };
    std::int64_t heard = 0;
    bool done = false;
    bool openFails = false;
    std::vector<Play> plays;
    int resets = 0;
};

// Installs the fake device factory for its lifetime.
class FakeAudioScope {
public:
    FakeAudioScope();
    ~FakeAudioScope();
    FakeAudio& Audio() { return *audio_; }

private:
    std::shared_ptr<FakeAudio> audio_;
};

class FakeFrame final : public FrameLink {
public:
    FakeFrame() { SetMainFrameLink(this); }
    ~FakeFrame() override { SetMainFrameLink(nullptr); }
    void PaintPanesNow() override {}
    void SetPlaybackMarkers(double position, bool show) override {
        markers.push_back({position, show});
    }
    void PostCommand(int command) override { commands.push_back(command); }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }

    struct Marker {
        double position;
        bool show;
    };
    std::vector<Marker> markers;
    std::vector<int> commands;
    std::vector<std::string> statuses;
};

class FakeHelp final : public HelpService {
public:
    FakeHelp() { SetHelpService(this); }
    ~FakeHelp() override { SetHelpService(nullptr); }
    bool Open(int context) override {
        contexts.push_back(context);
        return opens;
    }
    std::vector<int> contexts;
    bool opens = true;
};

// Forwards every update to the registered palettes, as the envelope pane does.
class ForwardingView final : public View {
public:
    explicit ForwardingView(CVokraDoc& doc) : doc_(doc) { doc_.AddView(this); }
    ~ForwardingView() override { doc_.RemoveView(this); }
    void OnUpdate(View*, int hint) override {
        hints.push_back(hint);
        doc_.NotifyPalettes(hint);
    }
    std::vector<int> hints;

private:
    CVokraDoc& doc_;
};

// A fresh document with default settings and, when `seconds` > 0, a generated mono 16-bit sound
// at `rate` loaded into g_sound; unloads the sound when done.
class DocWithSound {
public:
    DocWithSound(double seconds, std::uint32_t rate, double frameRate, std::int32_t preset);
    ~DocWithSound();
    CVokraDoc& Doc() { return doc_; }
    const std::string& WavPath() const { return wav_; }
    // Selects frames first..last (anchor at the left edge, cursor at the right one).
    void SelectFrames(std::int32_t first, std::int32_t last);
    // Puts anchor and cursor together on an edge.
    void PlaceCursor(double edge);
    void SetKey(std::int32_t frame, float opening);

private:
    TempDir dir_;
    std::string wav_;
    CVokraDoc doc_;
};

}  // namespace vokra::test

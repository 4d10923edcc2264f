// Repainting both timeline panes 1920 pixels wide with 4,000,000 samples and 100,000 keys, the
// whole extent in view and zoomed to 20 frames: with a valid column cache, with one that must be
// rebuilt, and one step of a key drag. Each is compared with filling the two back buffers and
// copying them to the screen, the least a repaint can cost.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/wave_view.h"
#include "platform/ini_file.h"
#include "sound/sound_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 300;
constexpr std::int32_t kSamples = 4'000'000;
constexpr int kKeys = 100'000;

struct Scene {
    test::TempDir dir;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<CVokraDoc> doc;
    std::unique_ptr<WaveView> wave;
    std::unique_ptr<EnvView> env;

    Scene() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "panes_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        Profile().SetPath(dir.File("bench.INI"));

        const std::string wav = dir.File("largest.wav");
        const auto voice = test::VoiceLike(kSamples / 44100.0 + 0.01, 44100);
        test::WriteFile(
            wav, test::MakeWav16(std::vector<std::int16_t>(voice.begin(), voice.begin() + kSamples),
                                 44100));
        doc = std::make_unique<CVokraDoc>();
        doc->OnNewDocument();
        doc->LoadSoundFrom(wav);
        Keyframe key;
        for (int f = 0; f < kKeys; ++f) {
            key.SetFrame(f);
            key.SetOpening(static_cast<float>(0.5 + 0.4 * ((f * 7919) % 101) / 101.0));
            doc->GetKeys().SetKey(key);
        }
        doc->UpdateExtent();
        wave = std::make_unique<WaveView>(doc.get());
        env = std::make_unique<EnvView>(doc.get());
        wave->resize(kWidth, kHeight);
        env->resize(kWidth, kHeight + env->HorizontalScrollBar()->sizeHint().height());
        wave->show();
        env->show();
        QApplication::processEvents();
    }

    void ShowAll() { ShowRange(-0.5, doc->GetTimeRange().GetExtentMax()); }
    void ShowRange(double a, double b) {
        doc->GetTimeRange().SetVisibleRange(a, b);
        doc->UpdateAllViews(nullptr, 0);
        PaintBoth();
    }
    // What the main frame's PaintPanesNow does.
    void PaintBoth() {
        if (wave->HasPendingUpdate()) wave->PaintPane();
        if (env->HasPendingUpdate()) env->PaintPane();
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void SetZoom(Scene& s, int zoomed) {
    if (zoomed) {
        s.ShowRange(50000.0, 50020.0);
    } else {
        s.ShowAll();
    }
}

// Both panes repainted from a valid column cache (a cursor move, a key edit elsewhere).
void BM_RepaintValidCache(benchmark::State& state) {
    Scene& s = TheScene();
    SetZoom(s, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.doc->UpdateAllViews(nullptr, 0);
        s.PaintBoth();
    }
}

// Both panes repainted after the visible range moved by a hair, so the waveform is scanned again.
void BM_RepaintRebuild(benchmark::State& state) {
    Scene& s = TheScene();
    SetZoom(s, static_cast<int>(state.range(0)));
    TimelineState& ts = s.doc->GetTimeRange();
    const double a = ts.GetVisibleMin();
    const double b = ts.GetVisibleMax();
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        ts.SetVisibleRange(a, odd ? b - 1e-6 : b);
        s.doc->UpdateAllViews(nullptr, 55);
        s.PaintBoth();
    }
}

// One mouse move of a key drag over the selected (visible) frames: the envelope pane alone.
void BM_KeyDragStep(benchmark::State& state) {
    Scene& s = TheScene();
    SetZoom(s, static_cast<int>(state.range(0)));
    TimelineState& ts = s.doc->GetTimeRange();
    ts.SetAnchor(s.doc->SnapToFrameEdge(ts.GetVisibleMin()));
    ts.SetCursor(ts.GetVisibleMax());
    s.doc->UpdateAllViews(nullptr, 0);
    s.PaintBoth();
    // Press on a key inside the selection.
    const PlotMapping& m = s.env->GetMapping();
    const int frame = static_cast<int>(ts.GetVisibleMin()) + 5;
    const Point key =
        m.WorldToPixelPoint(frame, s.doc->GetKeys().FindAtOrAfter(frame)->GetOpening());
    s.env->OnLButtonDown(KeyState{}, key);
    if (!s.env->IsKeyDragging()) state.SkipWithError("the press did not start a key drag");
    int dy = 0;
    for (auto _ : state) {
        dy = dy == -10 ? -11 : -10;
        s.env->OnMouseMove(KeyState{}, Point{key.x, key.y + dy});
        s.PaintBoth();
    }
    // Let go where it started: nothing is written.
    s.env->OnMouseMove(KeyState{}, key);
    s.env->OnLButtonUp(KeyState{}, key);
    s.PaintBoth();
}

// The least a repaint of both panes can cost: fill each back buffer, copy each to the screen.
void BM_FillAndCopyBuffers(benchmark::State& state) {
    TheScene();
    QImage back[2] = {QImage(kWidth, kHeight, QImage::Format_RGB32),
                      QImage(kWidth, kHeight, QImage::Format_RGB32)};
    QImage screen(kWidth, 2 * kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            {
                QPainter p(&back[i]);
                p.fillRect(back[i].rect(), Qt::white);
            }
            QPainter p(&screen);
            p.drawImage(0, i * kHeight, back[i]);
        }
        benchmark::DoNotOptimize(screen.constBits());
    }
}

BENCHMARK(BM_FillAndCopyBuffers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintValidCache)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyDragStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole extent puts about 50 keys in every pixel column; the envelope pane draws each column
// once and leaves its scroll bar alone (a styled bar 1920 pixels wide cost more than the picture),
// so a repaint from the column cache stays within 8 times the baseline. A rebuild also
// scans all 4,000,000 samples, and a drag step also finds the selected keys: their bounds keep
// a repaint well under a 60 Hz frame (16 ms) over the ~0.2 ms baseline; 20 frames stay close to
// the baseline.
VOKRA_RATIO(valid_all, "repaint, valid cache, whole extent / fill+copy", "BM_RepaintValidCache/0",
            "BM_FillAndCopyBuffers", 8.0);
VOKRA_RATIO(valid_zoom, "repaint, valid cache, 20 frames / fill+copy", "BM_RepaintValidCache/1",
            "BM_FillAndCopyBuffers", 8.0);
VOKRA_RATIO(rebuild_all, "repaint, rebuilt cache, whole extent / fill+copy", "BM_RepaintRebuild/0",
            "BM_FillAndCopyBuffers", 50.0);
// A scroll also repaints the scroll bar, which the other repaints leave alone.
VOKRA_RATIO(rebuild_zoom, "repaint, rebuilt cache, 20 frames / fill+copy", "BM_RepaintRebuild/1",
            "BM_FillAndCopyBuffers", 12.0);
VOKRA_RATIO(drag_all, "key drag step, whole extent / fill+copy", "BM_KeyDragStep/0",
            "BM_FillAndCopyBuffers", 40.0);
VOKRA_RATIO(drag_zoom, "key drag step, 20 frames / fill+copy", "BM_KeyDragStep/1",
            "BM_FillAndCopyBuffers", 8.0);

}  // namespace
}  // namespace vokra

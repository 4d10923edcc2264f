#pragma once
// Surroundings for the widget tests: a settings file in a temporary folder, scripted message
// boxes (an unexpected box fails the test), a new document, panes shown on the offscreen
// platform, and the shared sound unloaded afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/msb_view.h"
#include "panes/qt/wave_view.h"
#include "platform/ini_file.h"
#include "platform/recording_draw_context.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {

// The panes with their drawing opened up, so a test can draw them into a recording context.
class TestWaveView : public WaveView {
public:
    using WaveView::Draw;
    using WaveView::WaveView;
};
class TestEnvView : public EnvView {
public:
    using EnvView::Draw;
    using EnvView::EnvView;
    // Puts the pane in the middle of a drag by `offset` without the mouse.
    void SetDrag(double offset) {
        keyDragging = 1;
        keyDragOffset = offset;
        boundsSelection_ = {GetTimelineState().SelectionStart(), GetTimelineState().SelectionEnd()};
    }
    // Keys per pixel column from which columns are drawn once (a huge value: every key drawn).
    void SetDenseThreshold(double keysPerColumn) { denseKeysPerColumn = keysPerColumn; }
};
class TestBaseView : public MSBView {
public:
    using MSBView::Draw;
    using MSBView::MSBView;
};

// A palette stand-in that records the hints it is refreshed with.
class HintRecorder final : public PlaybackPaletteLink {
public:
    void Refresh(int code) override { hints.push_back(code); }
    std::vector<int> hints;
};

class PaneFixture : public ::testing::Test {
protected:
    void SetUp() override {
        savedIni_ = Profile().Path();
        Profile().SetPath(iniDir_.File("vokra.INI"));
        messages_ = std::make_unique<ScriptedMessages>();
        g_showSeconds = 0;
        doc_ = std::make_unique<CVokraDoc>();
        doc_->OnNewDocument();
    }

    void TearDown() override {
        panes_.clear();
        doc_.reset();
        g_sound.Unload();
        g_showSeconds = 0;
        messages_.reset();
        Profile().SetPath(savedIni_);
    }

    // A pane of the given client size (the scroll bar comes on top of it), shown and painted.
    template <typename T>
    T* Make(int width, int height) {
        auto pane = std::make_unique<T>(doc_.get());
        T* p = pane.get();
        const int bar =
            p->HorizontalScrollBar() ? p->HorizontalScrollBar()->sizeHint().height() : 0;
        p->resize(width, height + bar);
        p->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(p));
        panes_.push_back(std::move(pane));
        PaintPending();
        return p;
    }

    // What the main frame's PaintPanesNow does: repaint every pane that waits for it.
    void PaintPending() {
        for (auto& pane : panes_) {
            if (pane->HasPendingUpdate()) pane->PaintPane();
        }
    }

    bool AnyPending() const {
        for (const auto& pane : panes_) {
            if (pane->HasPendingUpdate()) return true;
        }
        return false;
    }

    void LoadSound(const std::vector<std::int16_t>& samples, std::uint32_t rate) {
        const std::string path = dir_.File("voice" + std::to_string(++sounds_) + ".wav");
        WriteFile(path, MakeWav16(samples, rate));
        doc_->LoadSoundFrom(path);
        ASSERT_TRUE(g_sound.IsLoaded());
    }

    void SetKeys(const std::vector<std::pair<int, float>>& keys) {
        for (const auto& [frame, opening] : keys) doc_->GetKeys().SetKey(Keyframe(frame, opening));
        doc_->UpdateExtent();
        doc_->UpdateAllViews(nullptr, kHintAll);
        PaintPending();
    }

    float OpeningAt(int frame) const {
        const Keyframe* k = doc_->GetKeys().FindAtOrAfter(frame);
        return k && k->GetFrame() == frame ? k->GetOpening() : -1.0f;
    }

    TimelineState& Ts() { return doc_->GetTimeRange(); }

    // The document's selection and view in one call (no notification needed in tests).
    void Select(double anchor, double cursor) {
        Ts().SetAnchor(anchor);
        Ts().SetCursor(cursor);
        doc_->UpdateAllViews(nullptr, kHintAll);
        PaintPending();
    }
    void View(double vmin, double vmax) {
        Ts().SetVisibleRange(vmin, vmax);
        doc_->UpdateAllViews(nullptr, kHintAll);
        PaintPending();
    }

    // Pixel x of a world x in a pane's current mapping.
    static int Px(const MSBView* pane, double x) { return pane->GetMapping().WorldToPixelX(x); }

    static void Click(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mousePress(w, Qt::LeftButton, mods, at);
        QTest::mouseRelease(w, Qt::LeftButton, mods, at);
    }
    static void Press(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mousePress(w, Qt::LeftButton, mods, at);
    }
    static void Move(QWidget* w, QPoint at) { QTest::mouseMove(w, at); }
    static void Release(QWidget* w, QPoint at) {
        QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
    }

    std::unique_ptr<CVokraDoc> doc_;
    std::unique_ptr<ScriptedMessages> messages_;
    std::vector<std::unique_ptr<MSBView>> panes_;
    TempDir dir_;

private:
    TempDir iniDir_;
    std::string savedIni_;
    int sounds_ = 0;
};

}  // namespace vokra::test

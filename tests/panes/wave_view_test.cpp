#include <QImage>
#include <functional>
#include <ostream>

#include "tests/panes/pane_fixture.h"

namespace vokra::test {
namespace {

constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;

// Half a second of silence, then half a second of full-scale square wave, at 8000 Hz.
std::vector<std::int16_t> SilenceThenLoud() {
    std::vector<std::int16_t> s(8000, 0);
    for (int i = 4000; i < 8000; ++i) s[i] = (i % 2) ? 32767 : -32768;
    return s;
}

class WaveView_Columns : public PaneFixture {};

TEST_F(WaveView_Columns, ShowSilenceLoudnessAndTheEndOfTheSound) {
    LoadSound(SilenceThenLoud(), 8000);
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    // Extent -0.5 .. 15.5 at 15 fps: 16/15 s over 400 columns; the sound ends at column 375.
    ASSERT_DOUBLE_EQ(Ts().GetVisibleMax(), 15.5);
    const auto& top = wave->ColumnTop();
    const auto& bottom = wave->ColumnBottom();
    ASSERT_EQ(top.size(), 400u);
    const int mid = 75;
    EXPECT_EQ(top[100], mid);
    EXPECT_EQ(bottom[100], mid);
    EXPECT_EQ(top[300], 0);           // full positive scale reaches the plot top
    EXPECT_EQ(bottom[300], 2 * mid);  // -32768 is clamped to the negative limit
    EXPECT_EQ(top[372], 0);           // up to two columns before the end
    EXPECT_EQ(top[373], mid);         // then the flat line
    EXPECT_EQ(top[399], mid);

    const QImage& img = wave->BackBuffer();
    EXPECT_EQ(img.pixel(25 + 100, 100), kBlack);
    EXPECT_EQ(img.pixel(25 + 100, 60), kWhite);
    EXPECT_EQ(img.pixel(25 + 100, 140), kWhite);
    for (int y = 26; y < 175; ++y) ASSERT_EQ(img.pixel(25 + 300, y), kBlack) << y;
    EXPECT_EQ(img.pixel(25 + 390, 100), kBlack);
    EXPECT_EQ(img.pixel(25 + 390, 60), kWhite);
}

TEST_F(WaveView_Columns, NoSoundDrawsTheFlatCentreLine) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    for (std::size_t i = 0; i < wave->ColumnTop().size(); ++i) {
        ASSERT_EQ(wave->ColumnTop()[i], 75);
        ASSERT_EQ(wave->ColumnBottom()[i], 75);
    }
    const QImage& img = wave->BackBuffer();
    for (int x = 26; x < 424; ++x) {  // the last column ends the line: left out
        ASSERT_EQ(img.pixel(x, 100), kBlack) << x;
        ASSERT_EQ(img.pixel(x, 99), kWhite) << x;
    }
}

TEST_F(WaveView_Columns, ViewAfterTheEndOfTheSoundIsFlat) {
    LoadSound(SilenceThenLoud(), 8000);
    SetKeys({{40, 0.5f}});
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    View(20.0, 40.5);
    for (std::size_t i = 0; i < wave->ColumnTop().size(); ++i) {
        ASSERT_EQ(wave->ColumnTop()[i], 75);
    }
}

TEST_F(WaveView_Columns, SoundPastTheRightEdgeLeavesTheLastTwoColumnsFlat) {
    std::vector<std::int16_t> loud(8000);
    for (int i = 0; i < 8000; ++i) loud[i] = (i % 2) ? 20000 : -20000;
    LoadSound(loud, 8000);
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    View(-0.5, 5.5);
    const auto& top = wave->ColumnTop();
    EXPECT_LT(top[396], 75);
    EXPECT_EQ(top[398], 75);
    EXPECT_EQ(top[399], 75);
}

TEST_F(WaveView_Columns, LessThanOneSamplePerPixelShowsOneSampleAColumn) {
    // A ramp: every sample differs from its neighbour.
    std::vector<std::int16_t> ramp(4000);
    for (int i = 0; i < 4000; ++i) ramp[i] = static_cast<std::int16_t>(i * 8 - 16000);
    LoadSound(ramp, 4000);
    TestWaveView* wave = Make<TestWaveView>(1050, 200);
    View(3.5, 5.5);  // 2 frames at 15 fps: 533 samples over 1000 columns
    const auto& top = wave->ColumnTop();
    const auto& bottom = wave->ColumnBottom();
    int repeats = 0;
    for (std::size_t i = 0; i + 3 < top.size(); ++i) {
        ASSERT_EQ(top[i], bottom[i]) << i;
        repeats += top[i] == top[i + 1] ? 1 : 0;
    }
    EXPECT_GT(repeats, 100);
}

TEST_F(WaveView_Columns, AnyWidthFitsTheCache) {
    LoadSound(SilenceThenLoud(), 8000);
    TestWaveView* wave = Make<TestWaveView>(2400, 200);
    EXPECT_EQ(wave->ColumnTop().size(), 2350u);
    EXPECT_EQ(wave->ColumnTop()[2000], 0);
    const QImage& img = wave->BackBuffer();
    EXPECT_EQ(img.pixel(25 + 2000, 30), kBlack);
}

// ---- cache key ------------------------------------------------------------------------------

struct CacheCase {
    const char* name;
    std::function<void(PaneFixture&, TestWaveView*)> change;
    bool rebuilds;
};
void PrintTo(const CacheCase& c, std::ostream* os) {
    *os << c.name;
}

class WaveView_Cache : public PaneFixture, public ::testing::WithParamInterface<CacheCase> {
public:
    using PaneFixture::Select;
    using PaneFixture::SetKeys;
    using PaneFixture::View;
    void Load(const std::vector<std::int16_t>& s) { LoadSound(s, 8000); }
    CVokraDoc& Doc() { return *doc_; }
};

TEST_P(WaveView_Cache, RebuildsOnlyWhenItsKeyChanges) {
    LoadSound(SilenceThenLoud(), 8000);
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    View(-0.5, 12.5);
    const int before = wave->ColumnBuilds();
    GetParam().change(*this, wave);
    doc_->UpdateAllViews(nullptr, kHintAll);
    PaintPending();
    EXPECT_EQ(wave->ColumnBuilds() - before, GetParam().rebuilds ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaveView_Cache,
    ::testing::Values(
        CacheCase{"PlainRepaint", [](PaneFixture&, TestWaveView*) {}, false},
        CacheCase{
            "Selection",
            [](PaneFixture& f, TestWaveView*) { static_cast<WaveView_Cache&>(f).Select(1.5, 4.5); },
            false},
        CacheCase{"KeyEdit",
                  [](PaneFixture& f, TestWaveView*) {
                      static_cast<WaveView_Cache&>(f).SetKeys({{3, 0.5f}});
                  },
                  false},
        CacheCase{"PlaybackMarker",
                  [](PaneFixture&, TestWaveView* w) { w->SetPlaybackMarker(3.0, true); }, false},
        CacheCase{"WiderByOnePixel",
                  [](PaneFixture&, TestWaveView* w) { w->resize(w->width() + 1, w->height()); },
                  true},
        CacheCase{"LowerByOnePixel",
                  [](PaneFixture&, TestWaveView* w) { w->resize(w->width(), w->height() - 1); },
                  true},
        CacheCase{
            "Scroll",
            [](PaneFixture& f, TestWaveView*) { static_cast<WaveView_Cache&>(f).View(0.5, 13.5); },
            true},
        CacheCase{"SameLengthSoundAgain",
                  [](PaneFixture& f, TestWaveView*) {
                      auto& c = static_cast<WaveView_Cache&>(f);
                      c.Load(SilenceThenLoud());
                      c.View(-0.5, 12.5);
                  },
                  true},
        CacheCase{"FrameRate",
                  [](PaneFixture& f, TestWaveView*) {
                      auto& c = static_cast<WaveView_Cache&>(f);
                      c.Doc().SetFrameRate(15.0, 7);
                      c.View(-0.5, 12.5);
                  },
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveView_Columns, FirstDrawAlwaysBuilds) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    EXPECT_EQ(wave->ColumnBuilds(), 1);
}

// ---- drawing steps --------------------------------------------------------------------------

class WaveView_Drawing : public PaneFixture {};

TEST_F(WaveView_Drawing, ZigzagThroughTheColumns) {
    LoadSound(SilenceThenLoud(), 8000);
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    RecordingDrawContext dc;
    wave->Draw(dc);
    const auto& top = wave->ColumnTop();
    const auto& bottom = wave->ColumnBottom();
    const auto lines = dc.Lines();
    // Four frame sides, then 2 x 399 + 1 waveform segments.
    ASSERT_GE(lines.size(), 4u + 799u);
    EXPECT_EQ(lines[4].from, (Point{25, 25 + top[0]}));
    EXPECT_EQ(lines[4].to, (Point{25, 25 + bottom[0]}));
    EXPECT_EQ(lines[5].to, (Point{25, 25 + top[1]}));
    EXPECT_EQ(lines[6].to, (Point{26, 25 + bottom[1]}));
    EXPECT_EQ(lines[4 + 798].to, (Point{424, 25 + bottom[399]}));
}

struct CursorCase {
    const char* name;
    double anchor, cursor;
    bool drawn;
};
void PrintTo(const CursorCase& c, std::ostream* os) {
    *os << c.name;
}

class WaveView_Cursor : public PaneFixture, public ::testing::WithParamInterface<CursorCase> {};

TEST_P(WaveView_Cursor, DrawnOnlyWithoutSelectionInsideTheView) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    View(1.0, 6.0);
    Ts().SetAnchor(GetParam().anchor);
    Ts().SetCursor(GetParam().cursor);
    RecordingDrawContext dc;
    wave->Draw(dc);
    int red = 0;
    for (const DrawnLine& l : dc.Lines()) {
        if (l.pen.colour == Rgb{255, 0, 0}) {
            ++red;
            EXPECT_EQ(l.from, (Point{Px(wave, GetParam().cursor), 25}));
            EXPECT_EQ(l.to, (Point{Px(wave, GetParam().cursor), 175}));
        }
    }
    EXPECT_EQ(red, GetParam().drawn ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, WaveView_Cursor,
                         ::testing::Values(CursorCase{"Inside", 3.5, 3.5, true},
                                           CursorCase{"OnTheLeftEnd", 1.0, 1.0, true},
                                           CursorCase{"OnTheRightEnd", 6.0, 6.0, true},
                                           CursorCase{"LeftOfView", 0.5, 0.5, false},
                                           CursorCase{"WithSelection", 2.5, 3.5, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveView_Drawing, RulerInSecondsOrFramesByTheSetting) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    RecordingDrawContext frames;
    wave->Draw(frames);
    ASSERT_FALSE(frames.Texts().empty());
    EXPECT_EQ(frames.Texts()[0].text, "0");
    g_showSeconds = 1;
    RecordingDrawContext seconds;
    wave->Draw(seconds);
    ASSERT_FALSE(seconds.Texts().empty());
    EXPECT_EQ(seconds.Texts()[0].text, "0.00");
    EXPECT_EQ(seconds.Texts()[0].bkMode, TRANSPARENT);
}

TEST_F(WaveView_Drawing, TooSmallDrawsNothingOfItsOwn) {
    TestWaveView* wave = Make<TestWaveView>(450, 74);
    RecordingDrawContext dc;
    wave->Draw(dc);
    EXPECT_TRUE(dc.Lines().empty());
    EXPECT_TRUE(dc.Texts().empty());
    EXPECT_TRUE(wave->GetMapping().IsInvalid());
}

}  // namespace
}  // namespace vokra::test

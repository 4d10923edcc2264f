// The whole road of one typical use, driven through the real window on the offscreen platform:
// load a voice, select frames with the mouse, AutoKey them, play the selection with Space, drag the
// keys, save, reopen, write the envelope, and check both files byte for byte.
#include <QPushButton>
#include <QTest>
#include <charconv>
#include <cstring>

#include "app/commands.h"
#include "document/vok_section.h"
#include "panes/qt/env_view.h"
#include "panes/qt/wave_view.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

std::string Bytes(const void* p, std::size_t n) {
    return std::string(static_cast<const char*>(p), n);
}
std::string I32(std::int32_t v) {
    return Bytes(&v, 4);
}
std::string F64(double v) {
    return Bytes(&v, 8);
}
std::string F32(float v) {
    return Bytes(&v, 4);
}
std::string Str(const std::string& s) {
    EXPECT_LT(s.size(), 255u);
    return std::string(1, static_cast<char>(s.size())) + s;
}

struct Key {
    std::int32_t frame;
    float opening;
};

std::vector<Key> KeysOf(const CVokraDoc& doc) {
    std::vector<Key> keys;
    for (std::int32_t i = 0; i < doc.GetKeys().GetCount(); ++i) {
        keys.push_back({doc.GetKeys().GetAt(i)->GetFrame(), doc.GetKeys().GetAt(i)->GetOpening()});
    }
    return keys;
}

std::string Fixed3(double v) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    return std::string(buf, ptr);
}

// True when column x of the picture has a dark pixel in most rows of the plot.
bool DarkColumn(const QImage& image, int x, int top, int bottom) {
    int dark = 0;
    for (int y = top; y < bottom; ++y) {
        if (qGray(image.pixel(x, y)) < 64) ++dark;
    }
    return dark > (bottom - top) * 3 / 4;
}

// The marker as the screen shows it: the pane's picture with the marker drawn over the back buffer.
bool ShowsMarkerAt(MSBView* pane, double position) {
    const QImage screen = pane->grab().toImage();
    const Rect plot = pane->GetMapping().GetPixelRect();
    const int x = pane->GetMapping().WorldToPixelX(position);
    const qreal dpr = screen.devicePixelRatio();
    return DarkColumn(screen, qRound(x * dpr), qRound((plot.top + 2) * dpr),
                      qRound((plot.bottom - 2) * dpr));
}

using EndToEnd = AppFixture;

TEST_F(EndToEnd, VoiceToEnvelopeFile) {
    Start();
    Frame().resize(900, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));

    // Load a two-second voice at 22050 Hz: 30 frames at 15 frames per second.
    const std::string wav = MakeVoice("voice.wav", 2.0);
    dialogs_->Answer(wav);
    Frame().OnCommand(ID_LOAD_SOUND);
    ASSERT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(dialogs_->Requests().back().filter.substr(0, 20), "Sound Files (*.wav;*");
    EXPECT_DOUBLE_EQ(Doc().GetTimeRange().GetExtentMax(), 30.5);
    Frame().PaintPanesNow();
    QApplication::processEvents();

    // Select frames 6 to 14 by dragging in the waveform pane.
    WaveView* wave = Frame().GetWavePane();
    EnvView* env = Frame().GetEnvelopePane();
    wave->PaintPane();
    const int y =
        (wave->GetMapping().GetPixelRect().top + wave->GetMapping().GetPixelRect().bottom) / 2;
    QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(wave->GetMapping().WorldToPixelX(5.2), y));
    QTest::mouseMove(wave, QPoint(wave->GetMapping().WorldToPixelX(10.0), y));
    QTest::mouseMove(wave, QPoint(wave->GetMapping().WorldToPixelX(14.2), y));
    QTest::mouseRelease(wave, Qt::LeftButton, {},
                        QPoint(wave->GetMapping().WorldToPixelX(14.2), y));
    EXPECT_DOUBLE_EQ(Doc().GetTimeRange().SelectionStart(), 5.5);
    EXPECT_DOUBLE_EQ(Doc().GetTimeRange().SelectionEnd(), 14.5);

    // AutoKey the selection.
    Frame().OnCommand(ID_AUTOKEY_PALETTE);
    auto* apply = Frame().GetAutoKeyPalette().findChild<QPushButton*>("apply");
    ASSERT_NE(apply, nullptr);
    ASSERT_TRUE(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    std::vector<Key> keys = KeysOf(Doc());
    ASSERT_EQ(keys.size(), 9u);
    float loudest = 0.0f;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].frame, static_cast<std::int32_t>(6 + i));
        EXPECT_GE(keys[i].opening, 0.0f);
        EXPECT_LE(keys[i].opening, 1.0f);
        loudest = std::max(loudest, keys[i].opening);
    }
    EXPECT_GT(loudest, 0.5f) << "a voice burst falls in the selection";
    EXPECT_TRUE(Doc().IsModified());

    // Play the selection with Space; the marker follows in both panes.
    env->setFocus();
    QTest::keyClick(env, Qt::Key_Space);
    CPlaybackPalette& playback = Frame().GetPlaybackPalette();
    ASSERT_EQ(playback.GetState(), CPlaybackPalette::kPlaying);
    ASSERT_FALSE(audio_->prepared.empty());
    EXPECT_EQ(audio_->prepared.back(), 22049 - 8820 + 1) << "frames 6..14 at 1470 samples each";
    audio_->heard = 11760 - 8820;  // frame 8.0 is being heard
    QTRY_VERIFY_WITH_TIMEOUT(ShowsMarkerAt(wave, 7.5) && ShowsMarkerAt(env, 7.5), 2000);
    audio_->heard = 17640 - 8820;  // frame 12.0
    QTRY_VERIFY_WITH_TIMEOUT(ShowsMarkerAt(wave, 11.5) && ShowsMarkerAt(env, 11.5), 2000);
    EXPECT_FALSE(ShowsMarkerAt(wave, 7.5)) << "the old marker is wiped";
    audio_->heard = 13230;  // the end of the range
    QTRY_COMPARE_WITH_TIMEOUT(playback.GetState(), static_cast<int>(CPlaybackPalette::kStopped),
                              2000);
    EXPECT_TRUE(ShowsMarkerAt(env, 14.5)) << "the marker rests at the right edge of the last frame";

    // Drag the selected keys up by grabbing the loudest one.
    env->PaintPane();
    std::size_t grab = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].opening == loudest) grab = i;
    }
    const QPoint from(env->GetMapping().WorldToPixelX(keys[grab].frame),
                      env->GetMapping().WorldToPixelY(keys[grab].opening));
    const QPoint to = from - QPoint(0, 20);
    QTest::mousePress(env, Qt::LeftButton, {}, from);
    QTest::mouseMove(env, from - QPoint(0, 10));
    QTest::mouseMove(env, to);
    QTest::mouseRelease(env, Qt::LeftButton, {}, to);
    const std::vector<Key> dragged = KeysOf(Doc());
    ASSERT_EQ(dragged.size(), keys.size());
    const float raised = dragged[grab].opening - keys[grab].opening;
    EXPECT_GT(raised, 0.05f);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(dragged[i].frame, keys[i].frame);
        EXPECT_GE(dragged[i].opening, keys[i].opening) << "every selected key moved up together";
    }
    keys = dragged;

    // Save as a new document, byte for byte.
    const std::string vok = dir_.File("voice.vok");
    dialogs_->Answer(vok);
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(Frame().windowTitle(), "voice.vok[*] - Vokra");
    std::string expected = Str("Vokra version 1 Copyright 1998 Quorvendale") + F64(15.0) + I32(7) +
                           F64(15.0) + I32(static_cast<std::int32_t>(keys.size()));
    for (const Key& k : keys) expected += I32(1) + I32(k.frame) + F32(k.opening);
    expected += Str(dir_.Path()) + Str("voice.wav") + Str("") + Str("");
    // The dragged keys are hand-made: the section after the strings keeps the mark.
    expected += WriteVokSection(Doc(), Doc().GetSectionKept());
    EXPECT_NE(WriteVokSection(Doc(), Doc().GetSectionKept()), "");
    EXPECT_EQ(ReadFile(vok), expected);

    // Start again from nothing and reopen it: the keys and the sound come back.
    Frame().OnCommand(ID_FILE_NEW);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0);
    EXPECT_FALSE(g_sound.IsLoaded());
    dialogs_->Answer(vok);
    Frame().OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(Doc().GetPathName(), vok);
    EXPECT_TRUE(g_sound.IsLoaded());
    const std::vector<Key> reopened = KeysOf(Doc());
    ASSERT_EQ(reopened.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(reopened[i].frame, keys[i].frame);
        EXPECT_EQ(reopened[i].opening, keys[i].opening);
    }

    // Write the envelope file.
    const std::string envPath = dir_.File("voice.env");
    dialogs_->Answer(envPath);
    Frame().OnCommand(ID_WRITE_ENVELOPE);
    std::string text = "LWEN\r\n1\r\n1\r\n" + std::to_string(keys.size()) + "\r\n";
    for (const Key& k : keys) {
        text += Fixed3(static_cast<double>(k.opening)) + "\r\n" + std::to_string(k.frame) +
                " 1 0 0 0\r\n";
    }
    EXPECT_EQ(ReadFile(envPath), text);
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "ENVDIR", "?"), dir_.Path());
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "WAVEDIR", "?"), dir_.Path());
}

}  // namespace
}  // namespace vokra::test

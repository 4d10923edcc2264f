// The Live palette on a sound file played in real time: the run starts, its frames reach the lips
// and the meter, the VMC output (nobody listening) shows its status, Stop finishes the take and
// offers it, and closing the palette mid-run finishes that take too, the window's own sound kept.
// The choices land in [Live].
#include "live/qt/live_palette.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <filesystem>

#include "live/qt/live_meter.h"
#include "platform/ini_file.h"
#include "sound/import/wave_bytes.h"
#include "sound/sound_data.h"
#include "tests/live/live_test_sound.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

// A loopback UDP port nobody listens on.
int FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Lets the palette's timer run until `done` or a generous deadline.
template <typename F>
bool RunUntil(F done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(20);
    }
    return true;
}

TEST(LivePalette, FileRunShowsFramesStatusesAndKeepsTheTakes) {
    test::TempDir dir;
    const std::string wav = dir.File("line.wav");
    ASSERT_TRUE(WriteWaveFile(wav, test::LiveLine(48000), 48000));
    const std::string ini = dir.File("vokra.ini");
    const int port = FreeUdpPort();
    IniFile(ini).WriteString("Live", "VmcTarget", "127.0.0.1:" + std::to_string(port));

    // The window's own sound, which writing a take must leave as it was.
    const std::string windowWav = dir.File("window.wav");
    const auto windowLine = test::LiveLine(22050);
    ASSERT_TRUE(WriteWaveFile(
        windowWav, std::vector<std::int16_t>(windowLine.begin(), windowLine.begin() + 30000),
        22050));
    ASSERT_EQ(g_sound.Load(windowWav), 0);

    CLivePalette palette(ini);
    std::vector<std::string> offered;
    palette.askOpenTake = [&](const std::string& path) {
        offered.push_back(path);
        return true;
    };
    std::vector<std::string> opened;
    palette.openTake = [&](const std::string& path) { opened.push_back(path); };
    palette.show();
    palette.UseFile(wav);
    const QImage idle = palette.LipsImage();

    // Stop mid-line, then closing mid-line: both takes are written whole.
    struct Case {
        const char* take;
        bool closeInstead;
    };
    for (const Case c : {Case{"take.vok", false}, Case{"closed.vok", true}}) {
        SCOPED_TRACE(c.take);
        const std::string take = dir.File(c.take);
        palette.askTakePath = [&] { return take; };
        ASSERT_TRUE(palette.Start(true)) << palette.StatusText().toStdString();
        ASSERT_TRUE(palette.IsRunning());
        // The lips move: the picture changes several times as the line goes on.
        QImage last = idle;
        int changes = 0;
        ASSERT_TRUE(RunUntil([&] {
            const QImage now = palette.LipsImage();
            if (now != last) ++changes;
            last = now;
            return palette.FramesSeen() > 80 && changes >= 3;
        }));
        EXPECT_GT(palette.Meter()->LevelDb(), LiveLevelMeter::kFloorDb);
        EXPECT_GT(palette.Meter()->GateDb(), LiveLevelMeter::kFloorDb);
        // UDP has nobody to answer: the light says the packets leave, and says so in words.
        EXPECT_NE(palette.VmcLight()->Link(), LiveLink::Off);
        EXPECT_FALSE(palette.VmcStatusText().isEmpty());
        if (c.closeInstead) {
            palette.close();
            EXPECT_FALSE(palette.IsRunning());
        } else {
            palette.Stop();
            ASSERT_TRUE(RunUntil([&] { return !palette.IsRunning(); }));
        }
        EXPECT_EQ(palette.LastTake(), take);
        EXPECT_TRUE(std::filesystem::is_regular_file(take));
        EXPECT_GT(std::filesystem::file_size(take), 0u);
    }
    EXPECT_EQ(g_sound.GetSampleCount(), 30000);
    EXPECT_EQ(g_sound.GetSampleRate(), 22050);
    // Only the take stopped from the palette is offered; closing offers nothing.
    EXPECT_EQ(offered, std::vector<std::string>{dir.File("take.vok")});
    EXPECT_EQ(opened, offered);
    IniFile settings(ini);
    EXPECT_EQ(settings.GetInt("Live", "Vmc", 0), 1);
    EXPECT_EQ(settings.GetInt("Live", "LookAheadMs", -1), 40);
    EXPECT_EQ(settings.GetString("Live", "VmcTarget", ""), "127.0.0.1:" + std::to_string(port));
}

}  // namespace
}  // namespace vokra

#pragma once
// Shapes > Live...: the window's live lip sync. A modeless tool window on the live core: the input
// (a microphone by name, or a sound file played in real time), a level meter with the noise
// gate's threshold, the lips as they move, the VMC and VTube Studio outputs each with a status
// light, the measured latency, Start/Stop and Record (the take kept as a document and offered to
// open). The run has a thread of its own; the palette looks at it on a timer and never waits on
// it, except for a bounded moment when it closes, so the take is finished.
#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>
#include <string>

#include "live/live_background_run.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace vokra {

class LipPreview;
class LiveLevelMeter;
class LiveLight;

class CLivePalette : public QDialog {
    Q_OBJECT
public:
    // `settingsPath`: the INI file whose [Live] section keeps the choices and the VTube Studio
    // token. Created hidden.
    CLivePalette(const std::string& settingsPath, QWidget* parent = nullptr);
    ~CLivePalette() override;

    // Fills the device list from the capture devices (the default microphone first).
    void RefreshDevices();
    // Offers a sound file as the input and chooses it.
    void UseFile(const std::string& path);

    // Start (true) or Stop; Record starts with a take. False with the reason shown when the run
    // cannot start.
    bool Start(bool record);
    void Stop();
    bool IsRunning() const { return run_ != nullptr; }
    // One look at the run (the timer's tick; tests call it).
    void Poll();

    // Asks where to keep a take (empty: not now), whether to open a finished take, and a sound
    // file to play; tests answer these themselves.
    std::function<std::string()> askTakePath;
    std::function<bool(const std::string& path)> askOpenTake;
    std::function<std::string()> askFile;
    // Opens a finished take in the window.
    std::function<void(const std::string& path)> openTake;

    // What the palette shows, for tests.
    QImage LipsImage() const;
    const LiveLevelMeter* Meter() const { return meter_; }
    const LiveLight* VmcLight() const { return vmcLight_; }
    QString VmcStatusText() const;
    QString StatusText() const;
    std::int64_t FramesSeen() const { return framesSeen_; }
    const std::string& LastTake() const { return lastTake_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape closes it like the close box: the run ends.
    void reject() override;

private:
    void Build();
    void LoadSettings();
    void SaveSettings();
    void SetRunning(bool running, bool recording);
    void ShowStatus(LiveLight* light, QLabel* text, const LiveSinkStatus& status);
    void Finished(const LiveSnapshot& s);
    // Ends the run now, waiting a bounded moment for it (closing), and finishes the take.
    void EndRun();
    // Writes the take gathered by the ended run; false with the reason in `error`.
    bool FinishTake(std::string& error);

    std::string settingsPath_;
    std::unique_ptr<LiveBackgroundRun> run_;
    QTimer* timer_ = nullptr;
    // Where each output's status sits in the run's sinks (-1: not in this run).
    int vmcIndex_ = -1;
    int vtsIndex_ = -1;
    std::string takePath_;
    // The take's sink, shared with the run, which only gathers into it: it is finished here.
    std::shared_ptr<LiveSink> take_;
    std::string lastTake_;
    std::int64_t framesSeen_ = 0;
    LiveFrame shown_;

    QComboBox* device_ = nullptr;
    QSpinBox* lookAhead_ = nullptr;
    QSpinBox* hold_ = nullptr;
    QSpinBox* sensitivity_ = nullptr;
    LiveLevelMeter* meter_ = nullptr;
    QLabel* levelText_ = nullptr;
    LipPreview* lips_ = nullptr;
    QCheckBox* vmcOn_ = nullptr;
    QLineEdit* vmcTarget_ = nullptr;
    QCheckBox* vrm1_ = nullptr;
    LiveLight* vmcLight_ = nullptr;
    QLabel* vmcStatus_ = nullptr;
    QCheckBox* vtsOn_ = nullptr;
    QLineEdit* vtsUrl_ = nullptr;
    LiveLight* vtsLight_ = nullptr;
    QLabel* vtsStatus_ = nullptr;
    QLabel* latency_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* record_ = nullptr;
};

}  // namespace vokra

// The Live palette's window: its controls, the run it starts and stops, the timer that shows the
// run's frames and statuses, and the choices kept in the settings file.
#include "live/qt/live_palette.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <iostream>

#include "document/app_values.h"
#include "live/live_net_sinks.h"
#include "live/live_take.h"
#include "live/live_vts_sink.h"
#include "live/qt/live_meter.h"
#include "palettes/lip_picture.h"
#include "palettes/qt/lip_preview.h"
#include "platform/ini_file.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr const char* kSection = "Live";
constexpr int kPollMs = 33;  // about 30 looks a second: smooth lips, little work
constexpr int kEndWaitMs = 5000;
// The combo's items: what each input is.
constexpr int kKindRole = Qt::UserRole;
constexpr int kValueRole = Qt::UserRole + 1;
enum InputKind { kMicrophone, kFile, kAskFile };

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The take's sink as the run sees it: it gathers the sound and the mouths on the run's thread,
// but its end is left to the window's thread. Writing the take loads it into a document of its
// own through the program's one sound, which the window's document holds and must get back.
class GatherOnly final : public LiveSink {
public:
    explicit GatherOnly(std::shared_ptr<LiveSink> take) : take_(std::move(take)) {}
    std::string Name() const override { return take_->Name(); }
    void Begin(std::int32_t rate) override { take_->Begin(rate); }
    void Samples(const std::int16_t* samples, std::size_t count) override {
        take_->Samples(samples, count);
    }
    void Frame(const LiveFrame& frame) override { take_->Frame(frame); }
    LiveSinkStatus Status() const override { return take_->Status(); }

private:
    std::shared_ptr<LiveSink> take_;
};

}  // namespace

CLivePalette::CLivePalette(const std::string& settingsPath, QWidget* parent)
    : QDialog(parent, Qt::Tool), settingsPath_(settingsPath) {
    setWindowTitle(QStringLiteral("Live"));
    setObjectName(QStringLiteral("livePalette"));
    askTakePath = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Record a Take"), QString(),
                                            QStringLiteral("Vokra documents (*.vok)"))
            .toStdString();
    };
    askOpenTake = [this](const std::string& path) {
        return QMessageBox::question(this, QStringLiteral("Live"),
                                     QStringLiteral("The take is kept in %1.\nOpen it now?")
                                         .arg(QFileInfo(Q(path)).fileName())) == QMessageBox::Yes;
    };
    askFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Play a Sound File Live"))
            .toStdString();
    };
    Build();
    LoadSettings();
    timer_ = new QTimer(this);
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &CLivePalette::Poll);
}

CLivePalette::~CLivePalette() {
    EndRun();
}

void CLivePalette::Build() {
    auto* top = new QVBoxLayout(this);

    auto* input = new QGroupBox(QStringLiteral("Input"), this);
    auto* ig = new QGridLayout(input);
    device_ = new QComboBox(input);
    device_->setObjectName(QStringLiteral("device"));
    device_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    device_->setMinimumContentsLength(24);
    ig->addWidget(new QLabel(QStringLiteral("&Device:"), input), 0, 0);
    ig->addWidget(device_, 0, 1, 1, 3);
    qobject_cast<QLabel*>(ig->itemAtPosition(0, 0)->widget())->setBuddy(device_);
    meter_ = new LiveLevelMeter(input);
    meter_->setToolTip(
        QStringLiteral("The voice's level; the red line is the noise gate's threshold"));
    levelText_ = new QLabel(QStringLiteral("– dB"), input);
    levelText_->setMinimumWidth(
        levelText_->fontMetrics().horizontalAdvance(QStringLiteral("-88 dB")));
    ig->addWidget(new QLabel(QStringLiteral("Level:"), input), 1, 0);
    ig->addWidget(meter_, 1, 1, 1, 2);
    ig->addWidget(levelText_, 1, 3);
    auto spin = [input](int lo, int hi, const char* suffix, const char* name) {
        auto* s = new QSpinBox(input);
        s->setRange(lo, hi);
        s->setSuffix(QString::fromLatin1(suffix));
        s->setObjectName(QString::fromLatin1(name));
        return s;
    };
    lookAhead_ = spin(0, LiveSettings::kMaxLookAheadMs, " ms", "lookAhead");
    lookAhead_->setToolTip(QStringLiteral("How much later sound a mouth waits for: surer, later"));
    hold_ = spin(0, LiveSettings::kMaxHoldMs, " ms", "hold");
    hold_->setToolTip(QStringLiteral("The least time a mouth is shown"));
    sensitivity_ = spin(0, 100, " %", "sensitivity");
    sensitivity_->setToolTip(
        QStringLiteral("The noise gate: 0 opens for a loud voice only, 100 for a whisper"));
    auto* settings = new QHBoxLayout;
    settings->addWidget(new QLabel(QStringLiteral("Look-ahead:"), input));
    settings->addWidget(lookAhead_);
    settings->addWidget(new QLabel(QStringLiteral("Hold:"), input));
    settings->addWidget(hold_);
    settings->addWidget(new QLabel(QStringLiteral("Sensitivity:"), input));
    settings->addWidget(sensitivity_);
    settings->addStretch();
    ig->addLayout(settings, 2, 0, 1, 4);
    ig->setColumnStretch(1, 1);
    top->addWidget(input);

    lips_ = new LipPreview(this);
    lips_->setObjectName(QStringLiteral("lips"));
    lips_->setMinimumSize(200, 120);
    lips_->SetPainter([this](DrawContext& dc, int width, int height) {
        if (framesSeen_ == 0) {
            DrawMouthPicture(dc, width, height, MouthShape::X, -1.0, -1);
            return;
        }
        // Half open at the least, so a quiet vowel still reads as its mouth.
        // No frame number: live windows are not the document's frames.
        DrawMouthPicture(dc, width, height, shown_.mouth, 0.5 + 0.5 * shown_.opening, -1);
    });
    top->addWidget(lips_, 1);

    auto* outputs = new QGroupBox(QStringLiteral("Outputs"), this);
    auto* og = new QGridLayout(outputs);
    vmcOn_ = new QCheckBox(QStringLiteral("&VMC"), outputs);
    vmcOn_->setObjectName(QStringLiteral("vmcOn"));
    vmcOn_->setToolTip(QStringLiteral("VMC over OSC/UDP: VSeeFace and other VMC receivers"));
    vmcTarget_ = new QLineEdit(outputs);
    vmcTarget_->setObjectName(QStringLiteral("vmcTarget"));
    vmcTarget_->setPlaceholderText(QStringLiteral("127.0.0.1:39540"));
    vrm1_ = new QCheckBox(QStringLiteral("VRM &1 names"), outputs);
    vrm1_->setToolTip(QStringLiteral("Send aa ih ou ee oh instead of A I U E O"));
    vmcLight_ = new LiveLight(outputs);
    vmcStatus_ = new QLabel(outputs);
    vmcStatus_->setObjectName(QStringLiteral("vmcStatus"));
    og->addWidget(vmcOn_, 0, 0);
    og->addWidget(vmcTarget_, 0, 1);
    og->addWidget(vrm1_, 0, 2);
    og->addWidget(vmcLight_, 1, 0, Qt::AlignRight);
    og->addWidget(vmcStatus_, 1, 1, 1, 2);
    vtsOn_ = new QCheckBox(QStringLiteral("VTube &Studio"), outputs);
    vtsOn_->setObjectName(QStringLiteral("vtsOn"));
    vtsOn_->setToolTip(
        QStringLiteral("VTube Studio's plugin API; allow the plugin there the first time"));
    vtsUrl_ = new QLineEdit(outputs);
    vtsUrl_->setObjectName(QStringLiteral("vtsUrl"));
    vtsUrl_->setPlaceholderText(QStringLiteral("ws://localhost:8001"));
    vtsLight_ = new LiveLight(outputs);
    vtsStatus_ = new QLabel(outputs);
    og->addWidget(vtsOn_, 2, 0);
    og->addWidget(vtsUrl_, 2, 1, 1, 2);
    og->addWidget(vtsLight_, 3, 0, Qt::AlignRight);
    og->addWidget(vtsStatus_, 3, 1, 1, 2);
    og->setColumnStretch(1, 1);
    top->addWidget(outputs);

    auto* bottom = new QHBoxLayout;
    latency_ = new QLabel(QStringLiteral("Latency: –"), this);
    latency_->setObjectName(QStringLiteral("latency"));
    latency_->setToolTip(
        QStringLiteral("From a sample's arrival to its frame leaving, over the last half second"));
    start_ = new QPushButton(QStringLiteral("S&tart"), this);
    start_->setObjectName(QStringLiteral("start"));
    record_ = new QPushButton(QStringLiteral("&Record..."), this);
    record_->setObjectName(QStringLiteral("record"));
    record_->setToolTip(QStringLiteral("Start and keep the take as a document"));
    bottom->addWidget(latency_, 1);
    bottom->addWidget(start_);
    bottom->addWidget(record_);
    top->addLayout(bottom);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    top->addWidget(status_);

    connect(start_, &QPushButton::clicked, this, [this] {
        if (run_)
            Stop();
        else
            Start(false);
    });
    connect(record_, &QPushButton::clicked, this, [this] { Start(true); });
    connect(device_, &QComboBox::activated, this, [this](int index) {
        if (device_->itemData(index, kKindRole).toInt() != kAskFile) return;
        const std::string path = askFile ? askFile() : std::string();
        if (path.empty())
            device_->setCurrentIndex(0);
        else
            UseFile(path);
    });
    ShowStatus(vmcLight_, vmcStatus_, {});
    ShowStatus(vtsLight_, vtsStatus_, {});
}

void CLivePalette::RefreshDevices() {
    const QString chosen = device_->currentData(kValueRole).toString();
    const int chosenKind = device_->currentData(kKindRole).toInt();
    std::string why;
    const auto names = LiveCaptureDevices(why);
    device_->clear();
    device_->addItem(QStringLiteral("Default microphone"));
    device_->setItemData(0, kMicrophone, kKindRole);
    device_->setItemData(0, QString(), kValueRole);
    for (const auto& name : names) {
        device_->addItem(Q(name));
        device_->setItemData(device_->count() - 1, kMicrophone, kKindRole);
        device_->setItemData(device_->count() - 1, Q(name), kValueRole);
    }
    device_->addItem(QStringLiteral("Sound file..."));
    device_->setItemData(device_->count() - 1, kAskFile, kKindRole);
    if (!why.empty()) status_->setText(Q(why));
    if (chosenKind == kFile && !chosen.isEmpty()) {
        UseFile(chosen.toStdString());
        return;
    }
    for (int i = 0; i < device_->count(); ++i) {
        if (device_->itemData(i, kKindRole).toInt() == kMicrophone &&
            device_->itemData(i, kValueRole).toString() == chosen)
            device_->setCurrentIndex(i);
    }
}

void CLivePalette::UseFile(const std::string& path) {
    const QString p = Q(path);
    int at = -1;
    for (int i = 0; i < device_->count(); ++i) {
        if (device_->itemData(i, kKindRole).toInt() == kFile &&
            device_->itemData(i, kValueRole).toString() == p)
            at = i;
    }
    if (at < 0) {
        at = std::max(0, device_->count() - 1);  // before "Sound file..."
        device_->insertItem(at, QStringLiteral("File: ") + QFileInfo(p).fileName());
        device_->setItemData(at, kFile, kKindRole);
        device_->setItemData(at, p, kValueRole);
        device_->setItemData(at, p, Qt::ToolTipRole);
    }
    device_->setCurrentIndex(at);
}

void CLivePalette::LoadSettings() {
    IniFile ini(settingsPath_);
    const LiveSettings d;
    lookAhead_->setValue(ini.GetInt(kSection, "LookAheadMs", d.lookAheadMs));
    hold_->setValue(ini.GetInt(kSection, "HoldMs", d.holdMs));
    sensitivity_->setValue(
        ini.GetInt(kSection, "SensitivityPercent", static_cast<int>(d.sensitivity * 100)));
    vmcOn_->setChecked(ini.GetInt(kSection, "Vmc", 1) != 0);
    vmcTarget_->setText(Q(ini.GetString(kSection, "VmcTarget", "")));
    vrm1_->setChecked(ini.GetInt(kSection, "Vrm1", 0) != 0);
    vtsOn_->setChecked(ini.GetInt(kSection, "Vts", 0) != 0);
    vtsUrl_->setText(Q(ini.GetString(kSection, "VtsUrl", "")));
    // The device by name; one no longer plugged in is offered still, for when it comes back.
    const std::string device = ini.GetString(kSection, "Device", "");
    RefreshDevices();
    if (!device.empty()) {
        const int at = device_->findData(Q(device), kValueRole);
        if (at >= 0) {
            device_->setCurrentIndex(at);
        } else {
            device_->insertItem(1, Q(device) + QStringLiteral(" (not found)"));
            device_->setItemData(1, kMicrophone, kKindRole);
            device_->setItemData(1, Q(device), kValueRole);
            device_->setCurrentIndex(1);
        }
    }
}

void CLivePalette::SaveSettings() {
    IniFile ini(settingsPath_);
    if (device_->currentData(kKindRole).toInt() == kMicrophone)
        ini.WriteString(kSection, "Device",
                        device_->currentData(kValueRole).toString().toStdString());
    ini.WriteInt(kSection, "LookAheadMs", lookAhead_->value());
    ini.WriteInt(kSection, "HoldMs", hold_->value());
    ini.WriteInt(kSection, "SensitivityPercent", sensitivity_->value());
    ini.WriteInt(kSection, "Vmc", vmcOn_->isChecked() ? 1 : 0);
    ini.WriteString(kSection, "VmcTarget", vmcTarget_->text().trimmed().toStdString());
    ini.WriteInt(kSection, "Vrm1", vrm1_->isChecked() ? 1 : 0);
    ini.WriteInt(kSection, "Vts", vtsOn_->isChecked() ? 1 : 0);
    ini.WriteString(kSection, "VtsUrl", vtsUrl_->text().trimmed().toStdString());
}

bool CLivePalette::Start(bool record) {
    if (run_) return false;
    auto fail = [this](const std::string& why) {
        status_->setText(Q(why));
        return false;
    };
    const int kind = device_->currentData(kKindRole).toInt();
    const std::string value = device_->currentData(kValueRole).toString().toStdString();
    std::string why;
    std::unique_ptr<LiveSource> source;
    if (kind == kFile)
        source = OpenLiveFile(value, why);
    else if (kind == kMicrophone)
        source = OpenLiveCapture(value, 48000, why);
    else
        return fail("Choose a microphone or a sound file.");
    if (!source) return fail(why);

    std::vector<std::unique_ptr<LiveSink>> sinks;
    vmcIndex_ = vtsIndex_ = -1;
    if (vmcOn_->isChecked()) {
        auto sink = MakeVmcSink(vmcTarget_->text().trimmed().toStdString(), DefaultLiveVrmMap(),
                                vrm1_->isChecked(), why);
        if (!sink) return fail("VMC: " + why);
        vmcIndex_ = static_cast<int>(sinks.size());
        sinks.push_back(std::move(sink));
    }
    if (vtsOn_->isChecked()) {
        VtsOptions vts;
        vts.url = vtsUrl_->text().trimmed().toStdString();
        vts.settingsPath = settingsPath_;
        auto sink = MakeVtsSink(vts, DefaultLiveVrmMap(), why);
        if (!sink) return fail("VTube Studio: " + why);
        vtsIndex_ = static_cast<int>(sinks.size());
        sinks.push_back(std::move(sink));
    }
    takePath_.clear();
    if (record) {
        const std::string path = askTakePath ? askTakePath() : std::string();
        if (path.empty()) return false;
        std::shared_ptr<LiveSink> sink =
            MakeTakeSink(path, kind == kFile ? value : std::string(), why);
        if (!sink) return fail("Record: " + why);
        takePath_ = path;
        take_ = sink;
        sinks.push_back(std::make_unique<GatherOnly>(std::move(sink)));
    }
    LiveSettings settings;
    settings.lookAheadMs = lookAhead_->value();
    settings.holdMs = hold_->value();
    settings.sensitivity = sensitivity_->value() / 100.0;
    SaveSettings();

    framesSeen_ = 0;
    latency_->setText(QStringLiteral("Latency: –"));
    run_ = std::make_unique<LiveBackgroundRun>(std::move(source), std::move(sinks),
                                               ClampedLiveSettings(settings));
    SetRunning(true, record);
    status_->setText(record ? QStringLiteral("Recording a take.") : QStringLiteral("Running."));
    timer_->start();
    return true;
}

void CLivePalette::Stop() {
    if (!run_) return;
    run_->Stop();
    start_->setEnabled(false);
    start_->setText(QStringLiteral("Stopping..."));
}

void CLivePalette::SetRunning(bool running, bool recording) {
    if (!running) {
        // At rest between runs: the mouth shut, the meter empty.
        shown_ = LiveFrame{};
        lips_->update();
        meter_->Show(LiveLevelMeter::kFloorDb, meter_->GateDb(), false);
        levelText_->setText(QStringLiteral("– dB"));
    }
    start_->setEnabled(true);
    start_->setText(running ? QStringLiteral("S&top") : QStringLiteral("S&tart"));
    record_->setEnabled(!running);
    record_->setText(running && recording ? QStringLiteral("Recording")
                                          : QStringLiteral("&Record..."));
    for (QWidget* w : {static_cast<QWidget*>(device_), static_cast<QWidget*>(lookAhead_),
                       static_cast<QWidget*>(hold_), static_cast<QWidget*>(sensitivity_),
                       static_cast<QWidget*>(vmcOn_), static_cast<QWidget*>(vmcTarget_),
                       static_cast<QWidget*>(vrm1_), static_cast<QWidget*>(vtsOn_),
                       static_cast<QWidget*>(vtsUrl_)})
        w->setEnabled(!running);
}

void CLivePalette::ShowStatus(LiveLight* light, QLabel* text, const LiveSinkStatus& status) {
    light->Show(status.link);
    QString line = Q(LiveLinkName(status.link));
    // UDP gets no answer: all that is known is that the packets leave.
    if (light == vmcLight_ && status.link == LiveLink::Connected)
        line = QStringLiteral("sending (a VMC receiver does not answer)");
    if (!status.reason.empty()) line += QStringLiteral(": ") + Q(status.reason);
    const QString elided =
        text->fontMetrics().elidedText(line, Qt::ElideRight, std::max(120, text->width()));
    text->setText(elided);
    text->setToolTip(line);
    light->setToolTip(line);
}

void CLivePalette::Poll() {
    if (!run_) return;
    const LiveSnapshot s = run_->Take();
    if (s.hasFrame) {
        if (s.frame.window != shown_.window || framesSeen_ == 0) {
            shown_ = s.frame;
            framesSeen_ = std::max<std::int64_t>(framesSeen_ + 1, s.frame.window + 1);
            lips_->update();
        }
        meter_->Show(s.peakDb, s.frame.gateDb, s.frame.gateOpen);
        levelText_->setText(QStringLiteral("%1 dB").arg(static_cast<int>(std::lround(s.peakDb))));
        if (s.latencyMs >= 0.0)
            latency_->setText(
                QStringLiteral("Latency: %1 ms").arg(static_cast<int>(std::lround(s.latencyMs))));
    }
    auto statusOf = [&s](int index) {
        return index >= 0 && index < static_cast<int>(s.statuses.size())
                   ? s.statuses[static_cast<std::size_t>(index)]
                   : LiveSinkStatus{};
    };
    ShowStatus(vmcLight_, vmcStatus_, statusOf(vmcIndex_));
    ShowStatus(vtsLight_, vtsStatus_, statusOf(vtsIndex_));
    if (!s.log.empty()) status_->setText(Q(s.log.back()));
    if (s.finished) Finished(s);
}

void CLivePalette::Finished(const LiveSnapshot& s) {
    timer_->stop();
    run_.reset();  // its thread has ended: joined at once
    SetRunning(false, false);
    QString line =
        s.ok ? QStringLiteral("Stopped after %1 s.").arg(s.stats.frames / 100.0, 0, 'f', 1)
             : Q(s.error);
    if (s.stats.dropped > 0)
        line += QStringLiteral(" %1 samples were lost: the analysis fell behind the input.")
                    .arg(s.stats.dropped);
    const std::string take = std::exchange(takePath_, std::string());
    std::string why;
    const bool kept = take_ && FinishTake(why);
    if (!why.empty()) line += QStringLiteral(" The take: ") + Q(why);
    status_->setText(line);
    if (kept) {
        lastTake_ = take;
        if (askOpenTake && askOpenTake(take) && openTake) openTake(take);
    }
}

bool CLivePalette::FinishTake(std::string& error) {
    const std::shared_ptr<LiveSink> take = std::exchange(take_, nullptr);
    if (!take) return false;
    // The window's sound is put aside while the take is loaded and written, then put back.
    SoundData windows;
    windows.TakeFrom(g_sound);
    const double amplitude = g_maxAmplitude;
    const std::string folder = g_currentDir;
    const bool ok = take->End(error);
    g_sound.TakeFrom(windows);
    g_maxAmplitude = amplitude;
    g_currentDir = folder;
    return ok;
}

void CLivePalette::EndRun() {
    if (!run_) return;
    run_->Stop();
    // The take is written as the run ends: give it a bounded moment, then let the thread go.
    if (run_->Wait(kEndWaitMs)) {
        std::string why;
        if (take_ && FinishTake(why))
            lastTake_ = takePath_;
        else if (!why.empty())
            std::cerr << "vokra: the take " << takePath_ << ": " << why << "\n";
    } else if (take_) {
        // The run still holds the take: it cannot be written under it.
        std::cerr << "vokra: the live run did not end; the take " << takePath_
                  << " was not written\n";
    }
    take_.reset();
    timer_->stop();
    run_.reset();
    takePath_.clear();
    SetRunning(false, false);
}

void CLivePalette::closeEvent(QCloseEvent* event) {
    EndRun();
    QDialog::closeEvent(event);
}

void CLivePalette::reject() {
    close();
}

QImage CLivePalette::LipsImage() const {
    return lips_->Render();
}

QString CLivePalette::VmcStatusText() const {
    return vmcStatus_->toolTip();
}

QString CLivePalette::StatusText() const {
    return status_->text();
}

}  // namespace vokra

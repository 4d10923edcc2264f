#pragma once
// The Live palette's small gauges: the level meter with the noise gate's threshold on it, and a
// status light for an output's link.
#include <QWidget>

#include "live/live_sink.h"

namespace vokra {

class LiveLevelMeter : public QWidget {
    Q_OBJECT
public:
    static constexpr float kFloorDb = -72.0f;  // the meter's left end; 0 dBFS its right

    explicit LiveLevelMeter(QWidget* parent = nullptr);
    // The level (dBFS), the gate's threshold and whether the gate let the voice through.
    void Show(float levelDb, float gateDb, bool open);
    float LevelDb() const { return level_; }
    float GateDb() const { return gate_; }
    QSize sizeHint() const override { return {220, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float level_ = kFloorDb;
    float gate_ = kFloorDb;
    bool open_ = false;
};

class LiveLight : public QWidget {
    Q_OBJECT
public:
    explicit LiveLight(QWidget* parent = nullptr);
    void Show(LiveLink link);
    LiveLink Link() const { return link_; }
    QSize sizeHint() const override { return {14, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LiveLink link_ = LiveLink::Off;
};

}  // namespace vokra

// Painting the level meter and the status lights.
#include "live/qt/live_meter.h"

#include <QPainter>
#include <algorithm>

namespace vokra {
namespace {

double MeterX(float db, int width) {
    const float clamped = std::clamp(db, LiveLevelMeter::kFloorDb, 0.0f);
    return (clamped - LiveLevelMeter::kFloorDb) / -LiveLevelMeter::kFloorDb * width;
}

}  // namespace

LiveLevelMeter::LiveLevelMeter(QWidget* parent) : QWidget(parent) {
    setMinimumSize(120, 14);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LiveLevelMeter::Show(float levelDb, float gateDb, bool open) {
    if (levelDb == level_ && gateDb == gate_ && open == open_) return;
    level_ = levelDb;
    gate_ = gateDb;
    open_ = open;
    update();
}

void LiveLevelMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, palette().color(QPalette::Base));
    const int w = r.width();
    // Under the gate the voice is taken for the room: grey; over it, green.
    const int lx = static_cast<int>(MeterX(level_, w));
    p.fillRect(QRect(r.left(), r.top() + 1, lx, r.height() - 1),
               open_ ? QColor(60, 170, 80) : QColor(150, 150, 150));
    const int gx = static_cast<int>(MeterX(gate_, w));
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(gx, r.top(), gx, r.bottom());
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r);
}

LiveLight::LiveLight(QWidget* parent) : QWidget(parent) {
    setFixedSize(14, 14);
}

void LiveLight::Show(LiveLink link) {
    if (link == link_) return;
    link_ = link;
    update();
}

void LiveLight::paintEvent(QPaintEvent*) {
    QColor c(150, 150, 150);  // off
    switch (link_) {
        case LiveLink::Off:
            break;
        case LiveLink::Connecting:
            c = QColor(230, 190, 40);
            break;
        case LiveLink::Connected:
            c = QColor(50, 180, 70);
            break;
        case LiveLink::NoReply:
            c = QColor(240, 130, 30);
            break;
        case LiveLink::Refused:
            c = QColor(210, 40, 40);
            break;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(c.darker(150));
    p.setBrush(c);
    p.drawEllipse(QRectF(1.5, 1.5, width() - 3.0, height() - 3.0));
}

}  // namespace vokra

#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "app/commands.h"

namespace vokra {
namespace {

using Painter = std::function<void(QPainter&)>;

// Renders a picture given in logical pixels at the common device pixel ratios. Coordinates on
// pixel centres (x.5) keep one-pixel lines crisp at every ratio.
QIcon Render(int width, int height, const Painter& paint, std::initializer_list<qreal> ratios) {
    QIcon icon;
    for (qreal dpr : ratios) {
        QPixmap pm(qRound(width * dpr), qRound(height * dpr));
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, true);
        paint(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

const QColor kInk(32, 32, 32);

QPen Pen(const QColor& c, qreal w = 1.0) {
    QPen pen(c, w);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// A page with a folded top-right corner, covering columns x0..x1 and rows y0..y1.
void Page(QPainter& p, int x0, int y0, int x1, int y1) {
    QPainterPath path;
    path.moveTo(x0 + 0.5, y0 + 0.5);
    path.lineTo(x1 - 3 + 0.5, y0 + 0.5);
    path.lineTo(x1 + 0.5, y0 + 3 + 0.5);
    path.lineTo(x1 + 0.5, y1 + 0.5);
    path.lineTo(x0 + 0.5, y1 + 0.5);
    path.closeSubpath();
    p.setPen(Pen(kInk));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{
        {x1 - 3 + 0.5, y0 + 0.5}, {x1 - 3 + 0.5, y0 + 3 + 0.5}, {x1 + 0.5, y0 + 3 + 0.5}});
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(225, 240, 255));
    p.drawEllipse(QPointF(6.5, 6.5), 5.0, 5.0);
    p.setPen(Pen(kInk, 2.0));
    p.drawLine(QPointF(10.5, 10.5), QPointF(14.0, 14.0));
    p.setPen(Pen(QColor(0, 0, 160)));
    p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
    if (plus) p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
}

void DrawNew(QPainter& p) {
    Page(p, 2, 0, 12, 14);
}

void DrawOpen(QPainter& p) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(230, 190, 60));
    // The folder's back with its tab, then the front flap tilted open.
    p.drawPolygon(
        QPolygonF{{0.5, 3.5}, {5.5, 3.5}, {6.5, 4.5}, {12.5, 4.5}, {12.5, 13.5}, {0.5, 13.5}});
    p.setBrush(QColor(250, 220, 110));
    p.drawPolygon(QPolygonF{{0.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {12.5, 13.5}});
    p.setPen(Pen(QColor(0, 120, 0)));
    p.drawPolyline(QPolygonF{{9.5, 3.5}, {11.5, 1.5}, {13.5, 3.5}});
    p.drawLine(QPointF(11.5, 1.5), QPointF(11.5, 5.5));
}

void DrawSave(QPainter& p) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(40, 70, 150));
    p.drawPolygon(QPolygonF{{1.5, 1.5}, {13.5, 1.5}, {14.5, 2.5}, {14.5, 13.5}, {1.5, 13.5}});
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 2, 8, 5));  // the label
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(4, 9, 8, 4));  // the shutter
    p.setBrush(QColor(40, 70, 150));
    p.drawRect(QRectF(9, 10, 2, 2));
}

// Vertical bars of a voice's waveform between columns 1 and 14.
void Waveform(QPainter& p, const QColor& color, qreal mid, int x0, int x1) {
    static const int heights[] = {1, 3, 5, 2, 6, 4, 1, 2, 5, 3, 6, 2, 1, 3};
    p.setPen(Pen(color));
    for (int x = x0; x <= x1; ++x) {
        const int h = heights[(x - x0) % 14];
        p.drawLine(QPointF(x + 0.5, mid - h + 0.5), QPointF(x + 0.5, mid + h - 0.5));
    }
}

void DrawLoadSound(QPainter& p) {
    Waveform(p, QColor(0, 110, 40), 7.5, 1, 14);
}

void DrawWriteEnvelope(QPainter& p) {
    Page(p, 1, 0, 13, 14);
    const QPolygonF line{{3.5, 11.5}, {5.5, 6.5}, {7.5, 9.5}, {9.5, 4.5}, {11.5, 10.5}};
    p.setPen(Pen(QColor(200, 0, 0)));
    p.drawPolyline(line);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    for (const QPointF& pt : line) p.drawRect(QRectF(pt.x() - 1.0, pt.y() - 1.0, 2, 2));
}

void DrawPlaybackPalette(QPainter& p) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 14), 2, 2);
    p.setPen(Pen(QColor(0, 100, 0)));
    p.setBrush(QColor(40, 170, 60));
    p.drawPolygon(QPolygonF{{5.5, 3.5}, {11.5, 7.5}, {5.5, 11.5}});
}

void DrawAutoKeyPalette(QPainter& p) {
    // An envelope rising from the waveform it was made from.
    Waveform(p, QColor(120, 150, 200), 10.5, 1, 14);
    const QPolygonF line{{1.5, 8.5}, {4.5, 3.5}, {8.5, 6.5}, {12.5, 1.5}, {14.5, 4.5}};
    p.setPen(Pen(QColor(200, 0, 0)));
    p.drawPolyline(line);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    for (int i = 1; i < 4; ++i) p.drawRect(QRectF(line[i].x() - 1.0, line[i].y() - 1.0, 2, 2));
}

void DrawAppIcon(QPainter& p, int size) {
    const qreal s = size / 64.0;
    p.scale(s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(38, 50, 72));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // The waveform behind the lips.
    p.setPen(QPen(QColor(110, 170, 230), 2.0, Qt::SolidLine, Qt::RoundCap));
    static const int heights[] = {3, 7, 12, 6, 16, 10, 4, 8, 14, 6, 11, 4, 2};
    for (int i = 0; i < 13; ++i) {
        const qreal x = 8 + i * 4;
        p.drawLine(QPointF(x, 32 - heights[i]), QPointF(x, 32 + heights[i]));
    }
    // Upper and lower lip, half open.
    QPainterPath upper;
    upper.moveTo(8, 32);
    upper.cubicTo(18, 16, 26, 18, 32, 22);
    upper.cubicTo(38, 18, 46, 16, 56, 32);
    upper.cubicTo(44, 28, 20, 28, 8, 32);
    QPainterPath lower;
    lower.moveTo(8, 32);
    lower.cubicTo(20, 36, 44, 36, 56, 32);
    lower.cubicTo(48, 50, 16, 50, 8, 32);
    p.setPen(QPen(QColor(110, 10, 30), 1.5));
    p.setBrush(QColor(220, 50, 80));
    p.drawPath(upper);
    p.drawPath(lower);
}

}  // namespace

QIcon ToolBarIcon(int command) {
    Painter paint;
    switch (command) {
        case ID_FILE_NEW:
            paint = DrawNew;
            break;
        case ID_FILE_OPEN:
            paint = DrawOpen;
            break;
        case ID_FILE_SAVE:
            paint = DrawSave;
            break;
        case ID_LOAD_SOUND:
            paint = DrawLoadSound;
            break;
        case ID_WRITE_ENVELOPE:
            paint = DrawWriteEnvelope;
            break;
        case ID_PLAYBACK_PALETTE:
            paint = DrawPlaybackPalette;
            break;
        case ID_AUTOKEY_PALETTE:
            paint = DrawAutoKeyPalette;
            break;
        case ID_ZOOM_IN:
            paint = [](QPainter& p) { Magnifier(p, true); };
            break;
        case ID_ZOOM_OUT:
            paint = [](QPainter& p) { Magnifier(p, false); };
            break;
        default:
            return {};
    }
    return Render(kToolButtonWidth, kToolButtonHeight, paint, {1.0, 1.25, 1.5, 2.0, 3.0});
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, true);
        DrawAppIcon(p, size);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace vokra

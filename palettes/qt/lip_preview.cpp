#include "palettes/qt/lip_preview.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <cstdlib>
#include <utility>

namespace vokra {
namespace {

// A small drawing context on an image with the old platform's rules for what the preview uses.
class ImageContext final : public DrawContext {
public:
    ImageContext(QImage& image, const QFont& font) : image_(image), font_(font) {}

    void MoveTo(int x, int y) override { pos_ = {x, y}; }
    void LineTo(int x, int y) override {
        // Bresenham from the current position, leaving out the end point.
        int x0 = pos_.x, y0 = pos_.y;
        const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
        const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
        int err = dx + dy;
        while (x0 != x || y0 != y) {
            Plot(x0, y0);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
        pos_ = {x, y};
    }
    void Polyline(const Point* points, int count) override {
        if (count <= 0) return;
        MoveTo(points[0].x, points[0].y);
        for (int i = 1; i < count; ++i) LineTo(points[i].x, points[i].y);
    }
    void FillSolidRect(const Rect& r, Rgb c) override {
        QPainter p(&image_);
        p.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), QColor(c.r, c.g, c.b));
        bk_ = c;
    }
    void TextOut(int x, int y, const std::string& text) override {
        QPainter p(&image_);
        p.setFont(font_);
        const QString s = QString::fromStdString(text);
        QFontMetrics fm(font_);
        const QRect box(x, y, fm.horizontalAdvance(s), fm.height());
        if (bkMode_ == OPAQUE) p.fillRect(box, QColor(bk_.r, bk_.g, bk_.b));
        p.setPen(QColor(text_.r, text_.g, text_.b));
        p.drawText(x, y + fm.ascent(), s);
    }
    Size GetTextExtent(const std::string& text) override {
        QFontMetrics fm(font_);
        return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
    }
    int SetTextAlign(int align) override { return std::exchange(align_, align); }
    int SetBkMode(int mode) override { return std::exchange(bkMode_, mode); }
    Rgb SetBkColor(Rgb c) override { return std::exchange(bk_, c); }
    Rgb SetTextColor(Rgb c) override { return std::exchange(text_, c); }
    Pen SelectPen(const Pen& pen) override { return std::exchange(pen_, pen); }
    int GetTextAlign() const override { return align_; }
    Rgb GetBkColor() const override { return bk_; }
    Pen GetPen() const override { return pen_; }
    Rect GetClipBox() const override { return {0, 0, image_.width(), image_.height()}; }

private:
    void Plot(int x, int y) {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
        image_.setPixel(x, y, qRgb(pen_.colour.r, pen_.colour.g, pen_.colour.b));
    }

    QImage& image_;
    QFont font_;
    Point pos_;
    Pen pen_;
    Rgb bk_{255, 255, 255};
    Rgb text_{0, 0, 0};
    int bkMode_ = OPAQUE;
    int align_ = TA_LEFT | TA_TOP;
};

}  // namespace

LipPreview::LipPreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

QImage LipPreview::Render() const {
    QImage image(width(), height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (painter_) {
        ImageContext dc(image, font());
        painter_(dc, width(), height());
    }
    return image;
}

void LipPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Render());
}

}  // namespace vokra

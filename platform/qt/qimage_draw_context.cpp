#include "platform/qt/qimage_draw_context.h"

#include <QFontMetrics>
#include <QPen>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace vokra {
namespace {

// Longer segments than this (far outside any pane) are left to QPainter, which clips them,
// instead of being split into runs pixel column by pixel column.
constexpr std::int64_t kMaxRasterSpan = 1 << 16;

// ceil(n / d) for d > 0 and any n.
std::int64_t CeilDiv(std::int64_t n, std::int64_t d) {
    return n >= 0 ? (n + d - 1) / d : -((-n) / d);
}

Rect ImageRect(const QImage& image) {
    const QSizeF s = image.deviceIndependentSize();
    return Rect{0, 0, static_cast<int>(s.width()), static_cast<int>(s.height())};
}

}  // namespace

QImageDrawContext::QImageDrawContext(QImage& image, const QFont& font) {
    const qreal dpr = image.devicePixelRatio();
    const int scale = static_cast<int>(dpr);
    if ((image.format() == QImage::Format_RGB32 ||
         image.format() == QImage::Format_ARGB32_Premultiplied) &&
        scale >= 1 && scale == dpr) {
        // Detach before the painter starts, so both write into the same pixels.
        bits_ = image.bits();
        bytesPerLine_ = image.bytesPerLine();
        deviceWidth_ = image.width();
        deviceHeight_ = image.height();
        scale_ = scale;
    }
    ownPainter_ = std::make_unique<QPainter>(&image);
    painter_ = ownPainter_.get();
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setFont(font);
    clip_ = ImageRect(image);
}

QImageDrawContext::QImageDrawContext(QPainter& painter, const Rect& area)
    : painter_(&painter), clip_(area) {
    painter_->setRenderHint(QPainter::Antialiasing, false);
}

QImageDrawContext::~QImageDrawContext() {
    FlushRuns();
}

void QImageDrawContext::SetClipRect(const Rect& rect) {
    FlushRuns();
    clip_ = rect;
    painter_->setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
}

void QImageDrawContext::MoveTo(int x, int y) {
    current_ = Point{x, y};
}

void QImageDrawContext::LineTo(int x, int y) {
    AddSegment(current_.x, current_.y, x, y);
    current_ = Point{x, y};
}

void QImageDrawContext::Polyline(const Point* points, int count) {
    if (!points || count < 2) return;
    for (int i = 1; i < count; ++i) {
        AddSegment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    // Polyline leaves the current position alone, as on the old platform.
}

void QImageDrawContext::AddSegment(int x0, int y0, int x1, int y1) {
    const std::int64_t dx = static_cast<std::int64_t>(x1) - x0;
    const std::int64_t dy = static_cast<std::int64_t>(y1) - y0;
    if (dx == 0 && dy == 0) return;
    const std::int64_t adx = std::llabs(dx);
    const std::int64_t ady = std::llabs(dy);
    if (pen_.width > 1 || adx > kMaxRasterSpan || ady > kMaxRasterSpan) {
        FlushRuns();
        QPen pen(ToQColor(pen_.colour));
        pen.setWidth(pen_.width > 1 ? pen_.width : 1);
        pen.setCapStyle(Qt::FlatCap);
        painter_->setPen(pen);
        painter_->drawLine(x0, y0, x1, y1);
        return;
    }
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    // Pixel t along the major axis (end pixel excluded) lies at minor offset
    // round(t * minor / major); each minor offset k owns one run of consecutive pixels.
    const bool steep = ady >= adx;
    const std::int64_t major = steep ? ady : adx;
    const std::int64_t minor = steep ? adx : ady;
    auto runStart = [&](std::int64_t k) -> std::int64_t {
        if (minor == 0) return k == 0 ? 0 : major;
        const std::int64_t t = CeilDiv((2 * k - 1) * major, 2 * minor);
        return t < 0 ? 0 : (t > major ? major : t);
    };
    for (std::int64_t k = 0; k <= minor; ++k) {
        const std::int64_t t0 = runStart(k);
        const std::int64_t t1 = runStart(k + 1);
        if (t1 <= t0) continue;
        const int len = static_cast<int>(t1 - t0);
        if (steep) {
            const int x = static_cast<int>(x0 + sx * k);
            const int top = static_cast<int>(sy > 0 ? y0 + t0 : y0 - (t1 - 1));
            AddRun(x, top, 1, len);
        } else {
            const int y = static_cast<int>(y0 + sy * k);
            const int left = static_cast<int>(sx > 0 ? x0 + t0 : x0 - (t1 - 1));
            AddRun(left, y, len, 1);
        }
    }
}

void QImageDrawContext::AddRun(int x, int y, int w, int h) {
    AddRect(Rect{x, y, x + w, y + h}, ToQRgb(pen_.colour));
}

void QImageDrawContext::AddRect(const Rect& r, QRgb colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (hasPending_ && pendingColour_ == colour) {
        Rect& p = pending_;
        // Same colour, so only the union of the pixels matters: merge whenever it is a rectangle.
        // A dense envelope puts dozens of segments and squares into one pixel column.
        if (r.left >= p.left && r.right <= p.right && r.top >= p.top && r.bottom <= p.bottom) {
            return;
        }
        if (r.left == p.left && r.right == p.right && r.top <= p.bottom && r.bottom >= p.top) {
            p.top = std::min(p.top, r.top);
            p.bottom = std::max(p.bottom, r.bottom);
            return;
        }
        if (r.top == p.top && r.bottom == p.bottom && r.left <= p.right && r.right >= p.left) {
            p.left = std::min(p.left, r.left);
            p.right = std::max(p.right, r.right);
            return;
        }
    }
    FlushRuns();
    pending_ = r;
    pendingColour_ = colour;
    hasPending_ = true;
}

void QImageDrawContext::FillDirect(int left, int top, int right, int bottom, QRgb colour) {
    if (left < clip_.left) left = clip_.left;
    if (top < clip_.top) top = clip_.top;
    if (right > clip_.right) right = clip_.right;
    if (bottom > clip_.bottom) bottom = clip_.bottom;
    if (right <= left || bottom <= top) return;
    const int x0 = std::clamp(left * scale_, 0, deviceWidth_);
    const int x1 = std::clamp(right * scale_, 0, deviceWidth_);
    const int y0 = std::clamp(top * scale_, 0, deviceHeight_);
    const int y1 = std::clamp(bottom * scale_, 0, deviceHeight_);
    for (int y = y0; y < y1; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bits_ + y * bytesPerLine_);
        std::fill(row + x0, row + x1, colour);
    }
}

void QImageDrawContext::FlushRuns() {
    if (!hasPending_) return;
    hasPending_ = false;
    const Rect& r = pending_;
    if (bits_) {
        FillDirect(r.left, r.top, r.right, r.bottom, pendingColour_);
    } else {
        painter_->fillRect(QRect(r.left, r.top, r.Width(), r.Height()), QColor(pendingColour_));
    }
}

void QImageDrawContext::FillSolidRect(const Rect& rect, Rgb colour) {
    AddRect(rect, ToQRgb(colour));
    // The old platform fills through the background colour and leaves it set.
    bkColour_ = colour;
}

void QImageDrawContext::TextOut(int x, int y, const std::string& text) {
    FlushRuns();
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(painter_->font());
    const int w = fm.horizontalAdvance(s);
    const int h = fm.height();
    int left = x;
    if ((align_ & TA_CENTER) == TA_CENTER) {
        left = x - w / 2;
    } else if ((align_ & TA_CENTER) == TA_RIGHT) {
        left = x - w;
    }
    int top = y;
    if ((align_ & TA_BASELINE) == TA_BASELINE) {
        top = y - fm.ascent();
    } else if ((align_ & TA_BASELINE) == TA_BOTTOM) {
        top = y - h;
    }
    if (bkMode_ == OPAQUE) painter_->fillRect(QRect(left, top, w, h), ToQColor(bkColour_));
    painter_->setPen(ToQColor(textColour_));
    painter_->drawText(QPoint(left, top + fm.ascent()), s);
}

Size QImageDrawContext::GetTextExtent(const std::string& text) {
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(painter_->font());
    return Size{fm.horizontalAdvance(s), fm.height()};
}

int QImageDrawContext::SetTextAlign(int align) {
    const int old = align_;
    align_ = align;
    return old;
}

int QImageDrawContext::SetBkMode(int mode) {
    const int old = bkMode_;
    bkMode_ = mode;
    return old;
}

Rgb QImageDrawContext::SetBkColor(Rgb colour) {
    const Rgb old = bkColour_;
    bkColour_ = colour;
    return old;
}

Rgb QImageDrawContext::SetTextColor(Rgb colour) {
    const Rgb old = textColour_;
    textColour_ = colour;
    return old;
}

Pen QImageDrawContext::SelectPen(const Pen& pen) {
    FlushRuns();
    const Pen old = pen_;
    pen_ = pen;
    return old;
}

}  // namespace vokra

#include "panes/qt/offscreen_bitmap.h"

#include <cmath>

namespace vokra {

void OffscreenBitmap::CreateCompatible(int width, int height, qreal devicePixelRatio) {
    width_ = width < 1 ? 1 : width;
    height_ = height < 1 ? 1 : height;
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    image_ = QImage(static_cast<int>(std::ceil(width_ * dpr)),
                    static_cast<int>(std::ceil(height_ * dpr)), QImage::Format_RGB32);
    image_.setDevicePixelRatio(dpr);
    // Undefined until the next paint, which always follows; white rather than stale memory.
    image_.fill(Qt::white);
}

void OffscreenBitmap::CopyTo(QPainter& target, const QRect& rect) const {
    if (image_.isNull() || rect.isEmpty()) return;
    const qreal dpr = image_.devicePixelRatio();
    const QRectF source(rect.x() * dpr, rect.y() * dpr, rect.width() * dpr, rect.height() * dpr);
    target.drawImage(QRectF(rect), image_, source);
}

}  // namespace vokra

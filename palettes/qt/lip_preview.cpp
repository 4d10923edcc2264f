#include "palettes/qt/lip_preview.h"

#include <QPaintEvent>
#include <QPainter>

#include "platform/qt/qimage_draw_context.h"

namespace vokra {

LipPreview::LipPreview(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted by the picture; nothing of the palette shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

QImage LipPreview::Render() const {
    QImage image(width(), height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (painter_ && !image.isNull()) {
        QImageDrawContext dc(image, font());
        painter_(dc, width(), height());
    }
    return image;
}

void LipPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Render());
}

}  // namespace vokra

#pragma once
// The back buffer behind a timeline pane: the pane draws its whole picture into it and copies the
// dirty part to the screen, so redrawing never flickers; the same image wipes the playback marker
// off the screen. The image is made at the screen's device pixel ratio and addressed in logical
// pixels.
#include <QImage>
#include <QPainter>
#include <QRect>

namespace vokra {

class OffscreenBitmap {
public:
    OffscreenBitmap() = default;
    // Replaces the image with one of width x height logical pixels (each at least 1).
    void CreateCompatible(int width, int height, qreal devicePixelRatio = 1.0);
    bool IsEmpty() const { return image_.isNull(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    // Copies the logical rectangle `rect` of the image onto `target` at the same position.
    void CopyTo(QPainter& target, const QRect& rect) const;

private:
    QImage image_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace vokra

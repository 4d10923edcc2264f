#pragma once
// The drawing context on a QPainter, with the old platform's rules: line-to leaves out its end
// pixel, fills stop short of the right and bottom edges, text sits at an alignment point with a
// transparent or opaque background. No antialiasing: lines are runs of whole logical pixels, so
// they stay sharp on a high-density back buffer. Usually painting into a QImage (the panes' back
// buffers); the playback marker is drawn with one on the widget's own painter.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>

#include "platform/draw_context.h"

namespace vokra {

class QImageDrawContext final : public DrawContext {
public:
    // Paints into `image` (which must outlive the context) with `font` as the default font.
    explicit QImageDrawContext(QImage& image, const QFont& font = QFont());
    // Paints with a painter owned by the caller (already begun on its device); `area` is the
    // device's logical rectangle, reported as the clip box.
    QImageDrawContext(QPainter& painter, const Rect& area);
    ~QImageDrawContext() override;
    QImageDrawContext(const QImageDrawContext&) = delete;
    QImageDrawContext& operator=(const QImageDrawContext&) = delete;

    // Limits drawing to `rect` (logical pixels); GetClipBox reports it.
    void SetClipRect(const Rect& rect) override;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const Point* points, int count) override;
    void FillSolidRect(const Rect& rect, Rgb colour) override;
    void TextOut(int x, int y, const std::string& text) override;
    Size GetTextExtent(const std::string& text) override;
    int SetTextAlign(int align) override;
    int SetBkMode(int mode) override;
    Rgb SetBkColor(Rgb colour) override;
    Rgb SetTextColor(Rgb colour) override;
    Pen SelectPen(const Pen& pen) override;
    int GetTextAlign() const override { return align_; }
    Rgb GetBkColor() const override { return bkColour_; }
    Pen GetPen() const override { return pen_; }
    Rect GetClipBox() const override { return clip_; }

    // The painter underneath, with everything drawn so far already in the image.
    QPainter& Painter() {
        FlushRuns();
        return *painter_;
    }

private:
    // Draws the pixels of the segment (x0, y0) .. (x1, y1) without its end pixel.
    void AddSegment(int x0, int y0, int x1, int y1);
    // One run of a line: a logical rectangle in the pen colour.
    void AddRun(int x, int y, int w, int h);
    // A solid rectangle, held back to be merged with the next one of the same colour; every
    // other operation draws it first, so the order of drawing is kept.
    void AddRect(const Rect& rect, QRgb colour);
    void FlushRuns();
    // Writes a solid logical rectangle straight into the image's pixels (clipped).
    void FillDirect(int left, int top, int right, int bottom, QRgb colour);

    std::unique_ptr<QPainter> ownPainter_;
    QPainter* painter_ = nullptr;
    Rect clip_{};
    Point current_{};
    int align_ = TA_LEFT | TA_TOP;
    int bkMode_ = OPAQUE;
    Rgb bkColour_{255, 255, 255};
    Rgb textColour_{0, 0, 0};
    Pen pen_{};
    Rect pending_{};
    QRgb pendingColour_ = 0;
    bool hasPending_ = false;
    // Lines and fills go straight into the pixels of a 32-bit image at a whole-number pixel
    // ratio (tens of thousands of tiny rectangles per paint would be slow through QPainter);
    // anything else is drawn through QPainter.
    uchar* bits_ = nullptr;
    qsizetype bytesPerLine_ = 0;
    int deviceWidth_ = 0;
    int deviceHeight_ = 0;
    int scale_ = 1;
};

inline QColor ToQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}
inline QRgb ToQRgb(Rgb c) {
    return qRgb(c.r, c.g, c.b);
}

}  // namespace vokra

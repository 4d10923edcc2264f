#pragma once
// The owner-drawn preview button of the Playback palette. It holds no picture of its own: every
// paint (including after being uncovered) asks its owner to draw the lips again from the values
// the owner keeps, through a drawing context on an image that is then copied to the window.
#include <QImage>
#include <QWidget>
#include <functional>

#include "platform/draw_context.h"

namespace vokra {

class LipPreview : public QWidget {
    Q_OBJECT
public:
    // Draws the picture for a client area of width x height pixels.
    using Painter = std::function<void(DrawContext& dc, int width, int height)>;

    explicit LipPreview(QWidget* parent = nullptr);
    void SetPainter(Painter painter) { painter_ = std::move(painter); }
    // The picture as the next paint would show it (for tests and for the paint itself).
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter painter_;
};

}  // namespace vokra

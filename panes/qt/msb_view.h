#pragma once
// The common base of the two timeline panes: a margin around the plot (25 pixels, more when the
// font needs it for the rulers' labels) and the pane's
// PlotMapping between the plot and the visible stretch of the timeline; painting through a back
// buffer with the selection as a coloured band; placing the cursor and selecting with the mouse;
// moving the cursor, zooming and scrolling with the keyboard; the horizontal scroll bar; and the
// playback marker, drawn on the screen only and wiped from the back buffer.
// Everything works on the TimelineState the pane gets from GetTimelineState(); both derived panes
// return the document's, so both always show the same range, anchor and cursor.
#include <QImage>
#include <QWidget>
#include <memory>

#include "panes/plot_mapping.h"
#include "panes/qt/offscreen_bitmap.h"
#include "panes/timeline_state.h"
#include "platform/document_base.h"
#include "platform/draw_context.h"

class QScrollBar;

namespace vokra {

class CVokraDoc;

// The view changes of ChangeView; the numbers are fixed (the main frame passes 1 and 2).
enum ViewChange {
    ZoomIn = 1,
    ZoomOut = 2,
    ToStart = 3,
    ToEnd = 4,
    PageLeft = 5,
    PageRight = 6,
    LineLeft = 7,
    LineRight = 8,
    ShowAll = 9,
};

// Virtual-key codes of the keys the panes handle.
enum VirtualKey : unsigned {
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_A = 0x41,
};
// Key flag of a key that was already down (auto-repeat).
constexpr unsigned kKeyFlagRepeat = 0x4000;
// The virtual-key code of a Qt key, 0 when the panes have none for it.
unsigned VirtualKeyFromQt(int qtKey);

// Which modifier keys were down when an input arrived.
struct KeyState {
    bool shift = false;
    bool ctrl = false;
};

class MSBView : public QWidget, public View {
    Q_OBJECT
public:
    // The least margin around the plot; a larger font widens it (see AxisMargin).
    static constexpr int kMargin = 25;

    // Registers with the document (which may be null for a pane without one).
    explicit MSBView(CVokraDoc* doc, QWidget* parent = nullptr);
    ~MSBView() override;

    CVokraDoc* GetDocument() const { return doc_; }

    // Applies a ViewChange code; true when the visible range changed.
    bool ChangeView(int code);
    // Fractional steps as a wheel or touchpad gives them: `notches` line steps (one notch = one
    // LineLeft, positive towards the start), and zooming by 2^notches keeping world x `pivot` at
    // the same place on the plot. True when the visible range changed.
    bool ScrollByNotches(double notches);
    bool ZoomAround(double pivot, double notches);
    // Shows the selected frames with a small margin on each side; false without a selection.
    bool ZoomToSelection();
    // The margin the last paint laid the plot out with.
    int Margin() const { return margin_; }
    // The margin the pane's font needs on a back buffer of this pane's pixel ratio.
    int MarginForFont() const;
    // The least size that still shows a plot between the margins the font needs, so a large font
    // never leaves a pane empty.
    QSize minimumSizeHint() const override;
    // The height the upper pane starts with: 100 pixels at the usual margins, and as much more as
    // a larger font's margins take.
    int IdealHeight() const;
    void SetPlaybackMarker(double position, bool show);
    // Paints the whole picture into the back buffer and brings it to the screen now.
    void PaintPane();
    // An update is waiting to be painted.
    bool HasPendingUpdate() const { return pendingUpdate_; }
    const PlotMapping& GetMapping() const { return mapping; }
    // The last painted picture (never holds the playback marker).
    const QImage& BackBuffer() const { return bitmap->Image(); }
    // Invalidates the whole pane.
    void OnUpdate(View* sender, int hint) override;

    virtual TimelineState& GetTimelineState();
    // Clamps into the extent; the document panes snap to frame edges.
    virtual double SnapPosition(double x);
    // A left click at world x inside the selection.
    virtual void ClickInSelection(double x);

    // The client area in pixels: the widget less the scroll bar, if there is one.
    Rect ClientRect() const;
    QScrollBar* HorizontalScrollBar() const { return scrollBar_; }
    int DragMode() const { return dragMode; }
    bool IsMarkerShown() const { return markerShown != 0; }
    bool IsMarkerDrawn() const { return markerDrawn != 0; }

    // Input as the panes handle it, also reachable without synthesised Qt events.
    virtual void OnLButtonDown(KeyState keys, Point point);
    virtual void OnMouseMove(KeyState keys, Point point);
    virtual void OnLButtonUp(KeyState keys, Point point);
    // virtualKey as VirtualKey; flags carry kKeyFlagRepeat for an auto-repeated key.
    virtual void OnKeyDown(unsigned virtualKey, unsigned repeatCount, unsigned flags,
                           KeyState keys);

protected:
    // For the derived panes: the waveform pane has no scroll bar.
    MSBView(CVokraDoc* doc, QWidget* parent, bool withScrollBar);

    // The picture, drawn into the back buffer after PaintBackground.
    virtual void Draw(DrawContext& dc);
    // Fills the client area: background colour with the selection band.
    void PaintBackground(DrawContext& dc);
    // Draws the playback marker line on a screen context, remembering its strip.
    void DrawPlaybackMarker(DrawContext& dc);
    // Sets the scroll bar from the visible range and the extent (no-op without a scroll bar).
    void UpdateScrollBar(const TimelineState& ts);
    // Asks the document to update all its views (only this pane when there is none).
    void UpdateViews(int hint);
    // Marks the pane as waiting for a repaint and schedules one.
    void Invalidate();
    // The widget's part the back buffer covers: all of it but the scroll bar.
    QRect PictureRect() const;
    // The inner (plot) rectangle of a client rectangle.
    Rect InnerRect(const Rect& client) const {
        const int my = verticalMargin_ >= 0 ? verticalMargin_ : margin_;
        return Rect{client.left + margin_, client.top + my, client.right - margin_,
                    client.bottom - my};
    }
    // A lane without rulers keeps the panes' left and right margins (so frames line up) but
    // needs only `pixels` above and below its plot.
    void SetVerticalMargin(int pixels) { verticalMargin_ = pixels; }
    static bool IsTooSmall(const Rect& inner) { return inner.Height() < 25 || inner.Width() < 25; }
    // The steps every pane's drawing shares: the plot frame (top-left, top-right, bottom-right,
    // bottom-left, back) in the current pen, and the red cursor line from the plot's top to its
    // bottom while there is no selection and the cursor is in view.
    static void DrawPlotFrame(DrawContext& dc, const Rect& plot);
    void DrawCursorLine(DrawContext& dc, const TimelineState& ts, const Rect& plot) const;
    // Fixed-point text as the status line and labels use it ("%.3f" without the C locale).
    static std::string Fixed(double v, int decimals);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    PlotMapping mapping;
    int dragMode = 0;
    Rgb backgroundColour{255, 255, 255};
    Rgb selectionColour{0, 255, 255};
    Rgb cursorColour{255, 0, 0};
    std::unique_ptr<OffscreenBitmap> bitmap;
    Rect markerRect{};
    double markerPosition = 0.0;
    int markerShown = 0;
    int markerDrawn = 0;

private:
    void RenderBackBuffer();
    // Sets the visible range to centre c and half width h (at least 1), kept inside the extent.
    bool ApplyView(double c, double h);
    // The frame around the plot that shows the pane has the keyboard (screen only).
    void DrawFocusFrame(QPainter& painter) const;
    bool BackBufferFits() const;
    int ScrollBarHeight() const;
    void ReplaceBackBuffer();
    void OnScrollAction(int action);
    void OnThumb(int position);
    QRect MarkerStripFor(double position) const;

    CVokraDoc* doc_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    bool pendingUpdate_ = true;
    KeyState clickKeys_{};  // modifiers of the click that ClickInSelection handles
    int margin_ = kMargin;
    int verticalMargin_ = -1;  // -1: the same as margin_
};

}  // namespace vokra

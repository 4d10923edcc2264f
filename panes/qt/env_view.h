#pragma once
// The lower timeline pane: the document's keys as an opening envelope (0 at the bottom, 150 % at
// the top, a grey guide at 100 %) with a frames ruler and the timeline's scroll bar. Keys of the
// selected frames are dragged up and down together (shown moved during the drag, written at the
// release; Escape or any other key edit ends the drag unwritten); Insert and Delete fill and clear
// the selected frames through the document; keys set by hand wear a hollow square. Openings outside
// 0..150 % (possible from a file) are drawn clipped to the plot. Where keys are denser than pixel
// columns, each column is drawn once, as the same picture. Like the waveform's columns, that
// picture (the line's points and the marks' rectangles) is kept and only worked out again when the
// keys, the plot, the visible range or a key drag change; a cursor move or a repaint of the other
// pane draws it from the cache.
#include <cstdint>
#include <utility>
#include <vector>

#include "document/keyframe.h"
#include "panes/qt/msb_view.h"

namespace vokra {

class KeyframeList;

class EnvView : public MSBView {
    Q_OBJECT
public:
    explicit EnvView(CVokraDoc* doc, QWidget* parent = nullptr);
    ~EnvView() override;

    TimelineState& GetTimelineState() override;
    double SnapPosition(double x) override;
    // Invalidates the pane and passes the hint on to the shown palettes.
    void OnUpdate(View* sender, int hint) override;

    // The envelope's opening at world x as shown, with the drag offset on the selected keys.
    double DisplayedOpeningAt(double x) const;

    bool IsKeyDragging() const { return keyDragging != 0; }
    double KeyDragOffset() const { return keyDragOffset; }
    double KeyDragOffsetMin() const { return keyDragOffsetMin; }
    double KeyDragOffsetMax() const { return keyDragOffsetMax; }
    // How many times the envelope's picture has been worked out, for tests.
    int KeyPictureBuilds() const { return keyPictureBuilds_; }

    void OnLButtonDown(KeyState keys, Point point) override;
    void OnMouseMove(KeyState keys, Point point) override;
    void OnLButtonUp(KeyState keys, Point point) override;
    void OnKeyDown(unsigned virtualKey, unsigned repeatCount, unsigned flags,
                   KeyState keys) override;
    // Ends a key drag without writing anything: the keys stay as they were before it began.
    void CancelKeyDrag();

protected:
    void Draw(DrawContext& dc) override;
    void DrawKeys(DrawContext& dc, const PlotMapping& map, const KeyframeList& keys);
    // The hollow square of a key set by hand, centred on its mark, `inside` showing through.
    static void DrawHandMark(DrawContext& dc, Point p, Rgb inside);
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // The offsets that keep every selected key inside 0..150 %, the offset held inside them.
    void UpdateKeyDragBounds();
    // The key nearest to `point` whose mark lies in `box`, or null.
    const Keyframe* KeyNearest(Point point, const Rect& box) const;
    // The envelope as drawn: a polyline, then black rectangles for the key marks.
    struct KeyPicture {
        std::vector<Point> line;
        std::vector<Rect> marks;
        // Keys set by hand, with their frames: whether one sits in the selection is asked at
        // each repaint, as the selection is no part of the cache's key outside a drag.
        std::vector<Point> hand;
        std::vector<double> handFrames;
    };
    // What the picture depends on besides the document's content.
    struct KeyPictureKey {
        const KeyframeList* keys = nullptr;
        std::uint64_t revision = 0;
        Rect pixels{};
        Rect clip{};
        double visibleMin = 0.0;
        double visibleMax = 0.0;
        int dragging = 0;
        double dragOffset = 0.0;
        double selectionStart = 0.0;
        double selectionEnd = 0.0;
        double denseKeysPerColumn = 0.0;
        bool operator==(const KeyPictureKey&) const = default;
    };
    // Works out the line and key marks through `points` with every point kept (dense == false),
    // or pixel column by pixel column (dense == true); both give the same picture.
    void BuildKeyPicture(const std::vector<Point>& points, const Rect& clip, bool startOnKey,
                         bool ranOut, bool dense, KeyPicture& out);

    int keyDragging = 0;
    Point keyDragStart{};
    double keyDragOffset = 0.0;
    double keyDragOffsetMin = 0.0;
    double keyDragOffsetMax = 0.0;
    // Keys per pixel column above which a column is drawn once for all its keys.
    double denseKeysPerColumn = 1.0;

    // The selection the bounds were taken over.
    std::pair<double, double> boundsSelection_{};

private:
    KeyPictureKey keyPictureKey_;
    KeyPicture keyPicture_;
    bool keyPictureValid_ = false;
    int keyPictureBuilds_ = 0;
};

}  // namespace vokra

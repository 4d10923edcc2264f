#pragma once
// A drawing surface with the old platform's rules, so the panes and rulers can be written as their
// drawing steps say: line-to leaves out its end pixel, rectangle fills stop short of the right and
// bottom edges, text is drawn at an alignment point with a transparent or opaque background.
// QImageDrawContext paints into an image; RecordingDrawContext records the calls for tests.
#include <cstdint>
#include <string>

namespace vokra {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0, cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // The platform's point-in-rectangle rule: left and top inside, right and bottom outside.
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Pen {
    Rgb colour{0, 0, 0};
    int width = 1;
    friend bool operator==(const Pen&, const Pen&) = default;
};

// Text alignment flags (combinable as on the old platform).
enum TextAlignFlags : int {
    TA_LEFT = 0,
    TA_TOP = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};

enum BkMode : int { TRANSPARENT = 1, OPAQUE = 2 };

class DrawContext {
public:
    virtual ~DrawContext() = default;

    virtual void MoveTo(int x, int y) = 0;
    // Draws from the current position to (x, y) with the current pen, leaving out (x, y) itself.
    virtual void LineTo(int x, int y) = 0;
    // Connected lines through the points; the last point is left out as with LineTo.
    virtual void Polyline(const Point* points, int count) = 0;
    // Fills left..right-1 by top..bottom-1.
    virtual void FillSolidRect(const Rect& rect, Rgb colour) = 0;
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual Size GetTextExtent(const std::string& text) = 0;

    // Each setter returns the previous value.
    virtual int SetTextAlign(int align) = 0;
    virtual int SetBkMode(int mode) = 0;
    virtual Rgb SetBkColor(Rgb colour) = 0;
    virtual Rgb SetTextColor(Rgb colour) = 0;
    virtual Pen SelectPen(const Pen& pen) = 0;

    virtual int GetTextAlign() const = 0;
    virtual Rgb GetBkColor() const = 0;
    virtual Pen GetPen() const = 0;
    virtual Rect GetClipBox() const = 0;
    // Limits drawing to `rect`; GetClipBox reports it until the next call.
    virtual void SetClipRect(const Rect& rect) = 0;
};

}  // namespace vokra

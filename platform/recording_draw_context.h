#pragma once
// A drawing context that draws nothing and records every call with its arguments, so tests can
// check drawing steps exactly. Text extents are a fixed size the test chooses (or a fixed width
// per character). Setters keep the state a real surface would, and return the previous values.
#include <string>
#include <vector>

#include "platform/draw_context.h"

namespace vokra {

struct DrawCall {
    enum class Op {
        MoveTo,
        LineTo,
        Polyline,
        FillSolidRect,
        TextOut,
        GetTextExtent,
        SetTextAlign,
        SetBkMode,
        SetBkColor,
        SetTextColor,
        SelectPen,
    };
    Op op = Op::MoveTo;
    std::vector<Point> points;  // MoveTo, LineTo, TextOut: one point; Polyline: all of them
    Rect rect;                  // FillSolidRect
    Rgb colour;                 // FillSolidRect, SetBkColor, SetTextColor
    std::string text;           // TextOut, GetTextExtent
    int value = 0;              // SetTextAlign, SetBkMode; for TextOut the alignment in force
    Pen pen;                    // SelectPen; for MoveTo/LineTo/Polyline the pen in force
    int bkMode = 0;             // TextOut: the background mode in force
};

// One straight segment that a MoveTo/LineTo or a Polyline drew (end pixel left out).
struct DrawnLine {
    Point from, to;
    Pen pen;
    friend bool operator==(const DrawnLine&, const DrawnLine&) = default;
};

// One text that TextOut drew, with the alignment and background mode in force.
struct DrawnText {
    Point at;
    std::string text;
    int align = 0;
    int bkMode = 0;
};

class RecordingDrawContext final : public DrawContext {
public:
    RecordingDrawContext() = default;
    explicit RecordingDrawContext(Rect clip) : clip_(clip) {}

    // FillSolidRect leaves the background colour set to the fill colour, as the old platform's
    // did. Every text measures `extent`, unless a per-character width is set, in which case a text
    // measures (characters x width, extent.cy).
    void SetFixedTextExtent(Size extent) { extent_ = extent; }
    void SetCharWidth(int width) { charWidth_ = width; }

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
    // Kept as state only: a clip changes no drawing step a test checks.
    void SetClipRect(const Rect& rect) override { clip_ = rect; }

    int GetBkMode() const { return bkMode_; }
    Rgb GetTextColor() const { return textColour_; }

    const std::vector<DrawCall>& Calls() const { return calls_; }
    int Count(DrawCall::Op op) const;
    // The straight segments drawn, in order, from MoveTo/LineTo and Polyline calls.
    std::vector<DrawnLine> Lines() const;
    std::vector<DrawnText> Texts() const;
    std::vector<DrawCall> Fills() const;
    void Clear() { calls_.clear(); }

private:
    std::vector<DrawCall> calls_;
    Rect clip_{0, 0, 1, 1};
    Size extent_{8, 16};
    int charWidth_ = 0;
    int align_ = TA_LEFT | TA_TOP;
    int bkMode_ = OPAQUE;
    Rgb bkColour_{255, 255, 255};
    Rgb textColour_{0, 0, 0};
    Pen pen_{};
};

}  // namespace vokra

#include "platform/recording_draw_context.h"

namespace vokra {

void RecordingDrawContext::MoveTo(int x, int y) {
    DrawCall c;
    c.op = DrawCall::Op::MoveTo;
    c.points = {Point{x, y}};
    c.pen = pen_;
    calls_.push_back(std::move(c));
}

void RecordingDrawContext::LineTo(int x, int y) {
    DrawCall c;
    c.op = DrawCall::Op::LineTo;
    c.points = {Point{x, y}};
    c.pen = pen_;
    calls_.push_back(std::move(c));
}

void RecordingDrawContext::Polyline(const Point* points, int count) {
    DrawCall c;
    c.op = DrawCall::Op::Polyline;
    if (points && count > 0) c.points.assign(points, points + count);
    c.pen = pen_;
    calls_.push_back(std::move(c));
}

void RecordingDrawContext::FillSolidRect(const Rect& rect, Rgb colour) {
    DrawCall c;
    c.op = DrawCall::Op::FillSolidRect;
    c.rect = rect;
    c.colour = colour;
    calls_.push_back(std::move(c));
    // The old platform's FillSolidRect works through the background colour and leaves it set.
    bkColour_ = colour;
}

void RecordingDrawContext::TextOut(int x, int y, const std::string& text) {
    DrawCall c;
    c.op = DrawCall::Op::TextOut;
    c.points = {Point{x, y}};
    c.text = text;
    c.value = align_;
    c.colour = textColour_;
    c.bkMode = bkMode_;
    calls_.push_back(std::move(c));
}

Size RecordingDrawContext::GetTextExtent(const std::string& text) {
    DrawCall c;
    c.op = DrawCall::Op::GetTextExtent;
    c.text = text;
    calls_.push_back(std::move(c));
    if (charWidth_ > 0) return Size{static_cast<int>(text.size()) * charWidth_, extent_.cy};
    return extent_;
}

int RecordingDrawContext::SetTextAlign(int align) {
    DrawCall c;
    c.op = DrawCall::Op::SetTextAlign;
    c.value = align;
    calls_.push_back(std::move(c));
    const int old = align_;
    align_ = align;
    return old;
}

int RecordingDrawContext::SetBkMode(int mode) {
    DrawCall c;
    c.op = DrawCall::Op::SetBkMode;
    c.value = mode;
    calls_.push_back(std::move(c));
    const int old = bkMode_;
    bkMode_ = mode;
    return old;
}

Rgb RecordingDrawContext::SetBkColor(Rgb colour) {
    DrawCall c;
    c.op = DrawCall::Op::SetBkColor;
    c.colour = colour;
    calls_.push_back(std::move(c));
    const Rgb old = bkColour_;
    bkColour_ = colour;
    return old;
}

Rgb RecordingDrawContext::SetTextColor(Rgb colour) {
    DrawCall c;
    c.op = DrawCall::Op::SetTextColor;
    c.colour = colour;
    calls_.push_back(std::move(c));
    const Rgb old = textColour_;
    textColour_ = colour;
    return old;
}

Pen RecordingDrawContext::SelectPen(const Pen& pen) {
    DrawCall c;
    c.op = DrawCall::Op::SelectPen;
    c.pen = pen;
    calls_.push_back(std::move(c));
    const Pen old = pen_;
    pen_ = pen;
    return old;
}

int RecordingDrawContext::Count(DrawCall::Op op) const {
    int n = 0;
    for (const auto& c : calls_) n += c.op == op ? 1 : 0;
    return n;
}

std::vector<DrawnLine> RecordingDrawContext::Lines() const {
    std::vector<DrawnLine> lines;
    Point current{};
    for (const auto& c : calls_) {
        switch (c.op) {
            case DrawCall::Op::MoveTo:
                current = c.points[0];
                break;
            case DrawCall::Op::LineTo:
                lines.push_back(DrawnLine{current, c.points[0], c.pen});
                current = c.points[0];
                break;
            case DrawCall::Op::Polyline:
                for (std::size_t i = 1; i < c.points.size(); ++i) {
                    lines.push_back(DrawnLine{c.points[i - 1], c.points[i], c.pen});
                }
                break;
            default:
                break;
        }
    }
    return lines;
}

std::vector<DrawnText> RecordingDrawContext::Texts() const {
    std::vector<DrawnText> texts;
    for (const auto& c : calls_) {
        if (c.op == DrawCall::Op::TextOut) {
            texts.push_back(DrawnText{c.points[0], c.text, c.value, c.bkMode});
        }
    }
    return texts;
}

std::vector<DrawCall> RecordingDrawContext::Fills() const {
    std::vector<DrawCall> fills;
    for (const auto& c : calls_) {
        if (c.op == DrawCall::Op::FillSolidRect) fills.push_back(c);
    }
    return fills;
}

}  // namespace vokra

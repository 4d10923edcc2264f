#pragma once
// One key of the lip envelope: the opening of the lips (a fraction, 1.0 = 100 %) at one frame.
// The setters keep the record valid: kind is always 1, the frame never negative, the opening
// within 0.0 .. 2.0 (NaN counts as 0.0). A key the animator set by hand is marked so, and a new
// AutoKey run leaves it alone.
#include <cmath>
#include <cstdint>

namespace vokra {

class Keyframe {
public:
    Keyframe() = default;
    Keyframe(std::int32_t frame, float opening) {
        SetFrame(frame);
        SetOpening(opening);
    }

    std::int32_t GetKind() const { return kind; }
    std::int32_t GetFrame() const { return frame; }
    float GetOpening() const { return opening; }
    bool IsHandMade() const { return hand; }

    void SetKind(std::int32_t) { kind = 1; }
    void SetHandMade(bool h) { hand = h; }
    void SetFrame(std::int32_t f) { frame = f < 0 ? 0 : f; }
    void SetOpening(float v) {
        if (!(v > 0.0f)) {
            opening = 0.0f;  // zero (-0 included, never written as "-0"), below or not a number
        } else if (v > 2.0f) {
            opening = 2.0f;
        } else {
            opening = v;
        }
    }

private:
    std::int32_t kind = 1;
    std::int32_t frame = 0;
    float opening = 0.0f;
    bool hand = false;
};

}  // namespace vokra

#include "document/key_clip.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "document/key_edit.h"

namespace vokra {
namespace {

// Version 1 held keys only; version 2 adds the hand-made marks and the mouth shapes.
constexpr std::string_view kDataHeaderV1 = "VOKRA-KEYS 1";
constexpr std::string_view kDataHeader = "VOKRA-KEYS 2";
constexpr std::string_view kShapesLine = "shapes";
constexpr std::string_view kHandWord = "hand";
constexpr float kLargestOpening = 2.0f;
constexpr const char* kDamaged = "The clipboard's keys are damaged.";

void AppendLines(std::string& out, const KeyClip& clip, bool marks) {
    char buf[64];
    for (const Keyframe& key : clip.keys) {
        auto r = std::to_chars(buf, buf + sizeof buf, key.GetFrame());
        out.append(buf, r.ptr);
        out += '\t';
        r = std::to_chars(buf, buf + sizeof buf, key.GetOpening());
        out.append(buf, r.ptr);
        if (marks && key.IsHandMade()) {
            out += '\t';
            out += kHandWord;
        }
        out += '\n';
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string LineError(std::size_t line, const std::string& what) {
    return "Line " + std::to_string(line) + " of the clipboard " + what;
}

// Takes a trailing "hand" word (after spaces or tabs) off a line of the program's own form.
bool TakeHandWord(std::string_view& line) {
    if (line.size() <= kHandWord.size() ||
        line.substr(line.size() - kHandWord.size()) != kHandWord ||
        !IsSpace(line[line.size() - kHandWord.size() - 1])) {
        return false;
    }
    line = Trim(line.substr(0, line.size() - kHandWord.size()));
    return true;
}

// Reads the key lines of `text`, numbering them from `firstLine`; `marks`: a line may end in the
// hand-made word (the program's own form only).
KeyClipReadResult ReadLines(std::string_view text, std::size_t firstLine, bool marks) {
    KeyClipReadResult r;
    // Counted before anything is allocated: the text may be enormous.
    const std::int64_t lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (lines > kMaxKeysPerEdit) {
        std::int64_t keys = 0;
        std::size_t at = 0;
        while (at <= text.size()) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            if (!Trim(text.substr(at, end - at)).empty()) ++keys;
            at = end + 1;
        }
        if (keys > kMaxKeysPerEdit) {
            r.error = TooManyKeysMessage("Pasting", keys);
            return r;
        }
    }
    std::vector<Keyframe>& keys = r.clip.keys;
    std::size_t at = 0;
    std::size_t lineNo = firstLine;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = Trim(text.substr(at, end - at));
        at = end + 1;
        const std::size_t number = lineNo++;
        if (line.empty()) continue;
        const bool hand = marks && TakeHandWord(line);
        std::int32_t frame = 0;
        auto [p, ec] = std::from_chars(line.data(), line.data() + line.size(), frame);
        if (ec != std::errc() || frame < 0) {
            r.error = LineError(number, "does not start with a frame number (0 or more).");
            return r;
        }
        const char* stop = line.data() + line.size();
        const char* q = p;
        while (q < stop && (IsSpace(*q) || *q == ';' || *q == ',')) ++q;
        const bool separated = q > p;
        if (q < stop && *q == '+') ++q;  // from_chars takes no plus sign
        float opening = 0.0f;
        auto [e, ec2] = std::from_chars(q, stop, opening);
        if (!separated || ec2 != std::errc() || e != stop || !(opening >= 0.0f) ||
            opening > kLargestOpening) {
            r.error = LineError(number, "needs a frame and an opening from 0 to 2 (1 = 100 %).");
            return r;
        }
        keys.emplace_back(frame, opening);
        keys.back().SetHandMade(hand);
    }
    // The last line for a frame wins: a stable sort keeps the lines' order within a frame.
    std::stable_sort(keys.begin(), keys.end(), [](const Keyframe& a, const Keyframe& b) {
        return a.GetFrame() < b.GetFrame();
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (kept > 0 && keys[kept - 1].GetFrame() == keys[i].GetFrame()) {
            keys[kept - 1] = keys[i];
        } else {
            keys[kept++] = keys[i];
        }
    }
    keys.resize(kept);
    if (keys.empty()) {
        r.error = "The clipboard holds no keys.";
        return r;
    }
    r.clip.span = std::int64_t{keys.back().GetFrame()} + 1;
    r.ok = true;
    return r;
}

}  // namespace

std::string KeyClipText(const KeyClip& clip) {
    std::string out;
    out.reserve(clip.keys.size() * 16);
    AppendLines(out, clip, false);
    return out;
}

std::string KeyClipData(const KeyClip& clip) {
    std::string out(kDataHeader);
    out += '\n';
    out += std::to_string(clip.span);
    out += '\n';
    AppendLines(out, clip, true);
    if (clip.hasShapes) {
        out += kShapesLine;
        out += '\n';
        for (const ShapeEntry& entry : clip.shapes) {
            out += std::to_string(entry.frame);
            out += '\t';
            out += MouthShapeLetter(entry.shape);
            if (entry.hand) {
                out += '\t';
                out += kHandWord;
            }
            out += '\n';
        }
    }
    return out;
}

KeyClipReadResult ReadKeyClipText(std::string_view text) {
    return ReadLines(text, 1, false);
}

namespace {

// The shape lines of the program's own form: "frame<TAB>letter[<TAB>hand]", ascending frames
// within the span. Counted against the keys' limit before anything is kept.
bool ReadShapeLines(std::string_view text, std::int32_t span, std::vector<ShapeEntry>& shapes) {
    if (std::count(text.begin(), text.end(), '\n') > kMaxKeysPerEdit) return false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = Trim(text.substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        const bool hand = TakeHandWord(line);
        std::int32_t frame = 0;
        auto [p, ec] = std::from_chars(line.data(), line.data() + line.size(), frame);
        const char* stop = line.data() + line.size();
        if (ec != std::errc() || frame < 0 || frame >= span || p == stop || !IsSpace(*p)) {
            return false;
        }
        while (p < stop && IsSpace(*p)) ++p;
        const auto shape = p + 1 == stop ? MouthShapeFromLetter(*p) : std::nullopt;
        if (!shape || (!shapes.empty() && shapes.back().frame >= frame)) return false;
        shapes.push_back({frame, *shape, hand});
    }
    return true;
}

}  // namespace

KeyClipReadResult ReadKeyClipData(std::string_view data) {
    KeyClipReadResult r;
    const std::size_t headerEnd = data.find('\n');
    const std::size_t spanEnd =
        headerEnd == std::string_view::npos ? headerEnd : data.find('\n', headerEnd + 1);
    const std::string_view header =
        spanEnd == std::string_view::npos ? std::string_view() : Trim(data.substr(0, headerEnd));
    const bool current = header == kDataHeader;
    if (!current && header != kDataHeaderV1) {
        r.error = kDamaged;
        return r;
    }
    const std::string_view spanText = Trim(data.substr(headerEnd + 1, spanEnd - headerEnd - 1));
    // Every frame from 0 to the last possible one at most, as a copy of them all gives.
    constexpr std::int64_t kLargestSpan =
        std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t span = 0;
    const auto [p, ec] = std::from_chars(spanText.data(), spanText.data() + spanText.size(), span);
    if (ec != std::errc() || p != spanText.data() + spanText.size() || span < 1 ||
        span > kLargestSpan) {
        r.error = kDamaged;
        return r;
    }
    // The shapes follow the keys after a line of their own.
    std::string_view keyLines = data.substr(spanEnd + 1);
    std::string_view shapeLines;
    bool hasShapes = false;
    if (current) {
        std::size_t at = 0;
        while (at < keyLines.size()) {
            const std::size_t end = std::min(keyLines.find('\n', at), keyLines.size());
            if (Trim(keyLines.substr(at, end - at)) == kShapesLine) {
                hasShapes = true;
                shapeLines = keyLines.substr(std::min(end + 1, keyLines.size()));
                keyLines = keyLines.substr(0, at);
                break;
            }
            at = end + 1;
        }
    }
    r = ReadLines(keyLines, 3, current);
    // A copy of frames without keys is a valid clip: pasting it clears that many frames.
    if (!r.ok && r.clip.keys.empty() && r.error == "The clipboard holds no keys.") {
        r.ok = true;
        r.error.clear();
    }
    if (!r.ok) return r;
    if (!r.clip.keys.empty() && r.clip.keys.back().GetFrame() >= span) {
        r.ok = false;
        r.error = kDamaged;
        return r;
    }
    r.clip.span = span;
    if (hasShapes) {
        r.clip.hasShapes = true;
        if (!ReadShapeLines(shapeLines, span, r.clip.shapes)) {
            r = KeyClipReadResult{};
            r.error = kDamaged;
        }
    }
    return r;
}

}  // namespace vokra

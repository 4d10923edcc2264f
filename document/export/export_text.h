#pragma once
// What the key writers share: the text collected in large pieces before it reaches the stream,
// whole numbers, times and UTF-8 checks, and the lead-in every key format starts with.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "document/key_export.h"

namespace vokra {

// Collects the text in 64 KiB pieces: one stream call per piece, not per number.
class Chunks {
public:
    explicit Chunks(std::ostream& out) : out_(out) { text_.reserve(kSize); }
    std::string& Text() { return text_; }
    void Line() {
        text_ += '\n';
        if (text_.size() > kSize - 256) Flush();
    }
    bool Finish() {
        Flush();
        return static_cast<bool>(out_);
    }

private:
    static constexpr std::size_t kSize = 1 << 16;
    void Flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }
    std::ostream& out_;
    std::string text_;
};

void AppendInt(std::string& out, std::int64_t v);

// Vokra's envelope rises from closed at frame 0 to the first key; a reader that knows nothing of
// that would hold the first key's opening from frame 0 instead. When the first key is later, the
// exports start with a point at frame 0 with opening 0. (After the last key Vokra holds its
// opening, as every reader does: nothing is added there.)
bool HasLeadIn(const KeyframeList& keys);

double TimeOf(std::int32_t frame, double frameRate);

// Whether the export carries the document's mouth shapes.
bool HasShapes(const KeyExportInfo& info);

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 with `bad` set to the length
// of its longest valid beginning (at least 1): that much becomes one U+FFFD.
std::size_t Utf8Sequence(std::string_view s, std::size_t& bad);
bool IsValidUtf8(std::string_view s);

}  // namespace vokra

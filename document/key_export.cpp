#include "document/key_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "document/envelope_writer.h"
#include "document/shape_export.h"

namespace vokra {
namespace {

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

void AppendInt(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Vokra's envelope rises from closed at frame 0 to the first key; a reader that knows nothing of
// that would hold the first key's opening from frame 0 instead. When the first key is later, the
// exports start with a point at frame 0 with opening 0. (After the last key Vokra holds its
// opening, as every reader does: nothing is added there.)
bool HasLeadIn(const KeyframeList& keys) {
    return keys.GetCount() > 0 && keys.GetAt(0)->GetFrame() > 0;
}

double TimeOf(std::int32_t frame, double frameRate) {
    return static_cast<double>(frame) / frameRate;
}

// The opening in percent, written by moving the decimal point of its shortest text two places:
// 0.3 gives 30, not the 30.000001192092896 that multiplying the float would give.
void AppendPercent(std::string& out, float opening) {
    if (opening == 0.0f) {
        out += '0';
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, opening, std::chars_format::scientific);
    const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
    const auto e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    // Digits d0 d1 ... stand for d0.d1... x 10^(exponent + 2) once in percent.
    const int point = exponent + 3;
    const int n = static_cast<int>(digits.size());
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else if (point >= n) {
        out += digits;
        out.append(static_cast<std::size_t>(point - n), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(point));
        out += '.';
        out.append(digits, static_cast<std::size_t>(point));
    }
}

bool IsNameByte(unsigned char c) {
    return c > 0x20 && c != 0x7F && c != ':' && c != ',';
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 with `bad` set to the length
// of its longest valid beginning (at least 1): that much becomes one U+FFFD.
std::size_t Utf8Sequence(std::string_view s, std::size_t& bad) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        const bool ok =
            i < s.size() && b(i) >= (i == 1 ? lo : 0x80) && b(i) <= (i == 1 ? hi : 0xBF);
        if (!ok) {
            bad = i;
            return 0;
        }
    }
    return need + 1;
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t bad = 0;
        const std::size_t n = Utf8Sequence(s.substr(i), bad);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// "12", "-3", "+0.5", "1e3": switch-data readers take such a name for a number and drop it.
bool IsPlainNumber(std::string_view name) {
    if (!name.empty() && name.front() == '+') name.remove_prefix(1);
    if (name.find_first_of("0123456789") == std::string_view::npos) return false;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(name.data(), name.data() + name.size(), value);
    return ec == std::errc() && ptr == name.data() + name.size();
}

MouthBandsParse ParseMouthBandList(std::string_view text) {
    MouthBandsParse r;
    if (text.empty()) {
        r.error = "the mouth list is empty";
        return r;
    }
    // Counted first: a list as long as a settings file allows is refused before it is split.
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    if (commas >= kMaxMouthBands) {
        r.error = "the mouth list has more than " + std::to_string(kMaxMouthBands) + " mouths";
        return r;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        const bool last = end == text.size();
        const std::size_t colon = item.find(':');
        MouthBand band;
        band.name = std::string(item.substr(0, colon));
        if (last) {
            if (colon != std::string_view::npos) {
                r.error = "the last mouth ('" + band.name + "') takes every opening above the " +
                          "others and has no limit";
                return r;
            }
        } else {
            if (colon == std::string_view::npos) {
                r.error = "mouth '" + band.name + "' needs a limit (NAME:LIMIT)";
                return r;
            }
            const std::string_view limit = item.substr(colon + 1);
            const auto [ptr, ec] = std::from_chars(limit.data(), limit.data() + limit.size(),
                                                   band.upper, std::chars_format::general);
            if (limit.empty() || ec != std::errc() || ptr != limit.data() + limit.size() ||
                !std::isfinite(band.upper)) {
                r.error = "the limit of mouth '" + band.name + "' must be a number (got '" +
                          std::string(limit) + "')";
                return r;
            }
        }
        r.bands.push_back(std::move(band));
        if (last) break;
        start = end + 1;
    }
    return r;
}

}  // namespace

std::optional<KeyFormat> KeyFormatFromName(std::string_view name) {
    for (int i = 0; i < kKeyFormatCount; ++i) {
        const auto f = static_cast<KeyFormat>(i);
        if (name == KeyFormatName(f)) return f;
    }
    return std::nullopt;
}

const char* KeyFormatName(KeyFormat format) {
    switch (format) {
        case KeyFormat::Env:
            return "env";
        case KeyFormat::Csv:
            return "csv";
        case KeyFormat::Json:
            return "json";
        case KeyFormat::Ae:
            return "ae";
        case KeyFormat::Dat:
            return "dat";
        case KeyFormat::RhubarbTsv:
            return "rhubarb-tsv";
        case KeyFormat::RhubarbJson:
            return "rhubarb-json";
        case KeyFormat::RhubarbXml:
            return "rhubarb-xml";
    }
    return "env";
}

const char* KeyFormatExtension(KeyFormat format) {
    switch (format) {
        case KeyFormat::Ae:
            return "txt";
        case KeyFormat::RhubarbTsv:
            return "tsv";
        case KeyFormat::RhubarbJson:
            return "json";
        case KeyFormat::RhubarbXml:
            return "xml";
        default:
            return KeyFormatName(format);
    }
}

bool IsShapeCueFormat(KeyFormat format) {
    return format == KeyFormat::RhubarbTsv || format == KeyFormat::RhubarbJson ||
           format == KeyFormat::RhubarbXml;
}

MouthBands DefaultMouthBands() {
    return {{"rest", 0.10f}, {"etc", 0.30f}, {"E", 0.55f}, {"AI", 0.0f}};
}

std::string CheckMouthName(const std::string& name, std::size_t ordinal) {
    if (name.empty()) return "mouth " + std::to_string(ordinal) + " has no name";
    // Checked first: a name that is not UTF-8 is not repeated in a message.
    if (!IsValidUtf8(name)) {
        return "the name of mouth " + std::to_string(ordinal) + " is not valid UTF-8 text";
    }
    if (name.size() > kMaxMouthNameLength) {
        return "the mouth name '" + name.substr(0, 20) + "...' is longer than " +
               std::to_string(kMaxMouthNameLength) + " characters";
    }
    for (char c : name) {
        if (!IsNameByte(static_cast<unsigned char>(c))) {
            return "the mouth name '" + name + "' has a space, a control character, ':' or ','";
        }
    }
    if (IsPlainNumber(name)) {
        return "the mouth name '" + name + "' is a plain number, which readers of switch data drop";
    }
    return {};
}

std::string CheckMouthBands(const MouthBands& bands) {
    if (bands.empty()) return "the mouth list is empty";
    if (bands.size() > kMaxMouthBands) {
        return "the mouth list has more than " + std::to_string(kMaxMouthBands) + " mouths";
    }
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const MouthBand& band = bands[i];
        if (std::string why = CheckMouthName(band.name, i + 1); !why.empty()) return why;
        if (i + 1 == bands.size()) break;
        if (!std::isfinite(band.upper)) {
            return "the limit of mouth '" + band.name + "' is not a number";
        }
        if (i > 0 && !(band.upper > bands[i - 1].upper)) {
            std::string text =
                "the limits must rise from one mouth to the next ('" + band.name + "' at ";
            AppendShortest(text, band.upper);
            text += " follows '" + bands[i - 1].name + "' at ";
            AppendShortest(text, bands[i - 1].upper);
            return text + ")";
        }
    }
    return {};
}

MouthBandsParse ParseMouthBands(std::string_view text) {
    MouthBandsParse r = ParseMouthBandList(text);
    if (r.error.empty()) r.error = CheckMouthBands(r.bands);
    if (!r.error.empty()) r.bands.clear();
    return r;
}

std::string FormatMouthBands(const MouthBands& bands) {
    std::string text;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        if (i > 0) text += ',';
        text += bands[i].name;
        if (i + 1 < bands.size()) {
            text += ':';
            AppendShortest(text, bands[i].upper);
        }
    }
    return text;
}

std::size_t MouthBandOf(const MouthBands& bands, double opening) {
    std::size_t i = 0;
    while (i + 1 < bands.size() && opening >= static_cast<double>(bands[i].upper)) ++i;
    return i;
}

void AppendShortest(std::string& out, double value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void AppendShortest(std::string& out, float value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

bool AppendJsonString(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    bool clean = true;
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            const char* named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
            if (named) {
                out += named;
            } else {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            ++i;
        } else {
            std::size_t bad = 0;
            const std::size_t n = Utf8Sequence(text.substr(i), bad);
            if (n > 0) {
                out.append(text.substr(i, n));
                i += n;
            } else {
                out += "\xEF\xBF\xBD";
                clean = false;
                i += bad;
            }
        }
    }
    out += '"';
    return clean;
}

namespace {

bool HasShapes(const KeyExportInfo& info) {
    return info.shapes && !info.shapes->IsEmpty();
}

// The csv of keys and shapes: one row per frame that has either.
bool WriteKeysAndShapesCsv(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "frame,time,opening,shape";
    chunks.Line();
    const std::vector<ShapeEntry>& shapes = info.shapes->Entries();
    std::int32_t k = 0;
    std::size_t s = 0;
    if (HasLeadIn(keys)) {
        // The envelope's rise from 0 at frame 0, as in the form without shapes.
        t += "0,0,0,";
        if (!shapes.empty() && shapes.front().frame == 0) {
            t += MouthShapeLetter(ShapeInSet(shapes.front().shape, info.shapeSet));
            ++s;
        }
        chunks.Line();
    }
    while (k < keys.GetCount() || s < shapes.size()) {
        const Keyframe* key = keys.GetAt(k);
        const ShapeEntry* shape = s < shapes.size() ? &shapes[s] : nullptr;
        const std::int32_t frame = !shape ? key->GetFrame()
                                   : !key ? shape->frame
                                          : std::min(key->GetFrame(), shape->frame);
        AppendInt(t, frame);
        t += ',';
        AppendShortest(t, TimeOf(frame, info.frameRate));
        t += ',';
        if (key && key->GetFrame() == frame) {
            AppendShortest(t, key->GetOpening());
            ++k;
        }
        t += ',';
        if (shape && shape->frame == frame) {
            t += MouthShapeLetter(ShapeInSet(shape->shape, info.shapeSet));
            ++s;
        }
        chunks.Line();
    }
    return chunks.Finish();
}

}  // namespace

bool WriteKeysCsv(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out) {
    if (HasShapes(info)) return WriteKeysAndShapesCsv(keys, info, out);
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "frame,time,opening";
    chunks.Line();
    if (HasLeadIn(keys)) {
        t += "0,0,0";
        chunks.Line();
    }
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
        const Keyframe* key = keys.GetAt(i);
        AppendInt(t, key->GetFrame());
        t += ',';
        AppendShortest(t, TimeOf(key->GetFrame(), info.frameRate));
        t += ',';
        AppendShortest(t, key->GetOpening());
        chunks.Line();
    }
    return chunks.Finish();
}

bool WriteKeysJson(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out,
                   KeyExportNotes* notes) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "{";
    chunks.Line();
    t += "  \"frameRate\": ";
    AppendShortest(t, info.frameRate);
    t += ',';
    chunks.Line();
    t += "  \"sound\": ";
    if (info.soundPath) {
        const bool clean = AppendJsonString(t, *info.soundPath);
        if (notes) notes->soundPathNotUtf8 = !clean;
    } else {
        t += "null";
    }
    t += ',';
    chunks.Line();
    const std::int32_t count = keys.GetCount();
    t += count == 0 ? "  \"keys\": []" : "  \"keys\": [";
    if (count == 0 && HasShapes(info)) t += ',';
    chunks.Line();
    if (HasLeadIn(keys)) {
        // Marked, so that a reader can tell it from a key.
        t += "    {\"frame\": 0, \"time\": 0, \"opening\": 0, \"leadIn\": true},";
        chunks.Line();
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const Keyframe* key = keys.GetAt(i);
        t += "    {\"frame\": ";
        AppendInt(t, key->GetFrame());
        t += ", \"time\": ";
        AppendShortest(t, TimeOf(key->GetFrame(), info.frameRate));
        t += ", \"opening\": ";
        AppendShortest(t, key->GetOpening());
        if (key->IsHandMade()) t += ", \"hand\": true";
        t += i + 1 < count ? "}," : "}";
        chunks.Line();
    }
    if (count > 0) {
        t += "  ]";
        if (HasShapes(info)) t += ',';
        chunks.Line();
    }
    if (HasShapes(info)) {
        t += "  \"shapes\": [";
        chunks.Line();
        const std::vector<ShapeEntry>& shapes = info.shapes->Entries();
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            t += "    {\"frame\": ";
            AppendInt(t, shapes[i].frame);
            t += ", \"time\": ";
            AppendShortest(t, TimeOf(shapes[i].frame, info.frameRate));
            t += ", \"shape\": \"";
            t += MouthShapeLetter(ShapeInSet(shapes[i].shape, info.shapeSet));
            t += shapes[i].hand ? "\", \"hand\": true" : "\"";
            t += i + 1 < shapes.size() ? "}," : "}";
            chunks.Line();
        }
        t += "  ]";
        chunks.Line();
    }
    t += "}";
    chunks.Line();
    return chunks.Finish();
}

bool WriteKeysAfterEffects(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t";
    AppendShortest(t, info.frameRate);
    t += "\n\tSource Width\t100\n\tSource Height\t100\n\tSource Pixel Aspect Ratio\t1\n"
         "\tComp Pixel Aspect Ratio\t1\n\nEffects\tSlider Control #1\tSlider #2\n\tFrame\t";
    chunks.Line();
    if (HasLeadIn(keys)) {
        t += "\t0\t0";
        chunks.Line();
    }
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
        const Keyframe* key = keys.GetAt(i);
        t += '\t';
        AppendInt(t, key->GetFrame());
        t += '\t';
        AppendPercent(t, key->GetOpening());
        chunks.Line();
    }
    // After Effects' own copies leave two blank lines before the end line.
    t += "\n\nEnd of Keyframe Data";
    chunks.Line();
    return chunks.Finish();
}

bool WriteKeysMouthSwitch(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "MohoSwitch1";
    chunks.Line();
    const MouthBands& bands = info.mouths;
    if (bands.empty()) return chunks.Finish();
    std::size_t current = bands.size();    // the band of the frame last looked at
    const std::string* written = nullptr;  // the mouth of the last line
    auto emit = [&](std::int64_t frame, std::size_t band) {
        current = band;
        // Two neighbouring bands may name the same mouth: that is no change of mouth.
        if (written && *written == bands[band].name) return;
        written = &bands[band].name;
        AppendInt(t, frame + 1);
        t += ' ';
        t += bands[band].name;
        chunks.Line();
    };
    // The points of the envelope: the keys, after the closed mouth at frame 0 of the lead-in.
    const bool leadIn = HasLeadIn(keys);
    const std::int32_t count = keys.GetCount() + (leadIn ? 1 : 0);
    const auto point = [&](std::int32_t i, double& frame, double& opening) {
        if (leadIn && i == 0) {
            frame = 0.0;
            opening = 0.0;
            return true;
        }
        const Keyframe* key = keys.GetAt(leadIn ? i - 1 : i);
        if (!key) return false;
        frame = key->GetFrame();
        opening = key->GetOpening();
        return true;
    };
    for (std::int32_t i = 0; i < count; ++i) {
        double x0, y0, x1, y1;
        point(i, x0, y0);
        emit(static_cast<std::int64_t>(x0), MouthBandOf(bands, y0));
        if (!point(i + 1, x1, y1)) break;
        // The opening of a frame between two keys, computed as the envelope pane and playback
        // compute it. It is monotonic across the gap, so every change of mouth is found by
        // bisection: the work grows with the keys and mouths, not with the frames between keys.
        const auto bandAt = [&](std::int64_t f) {
            return MouthBandOf(bands, y0 + (y1 - y0) * ((static_cast<double>(f) - x0) / (x1 - x0)));
        };
        std::int64_t from = static_cast<std::int64_t>(x0);
        const std::int64_t to = static_cast<std::int64_t>(x1);
        while (from + 1 < to) {
            if (bandAt(to - 1) == current) break;
            // The first frame in (from, to) whose mouth differs from the current one.
            std::int64_t lo = from, hi = to - 1;
            while (hi - lo > 1) {
                const std::int64_t mid = lo + (hi - lo) / 2;
                (bandAt(mid) == current ? lo : hi) = mid;
            }
            emit(hi, bandAt(hi));
            from = hi;
        }
    }
    return chunks.Finish();
}

bool WriteKeys(KeyFormat format, const KeyframeList& keys, const KeyExportInfo& info,
               std::ostream& out, KeyExportNotes* notes) {
    switch (format) {
        case KeyFormat::Env:
            return WriteEnvelope(keys, out);
        case KeyFormat::Csv:
            return WriteKeysCsv(keys, info, out);
        case KeyFormat::Json:
            return WriteKeysJson(keys, info, out, notes);
        case KeyFormat::Ae:
            return WriteKeysAfterEffects(keys, info, out);
        case KeyFormat::Dat:
            if (HasShapes(info)) {
                return WriteShapeTrackSwitch(*info.shapes,
                                             ShapeNamesInSet(info.shapeNames, info.shapeSet), out);
            }
            return WriteKeysMouthSwitch(keys, info, out);
        case KeyFormat::RhubarbTsv:
        case KeyFormat::RhubarbJson:
        case KeyFormat::RhubarbXml:
            return WriteShapeCues(format, info, out, notes);
    }
    return false;
}

bool WriteShapeCues(KeyFormat format, const KeyExportInfo& info, std::ostream& out,
                    KeyExportNotes* notes) {
    ShapeExportInfo cueInfo;
    if (info.soundPath) {
        cueInfo.soundPath = *info.soundPath;
        if (notes && format == KeyFormat::RhubarbJson && !IsValidUtf8(cueInfo.soundPath)) {
            notes->soundPathNotUtf8 = true;
        }
    }
    cueInfo.sampleRate = info.soundRate;
    cueInfo.sampleCount = info.soundSamples;
    std::int64_t centiseconds = TimedCentiseconds(cueInfo);
    const ShapeTrack empty;
    const ShapeTrack& track = info.shapes ? *info.shapes : empty;
    // A shape set by hand after the sound has ended is not cut off: the cues reach its end. (The
    // last guessed frame starts inside the sound and ends with it, as the guess's cues do.)
    if (!track.IsEmpty() && info.frameRate > 0.0) {
        const double soundEnd =
            info.soundRate > 0 ? static_cast<double>(info.soundSamples) * 100.0 / info.soundRate
                               : 0.0;
        const double last = static_cast<double>(track.Entries().back().frame);
        if (last * 100.0 / info.frameRate >= soundEnd) {
            const double end = (last + 1.0) * 100.0 / info.frameRate;
            centiseconds = std::max(centiseconds, static_cast<std::int64_t>(std::llround(end)));
        }
    }
    // The writers take the length from the duration when no samples are given.
    cueInfo.sampleCount = 0;
    cueInfo.duration = static_cast<double>(centiseconds) / 100.0;
    const ShapeFormat shapeFormat = format == KeyFormat::RhubarbTsv    ? ShapeFormat::Tsv
                                    : format == KeyFormat::RhubarbJson ? ShapeFormat::Json
                                                                       : ShapeFormat::Xml;
    return WriteCues(shapeFormat, CuesOfTrack(track, info.frameRate, centiseconds), cueInfo, out);
}

}  // namespace vokra

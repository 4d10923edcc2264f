#include "document/shape_export.h"

#include <charconv>
#include <cmath>

#include "document/key_export.h"
#include "shapes/shape_estimator.h"

namespace vokra {
namespace {

constexpr double kWindowSeconds = 0.01;

// Seconds with two decimals, '.' whatever the locale.
void AppendSeconds(std::string& out, double seconds) {
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 2);
    out.append(buf, r.ptr);
}

// Hundredths of a second, as the two-decimal text shows them.
std::int64_t Hundredths(double seconds) {
    return static_cast<std::int64_t>(std::llround(seconds * 100.0));
}

void AppendInt(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

bool Put(std::ostream& out, const std::string& text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

// Text content or attribute value of XML: markup characters as entities, the control characters
// XML 1.0 cannot hold and bytes that are not UTF-8 as U+FFFD (as the JSON writer repairs them).
void AppendXmlText(std::string& out, std::string_view text) {
    std::string json;
    AppendJsonString(json, text);  // valid UTF-8 with escapes, which are undone below
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const char c = json[i];
        if (c == '\\') {
            const char e = json[++i];
            if (e == 'u') {
                i += 4;  // a control character: not allowed in XML 1.0
                out += "\xEF\xBF\xBD";
            } else if (e == 'n' || e == 't' || e == 'r') {
                out += e == 'n' ? "&#10;" : e == 't' ? "&#9;" : "&#13;";
            } else {
                out += e == '"' ? "&quot;" : "\\";
            }
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else {
            out += c;
        }
    }
}

// The 10 ms shapes as the rig draws them, before runs and frames are formed from them.
std::vector<MouthShape> InRigSet(const std::vector<MouthShape>& per10ms,
                                 const ShapeExportInfo& info) {
    std::vector<MouthShape> shapes = per10ms;
    ApplyShapeSet(shapes, info.shapeSet);
    return shapes;
}

// The cues as the rig draws them: a mouth it lacks becomes its basic mouth, and neighbours that
// then show one mouth are one cue (a G beside an A is one cue without G).
std::vector<ShapeCue> InRigSet(const std::vector<ShapeCue>& cues, const ShapeSet& set) {
    std::vector<ShapeCue> out;
    out.reserve(cues.size());
    for (ShapeCue cue : cues) {
        cue.shape = ShapeInSet(cue.shape, set);
        if (!out.empty() && out.back().shape == cue.shape) {
            out.back().end = cue.end;
        } else {
            out.push_back(cue);
        }
    }
    return out;
}

// The shapes of the frames of the sound at the frame rate.
std::vector<MouthShape> FrameShapes(const std::vector<MouthShape>& per10ms,
                                    const ShapeExportInfo& info) {
    if (!(info.frameRate > 0.0) || !(info.duration > 0.0)) return {};
    const double frames = std::ceil(info.duration * info.frameRate);
    if (!(frames >= 1.0) || frames > 2147483647.0) return {};
    return ShapesForFrames(InRigSet(per10ms, info), info.sampleRate, info.frameRate, 0,
                           static_cast<std::int32_t>(frames - 1.0));
}

}  // namespace

std::optional<ShapeFormat> ShapeFormatFromName(std::string_view name) {
    if (name == "tsv" || name == "rhubarb-tsv") return ShapeFormat::Tsv;
    if (name == "json" || name == "rhubarb-json") return ShapeFormat::Json;
    if (name == "xml" || name == "rhubarb-xml") return ShapeFormat::Xml;
    if (name == "csv") return ShapeFormat::Csv;
    if (name == "dat") return ShapeFormat::Dat;
    if (const auto rig = RigFormatFromName(name)) return ShapeFormatOf(*rig);
    return std::nullopt;
}

std::vector<ShapeCue> CuesOf(const std::vector<MouthShape>& per10ms, double duration) {
    std::vector<ShapeCue> cues;
    const std::int64_t end = Hundredths(duration);
    for (std::size_t i = 0; i < per10ms.size();) {
        std::size_t j = i + 1;
        while (j < per10ms.size() && per10ms[j] == per10ms[i]) ++j;
        if (static_cast<std::int64_t>(i) >= end) break;
        cues.push_back({static_cast<double>(i) * kWindowSeconds,
                        std::min(static_cast<double>(j) * kWindowSeconds, duration), per10ms[i]});
        i = j;
    }
    // The last cue reaches the end of the sound, however the windows fell.
    if (!cues.empty()) {
        cues.back().end = duration;
    } else if (duration > 0.0) {
        cues.push_back({0.0, duration, MouthShape::X});
    }
    return cues;
}

std::int64_t TimedCentiseconds(const ShapeExportInfo& info) {
    if (info.sampleCount > 0 && info.sampleRate > 0) {
        return info.sampleCount * 100 / info.sampleRate;
    }
    // A hair over, so that 0.29 s written as a double is 29 hundredths, not 28.
    const double cs = std::floor(info.duration * 100.0 + 1e-6);
    return cs > 0.0 && cs < 9e15 ? static_cast<std::int64_t>(cs) : 0;
}

bool WriteShapesTsv(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out) {
    return WriteCues(ShapeFormat::Tsv, CuesOf(per10ms, TimedCentiseconds(info) / 100.0), info, out);
}

bool WriteShapesJson(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                     std::ostream& out) {
    return WriteCues(ShapeFormat::Json, CuesOf(per10ms, TimedCentiseconds(info) / 100.0), info,
                     out);
}

bool WriteShapesXml(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out) {
    return WriteCues(ShapeFormat::Xml, CuesOf(per10ms, TimedCentiseconds(info) / 100.0), info, out);
}

namespace {

bool WriteCuesTsv(const std::vector<ShapeCue>& cues, double duration, MouthShape rest,
                  std::ostream& out) {
    std::string t;
    for (const ShapeCue& cue : cues) {
        AppendSeconds(t, cue.start);
        t += '\t';
        t += MouthShapeLetter(cue.shape);
        t += '\n';
    }
    // The end of the recording, with the mouth at rest.
    if (cues.empty() || Hundredths(duration) > Hundredths(cues.back().start)) {
        AppendSeconds(t, duration);
        t += '\t';
        t += MouthShapeLetter(rest);
        t += '\n';
    }
    return Put(out, t);
}

bool WriteCuesJson(const std::vector<ShapeCue>& cues, double duration, const ShapeExportInfo& info,
                   std::ostream& out) {
    std::string t = "{\n  \"metadata\": {\n    \"soundFile\": ";
    AppendJsonString(t, info.soundPath);
    t += ",\n    \"duration\": ";
    AppendSeconds(t, duration);
    t += "\n  },\n  \"mouthCues\": [";
    for (std::size_t i = 0; i < cues.size(); ++i) {
        t += i == 0 ? "\n" : ",\n";
        t += "    { \"start\": ";
        AppendSeconds(t, cues[i].start);
        t += ", \"end\": ";
        AppendSeconds(t, cues[i].end);
        t += ", \"value\": \"";
        t += MouthShapeLetter(cues[i].shape);
        t += "\" }";
    }
    t += cues.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return Put(out, t);
}

bool WriteCuesXml(const std::vector<ShapeCue>& cues, double duration, const ShapeExportInfo& info,
                  std::ostream& out) {
    std::string t =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rhubarbResult>\n"
        "  <metadata>\n    <soundFile>";
    AppendXmlText(t, info.soundPath);
    t += "</soundFile>\n    <duration>";
    AppendSeconds(t, duration);
    t += "</duration>\n  </metadata>\n  <mouthCues>\n";
    for (const ShapeCue& cue : cues) {
        t += "    <mouthCue start=\"";
        AppendSeconds(t, cue.start);
        t += "\" end=\"";
        AppendSeconds(t, cue.end);
        t += "\">";
        t += MouthShapeLetter(cue.shape);
        t += "</mouthCue>\n";
    }
    t += "  </mouthCues>\n</rhubarbResult>\n";
    return Put(out, t);
}

}  // namespace

bool WriteCues(ShapeFormat format, const std::vector<ShapeCue>& cues, const ShapeExportInfo& info,
               std::ostream& out) {
    const double duration = static_cast<double>(TimedCentiseconds(info)) / 100.0;
    const std::vector<ShapeCue> rig = InRigSet(cues, info.shapeSet);
    switch (format) {
        case ShapeFormat::Tsv:
            return WriteCuesTsv(rig, duration, ShapeInSet(MouthShape::X, info.shapeSet), out);
        case ShapeFormat::Json:
            return WriteCuesJson(rig, duration, info, out);
        case ShapeFormat::Xml:
            return WriteCuesXml(rig, duration, info, out);
        default:
            return false;
    }
}

std::vector<ShapeCue> CuesOfTrack(const ShapeTrack& track, double frameRate,
                                  std::int64_t centiseconds) {
    std::vector<ShapeCue> cues;
    if (centiseconds <= 0 || !(frameRate > 0.0)) return cues;
    struct Span {
        std::int64_t start;
        MouthShape shape;
    };
    // The starts of the mouths in hundredths; a mouth that lasts no hundredth gives way to the
    // next, and two alike in a row are one.
    std::vector<Span> spans{{0, MouthShape::X}};
    const auto change = [&](std::int64_t frame, MouthShape shape) {
        const std::int64_t at = std::llround(static_cast<double>(frame) * 100.0 / frameRate);
        if (at >= centiseconds || spans.back().shape == shape) return;
        if (spans.back().start == at) {
            spans.pop_back();
            if (!spans.empty() && spans.back().shape == shape) return;
        }
        spans.push_back({at, shape});
    };
    const std::vector<ShapeEntry>& entries = track.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && entries[i].frame > entries[i - 1].frame + 1) {
            change(std::int64_t{entries[i - 1].frame} + 1, MouthShape::X);
        }
        change(entries[i].frame, entries[i].shape);
    }
    if (!entries.empty()) change(std::int64_t{entries.back().frame} + 1, MouthShape::X);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const std::int64_t end = i + 1 < spans.size() ? spans[i + 1].start : centiseconds;
        cues.push_back({static_cast<double>(spans[i].start) / 100.0,
                        static_cast<double>(end) / 100.0, spans[i].shape});
    }
    return cues;
}

bool WriteShapesCsv(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out) {
    std::string t = "frame,time,shape\n";
    const std::vector<MouthShape> frames = FrameShapes(per10ms, info);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        AppendInt(t, static_cast<std::int64_t>(f));
        t += ',';
        AppendShortest(t, static_cast<double>(f) / info.frameRate);
        t += ',';
        t += MouthShapeLetter(frames[f]);
        t += '\n';
    }
    return Put(out, t);
}

bool WriteShapesDat(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info,
                    std::ostream& out) {
    ShapeTrack track;
    const std::vector<MouthShape> frames = FrameShapes(per10ms, info);
    std::vector<ShapeEntry> run;
    run.reserve(frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f) {
        run.push_back({static_cast<std::int32_t>(f), frames[f], false});
    }
    if (!run.empty()) track.ReplaceRange(0, run.back().frame, run);
    return WriteShapeTrackSwitch(track, info.names, out);
}

RigMouths RigMouthsOf(const std::vector<MouthShape>& per10ms, const ShapeExportInfo& info) {
    RigMouths m;
    m.frameRate = info.frameRate;
    m.soundPath = info.soundPath;
    m.words = info.words;
    m.script = info.script;
    if (info.duration * info.frameRate > static_cast<double>(kMaxRigFrames)) {
        m.tooLong = true;
        return m;
    }
    m.frames = FrameShapes(per10ms, info);
    return m;
}

bool WriteShapes(ShapeFormat format, const std::vector<MouthShape>& per10ms,
                 const ShapeExportInfo& info, std::ostream& out) {
    switch (format) {
        case ShapeFormat::Tsv:
            return WriteShapesTsv(per10ms, info, out);
        case ShapeFormat::Json:
            return WriteShapesJson(per10ms, info, out);
        case ShapeFormat::Xml:
            return WriteShapesXml(per10ms, info, out);
        case ShapeFormat::Csv:
            return WriteShapesCsv(per10ms, info, out);
        case ShapeFormat::Dat:
            return WriteShapesDat(per10ms, info, out);
        default:
            return WriteRig(*RigFormatOf(format), RigMouthsOf(per10ms, info), info.rig, out);
    }
}

bool WriteShapeTrackSwitch(const ShapeTrack& track, const MouthShapeNames& names,
                           std::ostream& out) {
    std::string t = "MohoSwitch1\n";
    const std::string* written = nullptr;
    // Two shapes may carry one name: that is no change of mouth.
    auto emit = [&](std::int64_t frame, MouthShape shape) {
        const std::string& name = names[static_cast<std::size_t>(MouthShapeIndex(shape))];
        if (written && *written == name) return;
        written = &name;
        AppendInt(t, frame + 1);
        t += ' ';
        t += name;
        t += '\n';
    };
    const std::vector<ShapeEntry>& entries = track.Entries();
    // As the keys' switch data: the mouth is at rest from frame 1 until the first shape...
    if (!entries.empty() && entries.front().frame > 0) emit(0, MouthShape::X);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && entries[i].frame > entries[i - 1].frame + 1) {
            emit(std::int64_t{entries[i - 1].frame} + 1, MouthShape::X);
        }
        emit(entries[i].frame, entries[i].shape);
    }
    // ... and closes at rest after the last one, so a reader does not hold the last mouth open.
    if (!entries.empty()) emit(std::int64_t{entries.back().frame} + 1, MouthShape::X);
    return Put(out, t);
}

MouthShapeNamesParse ParseMouthShapeNames(std::string_view text) {
    MouthShapeNamesParse r;
    r.names = DefaultMouthShapeNames();
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (items.size() <= kMouthShapeCount) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        items.push_back(text.substr(start, end - start));
        if (end == text.size()) break;
        start = end + 1;
    }
    const bool byLetter = !items.empty() && items[0].find(':') != std::string_view::npos;
    if (!byLetter && items.size() != kMouthShapeCount) {
        r.error = "give nine mouth names in the order A,B,C,D,E,F,G,H,X, or LETTER:NAME items";
        return r;
    }
    if (byLetter && items.size() > kMouthShapeCount) {
        r.error = "more than nine LETTER:NAME items";
        return r;
    }
    bool given[kMouthShapeCount] = {};
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string_view item = items[i];
        std::size_t index = i;
        if (byLetter) {
            const std::optional<MouthShape> shape =
                item.size() > 2 && item[1] == ':' ? MouthShapeFromLetter(item[0]) : std::nullopt;
            if (!shape) {
                r.error = "'" + std::string(item) + "' is not LETTER:NAME with a letter A-H or X";
                return r;
            }
            index = static_cast<std::size_t>(MouthShapeIndex(*shape));
            item.remove_prefix(2);
            // "A:x,A:y" would silently keep only one of the two.
            if (given[index]) {
                r.error = std::string("the letter ") + MouthShapeLetter(*shape) + " is given twice";
                return r;
            }
            given[index] = true;
        }
        r.names[index] = std::string(item);
        // The checks of the keys' mouth list: readers drop a name that is a plain number.
        if (std::string why = CheckMouthName(r.names[index], index + 1); !why.empty()) {
            r.error = std::move(why);
            return r;
        }
    }
    return r;
}

MouthShapeNames ShapeNamesInSet(const MouthShapeNames& names, ShapeSet set) {
    MouthShapeNames inSet = names;
    for (int i = 0; i < kMouthShapeCount; ++i) {
        const MouthShape shape = *MouthShapeFromIndex(i);
        inSet[static_cast<std::size_t>(i)] =
            names[static_cast<std::size_t>(MouthShapeIndex(ShapeInSet(shape, set)))];
    }
    return inSet;
}

std::string FormatMouthShapeNames(const MouthShapeNames& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ',';
        text += names[i];
    }
    return text;
}

}  // namespace vokra

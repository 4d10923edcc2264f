// The mouths as a Live2D motion (motion3.json): a curve of the mouth's opening and one of its
// form, stepped (each mouth held until the next) or linear (moving from one to the next), each
// change of mouth also named as user data; the Meta block counts what the file holds exactly, as
// players size their buffers by it.
#include <charconv>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

constexpr int kLinearSegment = 0;
constexpr int kSteppedSegment = 2;

// Opening and form of a map entry "OPEN/FORM" (checked when the map was read).
double Part(const std::string& entry, bool form) {
    const std::size_t slash = entry.find('/');
    const std::string part = form ? entry.substr(slash + 1) : entry.substr(0, slash);
    double v = 0.0;
    std::from_chars(part.data(), part.data() + part.size(), v);
    return v;
}

struct Curve {
    std::string id;
    std::string segments;
    int segmentCount = 0;
    int pointCount = 0;
};

Curve MakeCurve(const std::string& id, const std::vector<MouthChange>& changes, const RigMouths& m,
                const RigExportOptions& o, bool form) {
    Curve c;
    c.id = id;
    const int type = o.linear ? kLinearSegment : kSteppedSegment;
    const auto point = [&](double time, double value) {
        AppendShortest(c.segments, time);
        c.segments += ", ";
        AppendShortest(c.segments, value);
        ++c.pointCount;
    };
    double last = 0.0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        last = Part(NameOf(o, changes[i].shape), form);
        if (i > 0) {
            c.segments += ", ";
            AppendInt(c.segments, type);
            c.segments += ", ";
            ++c.segmentCount;
        }
        point(static_cast<double>(changes[i].frame) / m.frameRate, last);
    }
    // The last mouth lasts to the end: a segment closes the curve at the motion's length.
    const double end = DurationOf(m);
    if (changes.empty()) point(0.0, 0.0);
    c.segments += ", ";
    AppendInt(c.segments, type);
    c.segments += ", ";
    ++c.segmentCount;
    point(end, last);
    return c;
}

}  // namespace

bool WriteLive2dMotion(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    const std::vector<MouthChange> changes = MouthChanges(m.frames, *o.names);
    const std::size_t slash = o.target.find('/');
    const Curve curves[2] = {MakeCurve(o.target.substr(0, slash), changes, m, o, false),
                             MakeCurve(o.target.substr(slash + 1), changes, m, o, true)};
    // Each change's user data is its mouth's letter: one byte.
    const auto userDataSize = static_cast<std::int64_t>(changes.size());
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "{\n  \"Version\": 3,\n  \"Meta\": {\n    \"Duration\": ";
    AppendShortest(t, DurationOf(m));
    t += ",\n    \"Fps\": ";
    AppendShortest(t, m.frameRate);
    t += ",\n    \"Loop\": false,\n    \"AreBeziersRestricted\": true,\n    \"CurveCount\": 2";
    t += ",\n    \"TotalSegmentCount\": ";
    AppendInt(t, curves[0].segmentCount + curves[1].segmentCount);
    t += ",\n    \"TotalPointCount\": ";
    AppendInt(t, curves[0].pointCount + curves[1].pointCount);
    t += ",\n    \"UserDataCount\": ";
    AppendInt(t, static_cast<std::int64_t>(changes.size()));
    t += ",\n    \"TotalUserDataSize\": ";
    AppendInt(t, userDataSize);
    t += "\n  },\n  \"Curves\": [";
    for (int i = 0; i < 2; ++i) {
        t += i == 0 ? "\n    {\n      \"Target\": \"Parameter\",\n      \"Id\": "
                    : ",\n    {\n      \"Target\": \"Parameter\",\n      \"Id\": ";
        AppendJsonString(t, curves[i].id);
        t += ",\n      \"Segments\": [";
        t += curves[i].segments;
        t += "]\n    }";
    }
    t += "\n  ],\n  \"UserData\": [";
    for (std::size_t i = 0; i < changes.size(); ++i) {
        t += i == 0 ? "\n    { \"Time\": " : ",\n    { \"Time\": ";
        AppendShortest(t, static_cast<double>(changes[i].frame) / m.frameRate);
        t += ", \"Value\": \"";
        t += MouthShapeLetter(changes[i].shape);
        t += "\" }";
    }
    t += changes.empty() ? "]\n}" : "\n  ]\n}";
    chunks.Line();
    return chunks.Finish();
}

}  // namespace vokra

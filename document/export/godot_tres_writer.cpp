// The mouths as a Godot 4 Animation resource (.tres text): a value track on the target's node
// path, discrete (update 1) and without interpolation, holding the mouth's frame number or name
// from each change on; with a method name, a method track on the same node calling it with the
// mouth at each change as well.
#include <charconv>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

// A whole number is written as one (a sprite's frame), anything else as a string (an animation
// or a sprite frames' name).
void AppendValue(std::string& t, const std::string& name) {
    long long v = 0;
    const auto r = std::from_chars(name.data(), name.data() + name.size(), v);
    if (r.ec == std::errc() && r.ptr == name.data() + name.size()) {
        AppendInt(t, v);
    } else {
        AppendJsonString(t, name);
    }
}

void AppendTimes(std::string& t, const std::vector<MouthChange>& changes, double frameRate) {
    t += "\"times\": PackedFloat32Array(";
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (i > 0) t += ", ";
        AppendShortest(t, static_cast<float>(changes[i].frame / frameRate));
    }
    t += "),\n\"transitions\": PackedFloat32Array(";
    for (std::size_t i = 0; i < changes.size(); ++i) t += i > 0 ? ", 1" : "1";
    t += "),\n";
}

void AppendTrackHead(std::string& t, int index, const char* type, const std::string& path,
                     int interp) {
    const std::string key = "tracks/" + std::to_string(index) + "/";
    t += key + "type = \"" + type + "\"\n";
    t += key + "imported = false\n";
    t += key + "enabled = true\n";
    t += key + "path = NodePath(\"" + path + "\")\n";
    t += key + "interp = " + std::to_string(interp) + "\n";
    t += key + "loop_wrap = true\n";
    t += key + "keys = {\n";
}

}  // namespace

bool WriteGodotTres(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    const std::vector<MouthChange> changes = MouthChanges(m.frames, *o.names);
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "[gd_resource type=\"Animation\" format=3]\n\n[resource]\nresource_name = ";
    AppendJsonString(t, o.name);
    t += "\nlength = ";
    AppendShortest(t, static_cast<float>(DurationOf(m)));
    t += "\nstep = ";
    AppendShortest(t, static_cast<float>(1.0 / m.frameRate));
    t += '\n';
    // Nearest (interp 0) and discrete: the sprite shows each drawing whole, from its frame on.
    AppendTrackHead(t, 0, "value", o.target, 0);
    AppendTimes(t, changes, m.frameRate);
    t += "\"update\": 1,\n\"values\": [";
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (i > 0) t += ", ";
        AppendValue(t, NameOf(o, changes[i].shape));
    }
    t += "]\n}\n";
    if (!o.method.empty()) {
        AppendTrackHead(t, 1, "method", o.target.substr(0, o.target.find(':')), 1);
        AppendTimes(t, changes, m.frameRate);
        t += "\"values\": [";
        for (std::size_t i = 0; i < changes.size(); ++i) {
            t += i > 0 ? ", {\n\"args\": [" : "{\n\"args\": [";
            AppendValue(t, NameOf(o, changes[i].shape));
            t += "],\n\"method\": &\"" + o.method + "\"\n}";
        }
        t += "]\n}\n";
    }
    t.pop_back();  // the line's end is the chunk's
    chunks.Line();
    return chunks.Finish();
}

}  // namespace vokra

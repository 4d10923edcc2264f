// The export formats by name and file extension, and the one way to write any of them.
#include <algorithm>
#include <cmath>

#include "document/envelope_writer.h"
#include "document/export/export_text.h"
#include "document/key_export.h"
#include "document/shape_export.h"

namespace vokra {

RigMouths RigMouthsOf(const KeyExportInfo& info) {
    RigMouths m;
    m.frameRate = info.frameRate;
    m.words = info.words;
    m.script = info.script;
    if (info.soundPath) m.soundPath = *info.soundPath;
    // Every frame of the sound; frames without a shape at rest.
    double frames = 0.0;
    if (info.soundRate > 0 && info.frameRate > 0.0) {
        frames =
            std::ceil(static_cast<double>(info.soundSamples) * info.frameRate / info.soundRate);
    }
    // Shapes past the sound's end (or without a sound) close at rest on the frame after the last,
    // so an engine holding the last key does not keep the mouth open.
    if (info.shapes && !info.shapes->IsEmpty()) {
        const double last = static_cast<double>(info.shapes->Entries().back().frame);
        if (last + 1.0 > frames) frames = last + 2.0;
    }
    if (frames > static_cast<double>(kMaxRigFrames)) m.tooLong = true;
    if (!(frames > 0.0) || m.tooLong) return m;
    m.frames.assign(static_cast<std::size_t>(frames), ShapeInSet(MouthShape::X, info.shapeSet));
    if (info.shapes) {
        for (const ShapeEntry& e : info.shapes->Entries()) {
            m.frames[static_cast<std::size_t>(e.frame)] = ShapeInSet(e.shape, info.shapeSet);
        }
    }
    return m;
}

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
        default:
            return RigFormatInfo(*RigFormatOf(format)).name;
    }
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
            if (const auto rig = RigFormatOf(format)) return RigFormatInfo(*rig).extension;
            return KeyFormatName(format);
    }
}

bool IsShapeCueFormat(KeyFormat format) {
    return format == KeyFormat::RhubarbTsv || format == KeyFormat::RhubarbJson ||
           format == KeyFormat::RhubarbXml || RigFormatOf(format);
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
        default:
            return WriteRig(*RigFormatOf(format), RigMouthsOf(info), info.rig, out);
    }
}

}  // namespace vokra

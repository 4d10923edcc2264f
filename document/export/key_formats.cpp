// The export formats by name and file extension, and the one way to write any of them.
#include "document/envelope_writer.h"
#include "document/export/export_text.h"
#include "document/key_export.h"
#include "document/shape_export.h"

namespace vokra {

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

}  // namespace vokra

// The frame rate, the sound and the keys as JSON, then the mouth shapes when the document has
// them.
#include "document/export/export_text.h"
#include "document/key_export.h"

namespace vokra {

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

}  // namespace vokra

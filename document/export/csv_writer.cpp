// The keys as comma-separated values, with a column of mouth shapes when the document has them.
#include <algorithm>

#include "document/export/export_text.h"
#include "document/key_export.h"

namespace vokra {
namespace {

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

}  // namespace vokra

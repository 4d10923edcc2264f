// The document's mouth shapes as timed mouth cues (tsv, json, xml), reaching to the end of the
// sound or of the last shape, whichever is later.
#include <algorithm>
#include <cmath>

#include "document/export/export_text.h"
#include "document/key_export.h"
#include "document/shape_export.h"

namespace vokra {

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

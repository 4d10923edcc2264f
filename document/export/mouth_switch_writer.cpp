// The envelope as mouth-shape switch data: a mouth for every stretch of frames, chosen by the
// opening's band.
#include "document/export/export_text.h"
#include "document/key_export.h"

namespace vokra {

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

}  // namespace vokra

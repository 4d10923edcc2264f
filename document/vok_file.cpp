#include "document/vok_file.h"

#include <climits>
#include <cmath>
#include <string>

#include "document/vok_section.h"
#include "document/vokra_doc.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

// The dialog only ever accepts rates in this range, so a file this program wrote never holds
// anything else; outside it the timeline computations would lose their meaning.
bool IsUsableRate(double rate) {
    return std::isfinite(rate) && rate >= 1.0 && rate <= 100.0;
}

}  // namespace

void VokFile::Write(const CVokraDoc& doc, Archive& ar) {
    ar.WriteString(kHeader);
    ar.WriteDouble(doc.frameRate);
    ar.WriteInt32(doc.fpsPreset);
    ar.WriteDouble(doc.customFps);
    const KeyframeList& keys = doc.keys;
    const std::int32_t count = keys.GetCount();
    ar.WriteInt32(count);
    for (std::int32_t i = 0; i < count; ++i) {
        const Keyframe* key = keys.GetAt(i);
        ar.WriteInt32(key->GetKind());
        ar.WriteInt32(key->GetFrame());
        ar.WriteFloat(key->GetOpening());
    }
    ar.WriteString(doc.soundDir);
    ar.WriteString(doc.soundName);
    ar.WriteString(doc.envDir);
    ar.WriteString(doc.envName);
    const std::string section = WriteVokSection(doc, doc.sectionKept);
    if (!section.empty()) ar.WriteBytes(section.data(), section.size());
}

void VokFile::Read(CVokraDoc& doc, Archive& ar) {
    if (doc.keys.GetCount() > 0) doc.keys.RemoveAll();
    doc.shapes.RemoveAll();
    doc.sectionKept.Clear();

    std::string header;
    if (!ar.ReadString(header)) return;
    if (header != kHeader) {
        AfxMessageBox(std::string(kNotAVokraDocument));
        ar.Fail(ArchiveError::Generic);
        return;
    }

    double rate = 0.0;
    std::int32_t preset = 0;
    double custom = 0.0;
    if (!ar.ReadDouble(rate) || !ar.ReadInt32(preset) || !ar.ReadDouble(custom)) return;
    if (!IsUsableRate(rate) || preset < 0 || preset >= kPresetCount ||
        (preset == 0 && !IsUsableRate(custom))) {
        ar.Fail(ArchiveError::EndOfFile);
        return;
    }
    doc.frameRate = rate;
    doc.fpsPreset = preset;
    // The custom rate in the file only counts for the custom preset; otherwise the one from the
    // settings stays.
    if (preset == 0) doc.customFps = custom;

    std::int32_t count = 0;
    if (!ar.ReadInt32(count)) return;
    if (count > 0) {
        // Refused before any key is made: the records cannot be there.
        if (static_cast<std::uint64_t>(count) * kKeyRecordSize > ar.Remaining()) {
            ar.Fail(ArchiveError::EndOfFile);
            return;
        }
        doc.keys.Reserve(count);
        Keyframe key;
        for (std::int32_t i = 0; i < count; ++i) {
            std::int32_t kind = 0;
            std::int32_t frame = 0;
            float opening = 0.0f;
            ar.ReadInt32(kind);
            ar.ReadInt32(frame);
            ar.ReadFloat(opening);
            key.SetKind(kind);
            key.SetFrame(frame);
            key.SetOpening(opening);
            doc.keys.SetKey(key);
        }
    }

    ar.ReadString(doc.soundDir);
    ar.ReadString(doc.soundName);
    ar.ReadString(doc.envDir);
    ar.ReadString(doc.envName);
    if (ar.Failed() || ar.Remaining() == 0) return;

    // What follows the last string was written by a later version: the shapes and hand-made
    // marks. A damaged part of it is left out (and kept for the next write), and the rest of the
    // document opens as usual.
    std::string rest(ar.Remaining(), '\0');
    ar.ReadBytes(rest.data(), rest.size());
    if (ReadVokSection(rest, doc, doc.sectionKept)) {
        AfxMessageBox(DamagedSectionMessage(doc.sectionKept));
    }
}

}  // namespace vokra

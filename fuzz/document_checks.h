#pragma once
// What must hold for any bytes given to the document reader, the settings-file reader, the mouth
// list with the key exports, and the readers of keys on the clipboard. The fuzzers trap on a
// failed check; the test suite replays their corpora through the same checks.
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>

#include "document/key_clip.h"
#include "document/key_edit.h"
#include "document/key_export.h"
#include "document/vok_file.h"
#include "document/vok_section.h"
#include "document/vokra_doc.h"
#include "platform/archive.h"
#include "platform/ini_text.h"
#include "platform/message_service.h"

namespace vokra::fuzz {

namespace detail {

// Counts the boxes shown while it is installed, and keeps the last text; puts the service that
// was in force back afterwards.
class CountedMessages final : public MessageService {
public:
    CountedMessages() : previous_(&Messages()) { SetMessageService(this); }
    ~CountedMessages() override { SetMessageService(previous_); }
    CountedMessages(const CountedMessages&) = delete;
    CountedMessages& operator=(const CountedMessages&) = delete;
    int Show(const MessageRequest& request) override {
        ++count;
        last = request.text;
        return IDOK;
    }
    int count = 0;
    std::string last;

private:
    MessageService* previous_;
};

// Whether a key list and a shape track hold the same keys with the same hand-made marks.
inline bool SameKeysAndMarks(const KeyframeList& a, const KeyframeList& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (std::int32_t i = 0; i < a.GetCount(); ++i) {
        const Keyframe* x = a.GetAt(i);
        const Keyframe* y = b.GetAt(i);
        if (x->GetFrame() != y->GetFrame() || x->GetOpening() != y->GetOpening() ||
            x->IsHandMade() != y->IsHandMade()) {
            return false;
        }
    }
    return true;
}

// The promises of the tagged section after the plain fields, seen from outside: a damaged
// section is said exactly once (never twice, never for a sound document), the hand-made marks of
// keys and shapes survive a write and a read, and a document with no shapes and no hand-made
// marks writes no section at all (its file ends with its last string, so one byte less is a
// truncated file).
inline const char* CheckVokSection(CVokraDoc& doc, int messagesOnRead,
                                   const std::string& lastMessage) {
    if (messagesOnRead > 1) return "more than one message for one document";
    if (messagesOnRead == 1 && lastMessage.rfind(kDamagedSectionLead, 0) != 0) {
        return "an accepted document said something other than a damaged section";
    }

    Archive out;
    doc.Serialize(out);
    CVokraDoc again;
    again.DeleteContents();
    {
        CountedMessages quiet;
        Archive reread(out.Bytes());
        again.Serialize(reread);
        if (reread.Failed()) return "own file refused";
        if (quiet.count > messagesOnRead) return "own file says more than what it was read from";
    }
    // What was read back and not changed is written byte for byte as it was read.
    Archive twice;
    again.Serialize(twice);
    if (twice.Bytes() != out.Bytes()) return "an unchanged document written differently";
    if (!SameKeysAndMarks(again.GetKeys(), doc.GetKeys())) return "hand-made keys not kept";
    if (again.GetShapes().Entries() != doc.GetShapes().Entries()) return "hand-set shapes lost";

    // A new document with these keys and nothing for the section to hold (records kept from the
    // file it was read from are the file's, so it starts fresh).
    CVokraDoc plain;
    plain.DeleteContents();
    std::vector<Keyframe> released = doc.GetKeys().CopyRange(0, doc.GetKeys().GetLastFrame());
    for (Keyframe& key : released) key.SetHandMade(false);
    if (!released.empty()) {
        plain.GetKeys().ReplaceRange(0, doc.GetKeys().GetLastFrame(), released);
    }
    Archive bare;
    plain.Serialize(bare);
    const std::string& bytes = bare.Bytes();
    if (bytes.empty()) return "empty document file";
    CVokraDoc shorter;
    shorter.DeleteContents();
    CountedMessages quiet;
    Archive cut(std::string_view(bytes).substr(0, bytes.size() - 1));
    shorter.Serialize(cut);
    if (!cut.Failed()) return "a section written without content";
    return nullptr;
}

}  // namespace detail

// Null when every check holds, else what failed.
inline const char* CheckVokBytes(std::string_view bytes) {
    CVokraDoc doc;
    doc.DeleteContents();
    detail::CountedMessages said;
    Archive in(bytes);
    doc.Serialize(in);
    if (said.count > 1) return "more than one message for one file";
    if (in.Failed()) return nullptr;  // refused: the framework resets the document

    const double rate = doc.GetFrameRate();
    if (!(rate >= 1.0 && rate <= 100.0)) return "accepted a frame rate outside 1..100";
    if (doc.GetFpsPreset() < 0 || doc.GetFpsPreset() >= kPresetCount) return "accepted a preset";
    if (!(doc.GetCustomFps() >= 1.0 && doc.GetCustomFps() <= 100.0)) return "custom rate";
    const KeyframeList& keys = doc.GetKeys();
    if (static_cast<std::size_t>(keys.GetCount()) * 12 > bytes.size())
        return "more keys than bytes";
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
        const Keyframe* k = keys.GetAt(i);
        if (k->GetKind() != 1 || k->GetFrame() < 0) return "invalid key";
        if (!(k->GetOpening() >= 0.0f && k->GetOpening() <= 2.0f)) return "invalid opening";
        if (i > 0 && keys.GetAt(i - 1)->GetFrame() >= k->GetFrame()) return "keys out of order";
    }
    // The shapes of the tagged section: in order, valid, and no more than the section allows.
    const std::vector<ShapeEntry>& shapes = doc.GetShapes().Entries();
    if (static_cast<std::int64_t>(shapes.size()) > kMaxSectionShapeFrames) return "too many shapes";
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].frame < 0 || MouthShapeIndex(shapes[i].shape) >= kMouthShapeCount) {
            return "invalid shape";
        }
        if (i > 0 && shapes[i - 1].frame >= shapes[i].frame) return "shapes out of order";
    }
    doc.UpdateExtent();
    if (!std::isfinite(doc.GetTimeRange().GetExtentMax()) ||
        doc.GetTimeRange().GetExtentMax() < 10.5) {
        return "extent";
    }

    const int messagesOnRead = said.count;
    const std::string lastOnRead = said.last;
    // What was accepted writes out and reads back to the same bytes. Damaged records are kept,
    // so reading the copy says so again: that message belongs to the copy, not to this file.
    Archive out;
    doc.Serialize(out);
    CVokraDoc again;
    again.DeleteContents();
    Archive reread(out.Bytes());
    {
        detail::CountedMessages copy;
        again.Serialize(reread);
    }
    if (reread.Failed()) return "own file refused";
    Archive out2;
    again.Serialize(out2);
    if (out2.Bytes() != out.Bytes()) return "round trip differs";
    if (again.GetShapes().Entries() != shapes) return "shapes lost in the round trip";
    return detail::CheckVokSection(doc, messagesOnRead, lastOnRead);
}

inline const char* CheckIniBytes(std::string_view bytes) {
    const IniText text(bytes);
    if (text.Text() != bytes) return "unedited text not reproduced";
    const auto other = text.Get("DIRECTORIES", "WAVEDIR");
    if (other) (void)IniText::LeadingInt(*other);

    IniText edited = text;
    if (!edited.Set("SETTINGS", "FPS_TYPE", "5")) return "plain write refused";
    const IniText reread(edited.Text());
    if (reread.Get("settings", "fps_type") != std::optional<std::string>("5")) return "lost write";
    if (reread.Get("DIRECTORIES", "WAVEDIR") != other) return "write changed another key";

    IniText removed = reread;
    removed.Remove("SETTINGS", "FPS_TYPE");
    if (IniText(removed.Text()).Get("DIRECTORIES", "WAVEDIR") != other) return "remove changed";
    return nullptr;
}

namespace detail {

inline const char* CheckClip(const KeyClipReadResult& r) {
    if (!r.ok) return r.error.empty() ? "refused without a message" : nullptr;
    const KeyClip& clip = r.clip;
    if (clip.span < 1) return "span below 1";
    if (static_cast<std::int64_t>(clip.keys.size()) > kMaxKeysPerEdit) return "too many keys";
    for (std::size_t i = 0; i < clip.keys.size(); ++i) {
        const Keyframe& k = clip.keys[i];
        if (k.GetFrame() < 0 || k.GetFrame() >= clip.span) return "key outside the span";
        if (!(k.GetOpening() >= 0.0f && k.GetOpening() <= 2.0f)) return "opening out of range";
        if (i > 0 && clip.keys[i - 1].GetFrame() >= k.GetFrame()) return "keys out of order";
    }
    for (std::size_t i = 0; i < clip.shapes.size(); ++i) {
        const ShapeEntry& e = clip.shapes[i];
        if (!clip.hasShapes) return "shapes without the flag";
        if (e.frame < 0 || e.frame >= clip.span) return "shape outside the span";
        if (i > 0 && clip.shapes[i - 1].frame >= e.frame) return "shapes out of order";
    }
    // What was read writes back to the same keys in both forms.
    const KeyClipReadResult data = ReadKeyClipData(KeyClipData(clip));
    if (!data.ok || data.clip.span != clip.span || data.clip.keys.size() != clip.keys.size()) {
        return "own form does not round-trip";
    }
    for (std::size_t i = 0; i < clip.keys.size(); ++i) {
        if (data.clip.keys[i].GetFrame() != clip.keys[i].GetFrame() ||
            data.clip.keys[i].GetOpening() != clip.keys[i].GetOpening() ||
            data.clip.keys[i].IsHandMade() != clip.keys[i].IsHandMade()) {
            return "own form changes a key";
        }
    }
    if (data.clip.hasShapes != clip.hasShapes || data.clip.shapes != clip.shapes) {
        return "own form changes the shapes";
    }
    return nullptr;
}

}  // namespace detail

// Null when both clipboard readers hold their checks on `bytes`, else what failed.
inline const char* CheckKeyClipBytes(std::string_view bytes) {
    if (const char* failed = detail::CheckClip(ReadKeyClipText(bytes))) return failed;
    return detail::CheckClip(ReadKeyClipData(bytes));
}

// The mouth list as typed or kept in the settings (the bytes up to the first newline), and the
// exports of the keys made of the bytes after it (eight each: frame, opening).
inline const char* CheckMouthsAndExport(std::string_view bytes) {
    const std::size_t newline = std::min(bytes.find('\n'), bytes.size());
    const MouthBandsParse parsed = ParseMouthBands(bytes.substr(0, newline));
    if (parsed.error.empty() == parsed.bands.empty()) return "bands and error disagree";
    if (!parsed.error.empty()) return nullptr;
    if (parsed.bands.size() > kMaxMouthBands) return "too many mouths";
    if (!CheckMouthBands(parsed.bands).empty()) return "accepted a list it refuses";
    const std::string text = FormatMouthBands(parsed.bands);
    const MouthBandsParse again = ParseMouthBands(text);
    if (!again.error.empty() || FormatMouthBands(again.bands) != text) return "round trip";

    KeyframeList keys;
    for (std::size_t at = newline + 1; at + 8 <= bytes.size(); at += 8) {
        std::int32_t frame;
        float opening;
        std::memcpy(&frame, bytes.data() + at, 4);
        std::memcpy(&opening, bytes.data() + at + 4, 4);
        keys.SetKey(Keyframe(frame, opening));
    }
    KeyExportInfo info;
    info.mouths = parsed.bands;
    info.soundPath = std::string(bytes.substr(newline));
    for (KeyFormat format : {KeyFormat::Csv, KeyFormat::Json, KeyFormat::Ae}) {
        std::ostringstream out;
        if (!WriteKeys(format, keys, info, out)) return "writer failed";
    }
    // The switch data: rising one-based frames from frame 1 (the rise before the first key is
    // written too) to the last key, names from the list, and no mouth written twice in a row.
    std::ostringstream dat;
    if (!WriteKeysMouthSwitch(keys, info, dat)) return "dat failed";
    std::istringstream lines(dat.str());
    std::string line;
    if (!std::getline(lines, line) || line != "MohoSwitch1") return "dat header";
    long long previous = -1;
    std::string previousName;
    std::size_t count = 0;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos) return "dat line";
        const long long frame = std::stoll(line.substr(0, space));
        const std::string name = line.substr(space + 1);
        if (frame <= previous || name == previousName) return "dat order";
        if (count == 0 && frame != 1) return "dat start";
        if (frame > keys.GetLastFrame() + 1LL) return "dat past the last key";
        bool known = false;
        for (const MouthBand& band : parsed.bands) known = known || band.name == name;
        if (!known) return "dat name";
        previous = frame;
        previousName = name;
        ++count;
    }
    if (count > (static_cast<std::size_t>(keys.GetCount()) + 1) * parsed.bands.size()) {
        return "dat size";
    }
    return nullptr;
}

}  // namespace vokra::fuzz

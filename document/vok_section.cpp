#include "document/vok_section.h"

#include <algorithm>

#include "document/vok_records.h"

namespace vokra {
namespace {

// Every kind of record this version knows, in the order they are written.
const VokRecordKind* const kKinds[] = {&kShapesRecord, &kHandRecord, &kScriptRecord};

const VokRecordKind* KindOf(std::string_view tag) {
    for (const VokRecordKind* kind : kKinds) {
        if (kind->tag == tag) return kind;
    }
    return nullptr;
}

void PutRecord(std::string& out, std::string_view tag, const std::string& payload) {
    out += tag;
    PutVokU32(out, static_cast<std::uint32_t>(payload.size()));
    out += payload;
}

std::size_t IndexOf(const VokRecordKind* kind) {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i] == kind) return i;
    }
    return std::size(kKinds);
}

// A kept record of one of our kinds stands until the document holds something of that kind.
bool IsReplaced(const VokKeptRecord& record, const std::vector<std::string>& payloads) {
    if (!record.kind || record.own) return false;
    const std::size_t i = IndexOf(record.kind);
    return i < payloads.size() && !payloads[i].empty();
}

std::vector<std::string> Payloads(const CVokraDoc& doc) {
    std::vector<std::string> payloads;
    for (const VokRecordKind* kind : kKinds) payloads.push_back(kind->write(doc));
    return payloads;
}

bool AnyPayload(const std::vector<std::string>& payloads) {
    for (const std::string& p : payloads) {
        if (!p.empty()) return true;
    }
    return false;
}

}  // namespace

void PutVokU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t GetVokU32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

bool ReadVokSection(std::string_view bytes, CVokraDoc& doc, VokSectionKept& kept) {
    kept.Clear();
    if (bytes.substr(0, kVokSectionMark.size()) != kVokSectionMark) {
        kept.notSection = std::string(bytes);
        return false;
    }
    bool damaged = false;
    std::vector<const VokRecordKind*> seen;
    std::size_t at = kVokSectionMark.size();
    while (at < bytes.size()) {
        const std::size_t start = at;
        if (bytes.size() - at < 8) {
            // Not even a record's head: kept, and it stays last.
            kept.records.push_back({std::string(bytes.substr(start)), nullptr, true});
            damaged = true;
            break;
        }
        const std::string_view tag = bytes.substr(at, 4);
        const std::uint32_t length = GetVokU32(bytes, at + 4);
        const VokRecordKind* kind = KindOf(tag);
        at += 8;
        if (length > bytes.size() - at) {
            // Cut off: the records after it cannot be found either. Kept whole, and last.
            kept.records.push_back({std::string(bytes.substr(start)), kind, true});
            damaged = true;
            break;
        }
        const std::string_view payload = bytes.substr(at, length);
        at += length;
        const std::string record(bytes.substr(start, at - start));
        if (!kind) {
            kept.records.push_back({record, nullptr, false});
            continue;
        }
        // A second record of a kind is not something this program writes.
        const bool second = std::find(seen.begin(), seen.end(), kind) != seen.end();
        seen.push_back(kind);
        if (second || !kind->read(payload, doc)) {
            kept.records.push_back({record, kind, true});
            damaged = true;
        } else {
            kept.records.push_back({std::string(), kind, false, true});
        }
    }
    return damaged;
}

bool VokSectionKept::HasKeptBytes() const {
    return std::any_of(records.begin(), records.end(),
                       [](const VokKeptRecord& r) { return !r.own; });
}

std::string WriteVokSection(const CVokraDoc& doc, const VokSectionKept& kept) {
    const std::vector<std::string> payloads = Payloads(doc);
    std::vector<bool> written(std::size(kKinds), false);
    std::string out(kVokSectionMark);
    const auto put = [&](const VokRecordKind* kind) {
        const std::size_t i = IndexOf(kind);
        if (i >= written.size() || written[i]) return;
        written[i] = true;
        PutRecord(out, kind->tag, payloads[i]);
    };
    const auto anyOfKind = [&](const VokRecordKind* kind, bool own) {
        return std::any_of(kept.records.begin(), kept.records.end(), [&](const VokKeptRecord& r) {
            return r.kind == kind && (own || !r.own);
        });
    };
    // A kind the file did not have goes first: never after a cut-off record, which stays last.
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (!payloads[i].empty() && !anyOfKind(kKinds[i], true)) put(kKinds[i]);
    }
    for (const VokKeptRecord& record : kept.records) {
        if (record.own) {
            // Where it was read; an empty one still stands before a kept record of its kind, so
            // that record stays the second of its kind.
            if (!payloads[IndexOf(record.kind)].empty() || anyOfKind(record.kind, false))
                put(record.kind);
        } else if (IsReplaced(record, payloads)) {
            put(record.kind);  // the document's content takes the damaged record's place
        } else {
            // A second record of a kind was read after one of ours (or a kept one) and is written
            // after it again, so it never becomes the one that is read.
            out += record.bytes;
        }
    }
    if (out.size() > kVokSectionMark.size()) return out;
    // Nothing of a section: what followed the last string stays as it was.
    return kept.notSection;
}

std::string DamagedSectionMessage(const VokSectionKept& kept) {
    std::vector<std::string> names;
    for (const VokKeptRecord& record : kept.records) {
        if (!record.damaged) continue;
        std::string name = record.kind ? std::string("the ") + record.kind->what
                                       : std::string("the end of the file, which is cut off");
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    std::string text(kDamagedSectionLead);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text +
           ". The keys and the rest of the document opened as usual. Saving keeps the damaged "
           "bytes as they are, and asks before anything replaces them.";
}

std::string LostOnWrite(const CVokraDoc& doc, const VokSectionKept& kept) {
    if (kept.IsEmpty()) return {};
    const std::vector<std::string> payloads = Payloads(doc);
    std::vector<std::string> names;
    auto name = [&names](const std::string& what) {
        if (std::find(names.begin(), names.end(), what) == names.end()) names.push_back(what);
    };
    if (!kept.notSection.empty() && AnyPayload(payloads)) {
        name("other data after the document's fields");
    }
    for (const VokKeptRecord& record : kept.records) {
        if (IsReplaced(record, payloads)) name(record.kind->what);
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

void ForgetReplaced(const CVokraDoc& doc, VokSectionKept& kept) {
    if (kept.IsEmpty()) return;
    const std::vector<std::string> payloads = Payloads(doc);
    if (AnyPayload(payloads)) kept.notSection.clear();
    // The document's record now stands where the replaced one did, and stays there.
    for (VokKeptRecord& record : kept.records) {
        if (IsReplaced(record, payloads)) record = {std::string(), record.kind, false, true};
    }
}

}  // namespace vokra

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

// A kept record of one of our kinds stands until the document holds something of that kind.
bool IsReplaced(const VokKeptRecord& record, const std::vector<std::string>& payloads) {
    if (!record.kind) return false;
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i] == record.kind) return !payloads[i].empty();
    }
    return false;
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
        }
    }
    return damaged;
}

std::string WriteVokSection(const CVokraDoc& doc, const VokSectionKept& kept) {
    const std::vector<std::string> payloads = Payloads(doc);
    std::string out(kVokSectionMark);
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        // A kept record of a kind goes after one of ours, even an empty one: read again it must
        // stay the second of its kind, never become the one that is read.
        const bool keptOfKind =
            std::any_of(kept.records.begin(), kept.records.end(),
                        [&](const VokKeptRecord& r) { return r.kind == kKinds[i]; });
        if (!payloads[i].empty() || keptOfKind) PutRecord(out, kKinds[i]->tag, payloads[i]);
    }
    for (const VokKeptRecord& record : kept.records) {
        if (!IsReplaced(record, payloads)) out += record.bytes;
    }
    if (out.size() > kVokSectionMark.size()) return out;
    // Nothing of a section: what followed the last string stays as it was.
    return kept.records.empty() ? kept.notSection : out;
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
    std::erase_if(kept.records,
                  [&](const VokKeptRecord& record) { return IsReplaced(record, payloads); });
}

}  // namespace vokra

#pragma once
// The document file's tagged section: what the file keeps beyond the fields every version of the
// program reads, after the last string, where those versions stop reading. It starts with a
// 4-byte mark, then records of a 4-byte tag, a little-endian uint32 length and that many bytes.
// A reader skips the tags it does not know, so later additions never break it. The kinds this
// version reads and writes are listed in vok_records.h, each in a file of its own.
// Nothing is dropped without asking: a record this version does not know (a later version's) and
// one of its own it could not read are kept byte for byte and written again where it stood, and
// this version's own records go back where they were read, so writing a document that did not
// change gives the same bytes. Only a write that puts the document's own content in place of a
// damaged record of that kind loses it, and the caller asks first (LostOnWrite).
// A document without any record has no section, so its file is byte for byte what it always was.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vokra {

class CVokraDoc;

constexpr std::string_view kVokSectionMark = "VKX1";
// More shape frames than this are refused as damaged: a million frames is ten times the longest
// sound at 100 frames per second (8 MB of shapes), while a 10-byte run could otherwise ask for
// gigabytes.
constexpr std::int64_t kMaxSectionShapeFrames = 1'000'000;

// One kind of record this version reads and writes.
struct VokRecordKind {
    std::string_view tag;  // four bytes
    const char* what;      // what it holds, for messages ("mouth shapes")
    // The payload for the document; empty when it holds nothing of this kind (no record).
    std::string (*write)(const CVokraDoc& doc);
    // Checks a payload whole, and only then puts it into the document (whose keys are read
    // already); false, the document left as it was, when the payload is damaged.
    bool (*read)(std::string_view payload, CVokraDoc& doc);
};

// A record kept as it was read, or the place of one of ours that was read.
struct VokKeptRecord {
    std::string bytes;                    // tag, length and payload (of a cut-off record: the rest)
    const VokRecordKind* kind = nullptr;  // one of ours that could not be read; null: unknown
    bool damaged = false;                 // ours and unreadable, cut off, or a second of a kind
    // No bytes: where a record of `kind` stood that was read into the document (or that a write
    // put in place of a damaged one); the document's record of that kind is written there.
    bool own = false;

    friend bool operator==(const VokKeptRecord&, const VokKeptRecord&) = default;
};

// What the end of a document's file held that the document itself does not.
struct VokSectionKept {
    // Bytes after the last string that do not start with the mark: no Vokra wrote them, and the
    // reader has always ignored them; written back as long as no section replaces them.
    std::string notSection;
    std::vector<VokKeptRecord> records;  // in file order, with the places of our own

    // True when a record is kept for its bytes (not only the place of one of ours).
    bool HasKeptBytes() const;
    bool IsEmpty() const { return notSection.empty() && !HasKeptBytes(); }
    void Clear() {
        notSection.clear();
        records.clear();
    }
};

// Reads the bytes after the last string into the document; what it cannot read goes to `kept`.
// True when something of this version's own was damaged (the user is told once).
bool ReadVokSection(std::string_view bytes, CVokraDoc& doc, VokSectionKept& kept);
// The bytes after the last string for the document: its records and the kept ones still standing
// in the order they were read, a record of a kind the file did not have first (in the order of
// the kinds); empty when there is nothing at all.
std::string WriteVokSection(const CVokraDoc& doc, const VokSectionKept& kept);
// What the next write would lose, named for a message ("mouth shapes and hand-made marks");
// empty when it loses nothing.
std::string LostOnWrite(const CVokraDoc& doc, const VokSectionKept& kept);
// The message for a document whose section was damaged, naming what was left out ("the
// script", "the mouth shapes and the hand-made marks").
std::string DamagedSectionMessage(const VokSectionKept& kept);
constexpr std::string_view kDamagedSectionLead =
    "Part of this document is damaged and was left out: ";
// Forgets what a completed write replaced, so the next one does not ask again.
void ForgetReplaced(const CVokraDoc& doc, VokSectionKept& kept);

// Little-endian 32-bit numbers of the records.
void PutVokU32(std::string& out, std::uint32_t v);
std::uint32_t GetVokU32(std::string_view bytes, std::size_t at);

}  // namespace vokra

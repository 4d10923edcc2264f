#pragma once
// The byte stream a document is written to and read from, with the old framework's string form
// (length prefix of 1, 3 or 7 bytes) and little-endian numbers. Reading never throws: a read past
// the end marks the archive failed with EndOfFile and yields zeros, and the document code checks
// Failed() when it is done (or earlier, before it allocates for a count it read).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vokra {

enum class ArchiveError {
    None,
    Generic,    // "Failed to open document." (after the document has said why)
    EndOfFile,  // "Unexpected file format."
};

class Archive {
public:
    // A storing archive that collects bytes in memory.
    Archive();
    // A loading archive over bytes the caller keeps alive.
    explicit Archive(std::string_view data);

    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }

    // Storing.
    void WriteBytes(const void* data, std::size_t size);
    void WriteInt32(std::int32_t v);
    void WriteUInt16(std::uint16_t v);
    void WriteUInt32(std::uint32_t v);
    void WriteFloat(float v);
    void WriteDouble(double v);
    void WriteString(std::string_view s);
    const std::string& Bytes() const { return out_; }

    // Loading. Each returns false (and marks the archive failed) when the data runs out.
    bool ReadBytes(void* data, std::size_t size);
    bool ReadInt32(std::int32_t& v);
    bool ReadUInt16(std::uint16_t& v);
    bool ReadUInt32(std::uint32_t& v);
    bool ReadFloat(float& v);
    bool ReadDouble(double& v);
    // Refuses (EndOfFile) a length longer than what is left, and the escapes a 3-byte prefix
    // never holds, without allocating for it.
    bool ReadString(std::string& s);
    std::size_t Remaining() const { return in_.size() - pos_; }

    void Fail(ArchiveError error);
    bool Failed() const { return error_ != ArchiveError::None; }
    ArchiveError Error() const { return error_; }

private:
    bool storing_;
    std::string out_;
    std::string_view in_;
    std::size_t pos_ = 0;
    ArchiveError error_ = ArchiveError::None;
};

}  // namespace vokra

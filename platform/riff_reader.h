#pragma once
// RiffReader walks the chunks of a RIFF file the way the old multimedia file I/O did: descend into
// a chunk by searching forward for a form type or an id, read its bytes, ascend to its end
// (including the pad byte of an odd-sized chunk), close.
//
// Every file may be hostile: offsets are 64-bit so sizes near 4 GB never wrap, a chunk is found
// when its header starts inside its parent (its size is for the caller to judge), a chunk running
// past the end of the file gives a short read, and nothing is ever allocated from a declared size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vokra {

// One chunk found by a descend. `dataOffset` is where its bytes start in the file.
struct RiffChunk {
    std::uint32_t ckid = 0;
    std::uint32_t cksize = 0;
    std::uint32_t fccType = 0;  // form type, RIFF and LIST chunks only
    std::uint64_t dataOffset = 0;
    // First byte after the chunk, pad byte included.
    std::uint64_t End() const { return dataOffset + cksize + (cksize & 1u); }
};

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

class RiffReader {
public:
    RiffReader() = default;
    ~RiffReader();
    RiffReader(const RiffReader&) = delete;
    RiffReader& operator=(const RiffReader&) = delete;

    // Opens a regular file for reading. Directories, FIFOs, devices and missing files fail before
    // a single byte is read.
    bool Open(const std::string& path);
    // Reads from bytes in memory instead of a file (they must outlive the reader).
    bool OpenMemory(const void* data, std::size_t size);
    bool IsOpen() const { return m_fd >= 0 || m_memory != nullptr; }
    void Close();

    // Finds, from the current position to the end of the file, the RIFF chunk of the form type,
    // skipping RIFF chunks of other types. On success the position is just after the form type.
    bool DescendRiff(RiffChunk& chunk, std::uint32_t formType);
    // Finds, from the current position to the end of `parent`, the chunk with the id. On success
    // the position is at the chunk's first data byte.
    bool DescendChunk(RiffChunk& chunk, std::uint32_t id, const RiffChunk& parent);
    // Moves to the end of the chunk, past its pad byte when its size is odd.
    bool Ascend(const RiffChunk& chunk);

    // Reads up to `count` bytes at the current position and moves past them; returns how many
    // arrived (fewer at the end of the file, or -1 on a read error).
    std::int64_t Read(void* buffer, std::int64_t count);
    // Bytes between the current position and the end of the file (0 when past it).
    std::uint64_t Remaining() const;
    std::uint64_t Position() const { return m_position; }
    std::uint64_t Size() const { return m_size; }

private:
    bool ReadHeader(std::uint64_t offset, std::uint32_t& id, std::uint32_t& size);
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::int64_t count);

    int m_fd = -1;
    const unsigned char* m_memory = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
    // Small reads (chunk headers) go through this buffer so a file of thousands of tiny chunks
    // costs few system calls; large reads go straight to the caller's memory.
    std::vector<unsigned char> m_buffer;
    std::uint64_t m_bufferStart = 0;
    std::size_t m_bufferLength = 0;
};

}  // namespace vokra

#include "platform/riff_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vokra {
namespace {

constexpr std::size_t kBufferSize = 4096;
constexpr std::uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');

std::uint32_t LoadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

RiffReader::~RiffReader() {
    Close();
}

bool RiffReader::Open(const std::string& path) {
    Close();
    // Non-blocking so that opening a FIFO cannot wait for a writer; the type check below turns it
    // away before anything is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_buffer.resize(kBufferSize);
    return true;
}

bool RiffReader::OpenMemory(const void* data, std::size_t size) {
    Close();
    static const unsigned char kEmpty = 0;
    m_memory = data ? static_cast<const unsigned char*>(data) : &kEmpty;
    m_size = data ? size : 0;
    return true;
}

void RiffReader::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_memory = nullptr;
    m_size = 0;
    m_position = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_bufferStart = 0;
    m_bufferLength = 0;
}

std::uint64_t RiffReader::Remaining() const {
    return m_position < m_size ? m_size - m_position : 0;
}

std::int64_t RiffReader::ReadAt(std::uint64_t offset, void* buffer, std::int64_t count) {
    if (!IsOpen() || count < 0) return -1;
    if (count == 0 || offset >= m_size) return 0;
    const std::uint64_t available = m_size - offset;
    if (static_cast<std::uint64_t>(count) > available) count = static_cast<std::int64_t>(available);
    auto* out = static_cast<unsigned char*>(buffer);

    if (m_memory) {
        std::memcpy(out, m_memory + offset, static_cast<std::size_t>(count));
        return count;
    }

    if (static_cast<std::uint64_t>(count) < kBufferSize) {
        const bool inBuffer =
            offset >= m_bufferStart &&
            offset + static_cast<std::uint64_t>(count) <= m_bufferStart + m_bufferLength;
        if (!inBuffer) {
            ssize_t got;
            do {
                got = ::pread(m_fd, m_buffer.data(), kBufferSize, static_cast<off_t>(offset));
            } while (got < 0 && errno == EINTR);
            if (got < 0) return -1;
            m_bufferStart = offset;
            m_bufferLength = static_cast<std::size_t>(got);
        }
        const std::uint64_t skip = offset - m_bufferStart;
        const std::uint64_t have = m_bufferLength > skip ? m_bufferLength - skip : 0;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(have, static_cast<std::uint64_t>(count)));
        std::memcpy(out, m_buffer.data() + skip, n);
        return static_cast<std::int64_t>(n);
    }

    // Large reads land in the caller's memory directly: no second copy of the sample data.
    std::int64_t total = 0;
    while (total < count) {
        const ssize_t got = ::pread(m_fd, out + total, static_cast<std::size_t>(count - total),
                                    static_cast<off_t>(offset + static_cast<std::uint64_t>(total)));
        if (got < 0) {
            if (errno == EINTR) continue;
            return total > 0 ? total : -1;
        }
        if (got == 0) break;  // the file shrank under us
        total += got;
    }
    return total;
}

std::int64_t RiffReader::Read(void* buffer, std::int64_t count) {
    const std::int64_t got = ReadAt(m_position, buffer, count);
    if (got > 0) m_position += static_cast<std::uint64_t>(got);
    return got;
}

bool RiffReader::ReadHeader(std::uint64_t offset, std::uint32_t& id, std::uint32_t& size) {
    unsigned char header[8];
    if (ReadAt(offset, header, 8) != 8) return false;
    id = LoadLe32(header);
    size = LoadLe32(header + 4);
    return true;
}

bool RiffReader::DescendRiff(RiffChunk& chunk, std::uint32_t formType) {
    if (!IsOpen()) return false;
    std::uint64_t pos = m_position;
    while (pos + 8 <= m_size) {
        std::uint32_t id = 0, size = 0;
        if (!ReadHeader(pos, id, size)) return false;
        // The form type follows the header whatever the size says: a recorder that never finished
        // its header leaves a size of 0, and the search inside such a chunk simply finds nothing.
        if (id == kRiff) {
            unsigned char type[4];
            if (ReadAt(pos + 8, type, 4) != 4) return false;
            if (LoadLe32(type) == formType) {
                chunk.ckid = id;
                chunk.cksize = size;
                chunk.fccType = formType;
                chunk.dataOffset = pos + 8;
                m_position = pos + 12;
                return true;
            }
        }
        pos += 8 + static_cast<std::uint64_t>(size) + (size & 1u);
    }
    return false;
}

bool RiffReader::DescendChunk(RiffChunk& chunk, std::uint32_t id, const RiffChunk& parent) {
    if (!IsOpen()) return false;
    const std::uint64_t parentEnd = parent.dataOffset + parent.cksize;
    std::uint64_t pos = m_position;
    if (pos < parent.dataOffset) return false;
    // A chunk belongs to its parent when its header starts inside it; what its size claims is
    // for the caller to judge (sizes beyond the file are refused when the data is read), so a
    // stream written with placeholder sizes, or a parent size counting only the samples, still
    // finds its chunks.
    while (pos < parentEnd) {
        std::uint32_t ckid = 0, size = 0;
        if (!ReadHeader(pos, ckid, size)) return false;
        const std::uint64_t dataEnd = pos + 8 + static_cast<std::uint64_t>(size);
        if (ckid == id) {
            chunk.ckid = ckid;
            chunk.cksize = size;
            chunk.fccType = 0;
            chunk.dataOffset = pos + 8;
            m_position = pos + 8;
            if ((ckid == kRiff || ckid == kList) && size >= 4) {
                unsigned char type[4];
                if (ReadAt(pos + 8, type, 4) != 4) return false;
                chunk.fccType = LoadLe32(type);
                m_position = pos + 12;
            }
            return true;
        }
        pos = dataEnd + (size & 1u);
    }
    return false;
}

bool RiffReader::Ascend(const RiffChunk& chunk) {
    if (!IsOpen()) return false;
    m_position = chunk.End();
    return true;
}

}  // namespace vokra

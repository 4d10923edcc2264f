#include "platform/archive.h"

#include <cstring>

namespace vokra {
namespace {

template <typename T>
void PutLE(std::string& out, T v) {
    char bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i));
    }
    out.append(bytes, sizeof(T));
}

template <typename T>
T GetLE(const unsigned char* p) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return static_cast<T>(v);
}

}  // namespace

Archive::Archive() : storing_(true) {}

Archive::Archive(std::string_view data) : storing_(false), in_(data) {}

void Archive::WriteBytes(const void* data, std::size_t size) {
    out_.append(static_cast<const char*>(data), size);
}

void Archive::WriteInt32(std::int32_t v) {
    PutLE(out_, static_cast<std::uint32_t>(v));
}
void Archive::WriteUInt16(std::uint16_t v) {
    PutLE(out_, v);
}
void Archive::WriteUInt32(std::uint32_t v) {
    PutLE(out_, v);
}

void Archive::WriteFloat(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutLE(out_, bits);
}

void Archive::WriteDouble(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutLE(out_, bits);
}

void Archive::WriteString(std::string_view s) {
    // 1-byte prefix below 255; 0xFF + 16 bits up to 65533 (0xFFFE and 0xFFFF are escapes);
    // beyond, 0xFF 0xFFFF + 32 bits.
    const std::size_t n = s.size();
    if (n < 0xFF) {
        out_.push_back(static_cast<char>(n));
    } else if (n < 0xFFFE) {
        out_.push_back(static_cast<char>(0xFF));
        WriteUInt16(static_cast<std::uint16_t>(n));
    } else {
        out_.push_back(static_cast<char>(0xFF));
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<std::uint32_t>(n));
    }
    out_.append(s.data(), n);
}

bool Archive::ReadBytes(void* data, std::size_t size) {
    if (Failed() || size > Remaining()) {
        std::memset(data, 0, size);
        Fail(ArchiveError::EndOfFile);
        return false;
    }
    if (size > 0) std::memcpy(data, in_.data() + pos_, size);
    pos_ += size;
    return true;
}

bool Archive::ReadInt32(std::int32_t& v) {
    std::uint32_t u = 0;
    const bool ok = ReadUInt32(u);
    v = static_cast<std::int32_t>(u);
    return ok;
}

bool Archive::ReadUInt16(std::uint16_t& v) {
    unsigned char b[2];
    const bool ok = ReadBytes(b, sizeof b);
    v = GetLE<std::uint16_t>(b);
    return ok;
}

bool Archive::ReadUInt32(std::uint32_t& v) {
    unsigned char b[4];
    const bool ok = ReadBytes(b, sizeof b);
    v = GetLE<std::uint32_t>(b);
    return ok;
}

bool Archive::ReadFloat(float& v) {
    std::uint32_t bits = 0;
    const bool ok = ReadUInt32(bits);
    std::memcpy(&v, &bits, sizeof v);
    return ok;
}

bool Archive::ReadDouble(double& v) {
    unsigned char b[8];
    const bool ok = ReadBytes(b, sizeof b);
    const std::uint64_t bits = GetLE<std::uint64_t>(b);
    std::memcpy(&v, &bits, sizeof v);
    return ok;
}

bool Archive::ReadString(std::string& s) {
    s.clear();
    unsigned char first = 0;
    if (!ReadBytes(&first, 1)) return false;
    std::uint64_t length = first;
    if (first == 0xFF) {
        std::uint16_t word = 0;
        if (!ReadUInt16(word)) return false;
        length = word;
        if (word == 0xFFFE) {
            // The marker of a wide-character string, which this program never writes.
            Fail(ArchiveError::EndOfFile);
            return false;
        }
        if (word == 0xFFFF) {
            std::uint32_t dword = 0;
            if (!ReadUInt32(dword)) return false;
            if (dword == 0xFFFFFFFFu) {
                // The escape to a 64-bit length: no file of ours is that long.
                Fail(ArchiveError::EndOfFile);
                return false;
            }
            length = dword;
        }
    }
    // Checked before allocating: a hostile length cannot make us reserve memory the file lacks.
    if (length > Remaining()) {
        Fail(ArchiveError::EndOfFile);
        return false;
    }
    s.assign(in_.data() + pos_, static_cast<std::size_t>(length));
    pos_ += static_cast<std::size_t>(length);
    return true;
}

void Archive::Fail(ArchiveError error) {
    // The first failure is the one reported.
    if (error_ == ArchiveError::None) error_ = error;
}

}  // namespace vokra

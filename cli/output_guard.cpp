#include "cli/output_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/atomic_file.h"

namespace vokra {
namespace {

// Plenty for takes of one line; a folder holding more copies than this is not ours to fill.
constexpr int kMaxCopyNumber = 1000;

// Whether `path` is a regular file holding exactly `bytes`. Non-blocking, so a named pipe under
// that name cannot hold the run.
bool HoldsExactly(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<std::size_t>(st.st_size) == bytes.size();
    char buf[65536];
    std::size_t at = 0;
    while (same && at < bytes.size()) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || static_cast<std::size_t>(n) > bytes.size() - at ||
            bytes.compare(at, static_cast<std::size_t>(n), buf, static_cast<std::size_t>(n)) != 0) {
            same = false;
            break;
        }
        at += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return same && at == bytes.size();
}

std::string Numbered(const std::string& wanted, int n) {
    constexpr std::string_view kExt = ".wav";
    const bool hasExt = wanted.size() >= kExt.size() &&
                        wanted.compare(wanted.size() - kExt.size(), kExt.size(), kExt) == 0;
    const std::string stem = hasExt ? wanted.substr(0, wanted.size() - kExt.size()) : wanted;
    return stem + "-" + std::to_string(n) + (hasExt ? std::string(kExt) : std::string());
}

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool NameOneFile(const std::string& a, const std::string& b) {
    if (IsSameFile(a, b)) return true;
    const auto place = [](const std::string& path) {
        std::error_code ec;
        const auto full = std::filesystem::weakly_canonical(
            std::filesystem::absolute(ResolveWriteTarget(path), ec), ec);
        return ec ? path : full.string();
    };
    return place(a) == place(b);
}

std::optional<std::string> FreeCopyPath(const std::string& wanted, const std::string& bytes,
                                        bool& reuse) {
    reuse = false;
    for (int n = 1; n <= kMaxCopyNumber; ++n) {
        std::string path = n == 1 ? wanted : Numbered(wanted, n);
        struct stat st {};
        // lstat: a link under that name, even a dangling one, is someone else's file.
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return path;
            continue;
        }
        if (HoldsExactly(path, bytes)) {
            reuse = true;
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace vokra

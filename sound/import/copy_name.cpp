#include "sound/import/copy_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/atomic_file.h"
#include "sound/import/messages.h"

namespace vokra {
namespace {

// Plenty for takes of one line; a folder holding more copies than this is not ours to fill.
constexpr int kMaxCopyNumber = 1000;
// Names another run may take between our look and our claim; each loss moves one name on.
constexpr int kMaxCopyClaims = 1000;

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

std::string ConvertedCopyPath(const std::string& source) {
    const auto slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = source.rfind('.');
    // A leading dot names a hidden file, not an extension.
    const std::size_t stemEnd = dot != std::string::npos && dot > nameStart ? dot : source.size();
    return source.substr(0, stemEnd) + "-vokra.wav";
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

std::optional<std::string> ClaimConvertedCopy(const std::string& wanted, const std::string& bytes,
                                              bool& reuse, std::string& error) {
    reuse = false;
    std::optional<std::string> free;
    for (int attempt = 0; attempt < kMaxCopyClaims; ++attempt) {
        free = FreeCopyPath(wanted, bytes, reuse);
        if (!free || reuse) break;
        AtomicFile file(*free);
        file.SetNoReplace();
        if (file.Open() && file.Write(bytes) && file.Commit()) break;
        if (!file.NameTaken()) {
            error = CouldNotWriteMessage(*free, file.ErrorText());
            return std::nullopt;
        }
        free.reset();
    }
    if (!free) {
        error = "Could not write file " + wanted +
                "\nEvery name for the converted copy is taken by another file.";
    }
    return free;
}

}  // namespace vokra

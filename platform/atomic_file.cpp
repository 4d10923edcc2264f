#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <random>

#include "platform/path_parts.h"

namespace vokra {
namespace {

// A temporary file untouched this long, and held by no save, is a leftover.
constexpr std::time_t kStaleSeconds = 5;

using path::FolderOf;
using path::NameOf;

// Writing through a symbolic link updates the file it points to, not the link, as text editors
// do; a link to nothing yet makes its target, which the link then names. Followed by hand because
// the library's canonical forms stop at a link whose target does not exist. A loop of links is
// left to the rename, which then fails on it.
std::string ResolveTarget(const std::string& path) {
    constexpr int kMaxHops = 40;  // the kernel's own limit for a chain of links
    std::string at = path;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::error_code ec;
        const std::filesystem::path link = std::filesystem::read_symlink(at, ec);
        if (ec) break;
        at = link.is_absolute() ? link.string()
                                : (std::filesystem::path(FolderOf(at)) / link).string();
    }
    if (at == path) return path;
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(at, ec);
    return ec ? at : resolved.string();
}

// Marks the temporary names this program makes, so that its sweep never takes another
// program's file for one of its own leftovers.
constexpr std::string_view kTempMarker = "vokra-";

std::string TempSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    char buf[64];
    std::snprintf(buf, sizeof buf, ".%.*s%x-%x-%x.tmp", static_cast<int>(kTempMarker.size()),
                  kTempMarker.data(), static_cast<unsigned>(::getpid()), seed,
                  counter.fetch_add(1));
    return buf;
}

// Exactly the names TempSuffix makes for `name`: ".NAME.vokra-PID-SEED-COUNT.tmp", three groups
// of one to eight lower-case hex digits.
bool IsOurTemporaryName(const std::string& entry, const std::string& name) {
    const std::string head = "." + name + "." + std::string(kTempMarker);
    constexpr std::string_view tail = ".tmp";
    if (entry.size() <= head.size() + tail.size()) return false;
    if (entry.compare(0, head.size(), head) != 0) return false;
    if (entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0) return false;
    const std::string_view middle =
        std::string_view(entry).substr(head.size(), entry.size() - head.size() - tail.size());
    int groups = 0;
    std::size_t digits = 0;
    for (const char c : middle) {
        if (c == '-') {
            if (digits == 0) return false;
            ++groups;
            digits = 0;
        } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) {
            if (++digits > 8) return false;
        } else {
            return false;
        }
    }
    return digits > 0 && groups == 2;
}

// The reason a step failed, in the user's terms.
std::string Reason(int err, bool secondCopy) {
    switch (err) {
        case ENOSPC:
        case EDQUOT:
            return secondCopy ? "The disk is full: saving needs room for a second copy of the "
                                "file until the old one is replaced."
                              : "The disk is full.";
        case EFBIG:
            return "The file is larger than this disk or account allows.";
        case EROFS:
            return "The disk is read-only.";
        case EACCES:
        case EPERM:
            return "Permission denied: the file or its folder cannot be written.";
        case ENOENT:
        case ENOTDIR:
            return "The folder does not exist.";
        case EIO:
            return "The disk reported an input/output error.";
        case ENOMEM:
            return "There is not enough memory.";
        default:
            return std::strerror(err);
    }
}

// Keeps the replaced file's permissions and, where this process may, its owner and group.
void CopyOwnerAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    (void)::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

std::string ResolveWriteTarget(const std::string& path) {
    return ResolveTarget(path);
}

bool IsReadOnlyTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;  // not there yet: it will be created
    if (!S_ISREG(st.st_mode)) return true;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::access(path.c_str(), W_OK) != 0;
}

int RemoveStaleTemporaryFiles(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string name = NameOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        if (!IsOurTemporaryName(entry, name)) continue;
        const int fd =
            ::openat(dirFd, entry.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        // Only our own regular files, no running save's (it holds a lock on its file), none
        // written to just now (a save between creating its file and locking it).
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            now - st.st_mtime >= kStaleSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (::unlinkat(dirFd, entry.c_str(), 0) == 0) ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Fail(int err, const char* step) {
    failed_ = true;
    if (error_.empty()) {
        error_ = Reason(err, replacing_ && !inPlace_);
        if (step && *step) error_ = std::string(step) + ": " + error_;
    }
    return false;
}

bool AtomicFile::Open() {
    Discard();
    failed_ = false;
    nameTaken_ = false;
    inPlace_ = false;
    unnamed_ = false;
    error_.clear();
    if (path_.empty() || path_.back() == '/') return Fail(EISDIR, nullptr);
    // A name claimed for a new file is taken as it stands: a link there is someone else's.
    target_ = noReplace_ ? path_ : ResolveTarget(path_);
    if (noReplace_) {
        struct stat any {};
        if (::lstat(target_.c_str(), &any) == 0) {
            nameTaken_ = true;
            return Fail(EEXIST, nullptr);
        }
        replacing_ = false;
        RemoveStaleTemporaryFiles(target_);
        return OpenTemporary(false) || Fail(errno, nullptr);
    }
    struct stat old {};
    replacing_ = ::stat(target_.c_str(), &old) == 0;
    if (replacing_ && !S_ISREG(old.st_mode)) {
        failed_ = true;
        error_ = "Something other than a file is in the way under that name.";
        return false;
    }
    if (IsReadOnlyTarget(target_)) {
        failed_ = true;
        error_ = "The file is read-only.";
        return false;
    }
    RemoveStaleTemporaryFiles(target_);
    // A write in place that provably stopped half-way is undone before anything else touches
    // the file.
    keep_ = replacing_ ? CheckInterruptedWrite(target_, true) : KeepCheck{};
    // A rename would split a hard-linked file from its other names.
    if (replacing_ && old.st_nlink > 1) return OpenInPlace(true);
    if (OpenTemporary(replacing_)) {
        if (replacing_) CopyOwnerAndMode(fd_, old);
        return true;
    }
    const int err = errno;
    // The folder takes no new files (nor a copy of the old bytes), but the file may be written.
    if (replacing_ && (err == EACCES || err == EPERM)) return OpenInPlace(false);
    return Fail(err, nullptr);
}

bool AtomicFile::OpenTemporary(bool replacing) {
    const std::string folder = FolderOf(target_);
    // An unnamed file vanishes by itself if the program dies before Commit; it is given a name
    // only for the rename. Linking it needs /proc.
    static const bool procFd = ::access("/proc/self/fd", X_OK) == 0;
    if (procFd) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            unnamed_ = true;
            (void)::flock(fd_, LOCK_EX | LOCK_NB);
            // An unnamed file ignores the umask on some file systems; a new file gets what any
            // file the user creates gets.
            if (!replacing) {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                (void)::fchmod(fd_, 0666 & ~mask);
            }
            return true;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    }
    const std::string stem = folder + "/." + NameOf(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + TempSuffix();
        // 0666 lets the umask decide for a new file, as for any file the user creates.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(candidate);
            // Held until the rename, so a later save does not take it for a leftover.
            (void)::flock(fd_, LOCK_EX | LOCK_NB);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool AtomicFile::OpenInPlace(bool keepsCopy) {
    // The copy of the old bytes needs its name: whatever else holds it is named, never touched.
    const bool folderTakesCopy = keepsCopy && ::access(FolderOf(target_).c_str(), W_OK) == 0;
    const std::string blocked = folderTakesCopy ? KeepBlockedReason(keep_, target_) : std::string();
    if (!blocked.empty()) {
        failed_ = true;
        error_ = blocked;
        return false;
    }
    // Read as well: the old bytes are copied aside before the first new one is written.
    const int fd = ::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Fail(errno, nullptr);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(EINVAL, nullptr);
    }
    fd_ = fd;
    inPlace_ = true;
    pending_.clear();
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    const char* p = static_cast<const char*>(data);
    if (inPlace_) {
        // Nothing of the old file is touched before all of the new one is known.
        try {
            pending_.append(p, size);
        } catch (const std::bad_alloc&) {
            return Fail(ENOMEM, nullptr);
        }
        return true;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(errno, nullptr);
        if (n == 0) return Fail(ENOSPC, nullptr);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::CommitInPlace() {
    // Until the new bytes are all in place the old ones are kept beside the file, so a save
    // killed between the first write and the final size leaves a whole file to go back to (the
    // next save or open of this file does). A folder that takes no new file keeps no copy.
    struct stat before {};
    if (::fstat(fd_, &before) != 0) return Fail(errno, nullptr);
    std::string old;
    try {
        old.resize(static_cast<std::size_t>(before.st_size));
    } catch (const std::bad_alloc&) {
        return Fail(ENOMEM, nullptr);
    }
    std::size_t got = 0;
    while (got < old.size()) {
        const ssize_t n = ::pread(fd_, old.data() + got, old.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(errno, nullptr);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    old.resize(got);
    KeepWriter keep;
    std::string keepReason;
    bool folderRefused = false;
    const bool kept = keep.Make(target_, before, old, pending_, keepReason, folderRefused);
    if (!kept && !folderRefused) {
        failed_ = true;
        error_ = keepReason.empty() ? "The file could not be read." : keepReason;
        return false;
    }
    const off_t size = static_cast<off_t>(pending_.size());
    // Room for the whole file first, so a full disk is found before the old bytes are overwritten.
    const int reserved = ::posix_fallocate(fd_, 0, size > 0 ? size : 1);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
        Fail(reserved, nullptr);
        if (kept) keep.Remove();
        return false;
    }
    // A write that fails half-way puts the old bytes back at once, with the file's time.
    const auto failed = [&](int err) {
        Fail(err, nullptr);
        std::size_t done = 0;
        bool back = true;
        while (back && done < old.size()) {
            const ssize_t n =
                ::pwrite(fd_, old.data() + done, old.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                back = false;
            else
                done += static_cast<std::size_t>(n);
        }
        back = back && ::ftruncate(fd_, static_cast<off_t>(old.size())) == 0 && ::fsync(fd_) == 0;
        if (back) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
            (void)::futimens(fd_, times);
            if (kept) keep.Remove();
        }
        return false;
    };
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n =
            ::pwrite(fd_, pending_.data() + done, pending_.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(errno);
        if (n == 0) return failed(ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd_, size) != 0) return failed(errno);
    if (::fsync(fd_) != 0) return failed(errno);
    if (kept) keep.Remove();
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) return false;
    if (inPlace_) {
        bool ok = !failed_ && CommitInPlace();
        if (::close(fd_) != 0 && ok) ok = Fail(errno, nullptr);
        fd_ = -1;
        pending_.clear();
        pending_.shrink_to_fit();
        return ok;
    }
    bool ok = !failed_;
    if (ok && ::fsync(fd_) != 0) ok = Fail(errno, nullptr);
    if (ok && noReplace_) return CommitNoReplace();
    if (ok && unnamed_) {
        // A name in the folder for the rename; the rename follows at once.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        const std::string stem = FolderOf(target_) + "/." + NameOf(target_);
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            std::string candidate = stem + TempSuffix();
            if (::linkat(AT_FDCWD, self, AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temp_ = std::move(candidate);
                err = 0;
            } else {
                err = errno;
            }
        }
        if (err != 0) ok = Fail(err, nullptr);
    }
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = Fail(errno, nullptr);
    // Closed after the rename: the lock keeps a named file from looking like a leftover.
    if (::close(fd_) != 0 && ok) ok = Fail(errno, nullptr);
    fd_ = -1;
    if (!ok) {
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable; the data is already safe, so a failure here is not one.
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool AtomicFile::CommitNoReplace() {
    // A link never replaces what is there: of two runs claiming one name, one gets EEXIST.
    int err = 0;
    if (unnamed_) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        if (::linkat(AT_FDCWD, self, AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0)
            err = errno;
    } else if (::link(temp_.c_str(), target_.c_str()) != 0) {
        err = errno;
    }
    bool ok = err == 0;
    if (!ok) {
        nameTaken_ = err == EEXIST;
        Fail(err, nullptr);
    }
    if (::close(fd_) != 0 && ok) ok = Fail(errno, nullptr);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    if (ok) {
        const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }
    return ok;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    pending_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok && error) *error = file.ErrorText();
    return ok;
}

}  // namespace vokra

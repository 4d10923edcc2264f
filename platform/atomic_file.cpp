#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace vokra {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writing through a symbolic link updates the file it points to, not the link.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

std::string TempSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    char buf[32];
    std::snprintf(buf, sizeof buf, ".%x%x%x.tmp", static_cast<unsigned>(::getpid()), seed,
                  counter.fetch_add(1));
    return buf;
}

}  // namespace

bool IsReadOnlyTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;  // not there yet: it will be created
    if (!S_ISREG(st.st_mode)) return true;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::access(path.c_str(), W_OK) != 0;
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open() {
    Discard();
    failed_ = false;
    if (path_.empty() || path_.back() == '/') return false;
    target_ = ResolveTarget(path_);
    if (IsReadOnlyTarget(target_)) return false;

    struct stat old {};
    const bool replacing = ::stat(target_.c_str(), &old) == 0;
    const std::string stem = FolderOf(target_) + "/." + NameOf(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + TempSuffix();
        // 0666 lets the umask decide for a new file, as for any file the user creates.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(candidate);
            // A replaced file keeps its permissions.
            if (replacing) (void)::fchmod(fd_, old.st_mode & 07777);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        ::unlink(temp_.c_str());
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

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    AtomicFile file(path);
    return file.Open() && file.Write(bytes) && file.Commit();
}

}  // namespace vokra

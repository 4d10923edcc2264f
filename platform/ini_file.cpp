#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/ini_text.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

IniFile::Stamp StampOf(const struct stat& st) {
    IniFile::Stamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modifiedNanos = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    s.changedNanos = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
    return s;
}

enum class Read { Ok, Missing, TooLarge, Failed };

// The whole file and its stamp. Non-blocking, so a named pipe in its place cannot hold the window.
Read ReadAll(const std::string& path, std::string& text, IniFile::Stamp& stamp) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? Read::Missing : Read::Failed;
    struct stat st {};
    Read result = Read::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = Read::Failed;
    } else if (st.st_size > IniFile::kMaxBytes) {
        result = Read::TooLarge;
    } else {
        try {
            text.resize(static_cast<std::size_t>(st.st_size));
            std::size_t got = 0;
            while (got < text.size()) {
                const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    result = Read::Failed;
                    break;
                }
                if (n == 0) break;
                got += static_cast<std::size_t>(n);
            }
            text.resize(got);
        } catch (const std::bad_alloc&) {
            result = Read::Failed;
        }
        stamp = StampOf(st);
    }
    ::close(fd);
    return result;
}

// Holds an advisory lock on the settings file for one read-modify-write, so that two running
// copies of the program take turns instead of each rewriting the file from what it read before
// the other's write. The file is replaced by a rename, so the lock is taken on whatever the path
// names once the lock is held. Waiting is bounded: a copy that hangs while holding the lock costs
// the other one this write, not its window.
class ProfileLock {
public:
    // `path` is the file itself, its symbolic links already followed: a link to a file not made
    // yet would otherwise fail the plain open (nothing there) and the exclusive create (the link
    // is there) for ever.
    explicit ProfileLock(const std::string& path) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
        while (true) {
            // The lock needs a file; the first write is about to create it anyway.
            bool created = false;
            int fd = ::open(path.c_str(), kFlags);
            if (fd < 0 && errno == ENOENT) {
                fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
                created = fd >= 0;
                // Another copy created it just now: open that one, but never past the deadline.
                if (fd < 0 && errno == EEXIST && Clock::now() <= deadline) continue;
            }
            if (fd < 0) {
                error_ = errno;
                return;
            }
            struct stat held {};
            if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
                ::close(fd);
                return;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                struct stat now {};
                if (::stat(path.c_str(), &now) == 0 && now.st_dev == held.st_dev &&
                    now.st_ino == held.st_ino) {
                    fd_ = fd;
                    created_ = created;
                    path_ = path;
                    return;
                }
                ::close(fd);  // replaced while we waited: lock the new file
                continue;
            }
            ::close(fd);
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            if (Clock::now() > deadline) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~ProfileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;
    explicit operator bool() const { return fd_ >= 0; }
    // Why no lock was taken, when opening or creating the file failed.
    int Error() const { return error_; }
    // A write that changed nothing leaves no empty file behind.
    void RemoveIfCreated() {
        struct stat st {};
        if (created_ && ::fstat(fd_, &st) == 0 && st.st_size == 0) ::unlink(path_.c_str());
    }

private:
    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
    std::string path_;
};

std::string NotAFileKind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "a device";
}

}  // namespace

const IniText* IniFile::Current() const {
    if (path_.empty()) return nullptr;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            cache_.emplace();
            cache_->missing = true;
            return &cache_->text;
        }
        cache_.reset();
        return nullptr;
    }
    // A burst of reads parses the file once; any change to it (another copy's write, an edit by
    // hand) gives it a new stamp. File times tick coarsely, so two changes of one size within a
    // tick look alike: a file changed in the last two seconds is read again every time.
    const bool settled = st.st_ctime + 2 <= std::time(nullptr);
    if (cache_ && !cache_->missing && !cache_->tooLarge && settled &&
        cache_->stamp == StampOf(st)) {
        return &cache_->text;
    }
    if (cache_ && cache_->tooLarge && cache_->stamp == StampOf(st)) return nullptr;
    std::string text;
    Stamp stamp;
    const Read r = ReadAll(path_, text, stamp);
    cache_.reset();
    if (r == Read::TooLarge) {
        cache_.emplace();
        cache_->tooLarge = true;
        cache_->stamp = StampOf(st);
        return nullptr;
    }
    if (r == Read::Missing) {
        cache_.emplace();
        cache_->missing = true;
        return &cache_->text;
    }
    if (r != Read::Ok) return nullptr;
    cache_.emplace();
    cache_->text = IniText(text);
    cache_->stamp = stamp;
    return &cache_->text;
}

bool IniFile::IsTooLarge() const {
    struct stat st {};
    return !path_.empty() && ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_size > kMaxBytes;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    const IniText* text = Current();
    if (!text) return defaultValue;
    auto value = text->Get(section, key);
    return value ? *value : defaultValue;
}

int IniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    // An empty value counts as missing, as it did on the old platform.
    const std::string value = GetString(section, key);
    if (value.empty()) return defaultValue;
    return IniText::LeadingInt(value);
}

// Reads, edits and writes back under the lock; an unreadable or oversized file is never
// overwritten, so a passing read failure cannot wipe the user's settings.
template <typename Edit>
bool IniFile::Rewrite(Edit edit) {
    if (path_.empty()) return false;
    const std::string target = ResolveWriteTarget(path_);
    ProfileLock lock(target);
    if (!lock) {
        // A settings file that cannot be made (a link into a folder that is not there, a loop of
        // links), or a name that holds no file (/dev/null, a named pipe, a folder) is said once;
        // the program then runs on without saving settings.
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            if (!std::exchange(toldUnmade_, true)) {
                AfxMessageBox("The settings file is " + NotAFileKind(st.st_mode) +
                              ", not a file:\n     " + target + "\nSettings will not be saved.");
            }
        } else if (lock.Error() != 0 && ::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
                   !std::exchange(toldUnmade_, true)) {
            AfxMessageBox("The settings file cannot be created:\n     " + target +
                          "\nSettings will not be saved.");
        }
        return false;
    }
    std::string old;
    Stamp stamp;
    const Read r = ReadAll(target, old, stamp);
    if (r != Read::Ok && r != Read::Missing) return false;
    IniText text(old);
    if (!edit(text)) {
        lock.RemoveIfCreated();
        return false;
    }
    cache_.reset();
    // A file past what Read takes would cost every setting at the next start: the change that
    // would grow it that far is refused, and said so once.
    const std::string bytes = text.Text();
    if (static_cast<std::int64_t>(bytes.size()) > kMaxBytes) {
        lock.RemoveIfCreated();
        if (!std::exchange(toldFull_, true)) {
            AfxMessageBox("The settings file is full (1 MiB):\n     " + path_ +
                          "\nThe change was not saved. Remove what is no longer needed from it.");
        }
        return false;
    }
    return WriteFileAtomically(path_, bytes);
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return Rewrite([&](IniText& text) { return text.Set(section, key, value); });
}

bool IniFile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
    return Rewrite([&](IniText& text) { return text.Remove(section, key); });
}

IniFile& Profile() {
    static IniFile profile([] {
        const char* env = std::getenv("VOKRA_INI");
        if (!env || !*env) return std::string();
        // Fixed now: the current folder moves later, the settings file must not.
        std::error_code ec;
        const auto full = std::filesystem::absolute(env, ec);
        return ec ? std::string(env) : full.lexically_normal().string();
    }());
    return profile;
}

}  // namespace vokra

#include "platform/keep_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <tuple>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/path_parts.h"

namespace vokra {
namespace {

// Little-endian: the mark, device, inode, old size, old modification time (ns), new size, block
// size, a reserved 0, the checksum of everything else; then a checksum per block of the new bytes,
// then the old bytes.
constexpr std::string_view kMagic = "VOKRAKP1";
constexpr std::size_t kCheckAt = 64;    // where the whole file's checksum sits
constexpr std::size_t kHeadBytes = 72;  // the fixed head, before the block sums
constexpr std::uint64_t kFnvBasis = 0xcbf29ce484222325ULL;
// No document or export of ours comes near this; a larger file under the name is not read.
constexpr off_t kMaxKeepBytes = off_t{1} << 31;

std::uint64_t Fnv(std::string_view bytes, std::uint64_t h) {
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

void Put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t Get64(std::string_view b, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

std::uint64_t WholeSum(std::string_view bytes) {
    return Fnv(bytes.substr(kCheckAt + 8), Fnv(bytes.substr(0, kCheckAt), kFnvBasis));
}

using path::FolderOf;
using path::NameOf;

std::int64_t Nanos(const struct timespec& t) {
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

// Bytes [from, to) of `now` are what the file held before the write: the old bytes, then the
// zeros of the room reserved for a longer new file.
bool SameAsOld(std::string_view now, std::string_view old, std::size_t from, std::size_t to) {
    const std::size_t oldEnd = std::min(to, old.size());
    if (from < oldEnd && now.compare(from, oldEnd - from, old.substr(from, oldEnd - from)) != 0)
        return false;
    for (std::size_t p = std::max(from, oldEnd); p < to; ++p) {
        if (now[p] != 0) return false;
    }
    return true;
}

// The whole of an open file, or false (too large, unreadable).
bool ReadAllOf(int fd, off_t size, std::string& bytes) {
    if (size < 0 || size > kMaxKeepBytes) return false;
    try {
        bytes.assign(static_cast<std::size_t>(size), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAllAt(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "something other than a file";
}

// Keep files already spoken of in this run, so the user hears of each once. Known by more than
// the inode, which a file made later may reuse.
bool FirstTimeTold(const struct stat& keep) {
    static std::mutex mutex;
    static std::set<std::tuple<std::uint64_t, std::uint64_t, std::int64_t, std::int64_t>> told;
    const std::lock_guard lock(mutex);
    return told.insert({keep.st_dev, keep.st_ino, Nanos(keep.st_ctim), keep.st_size}).second;
}

void SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

// Removes the keep file's name only while it still names the file held open.
void UnlinkIfSame(const std::string& keep, int fd) {
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && ::lstat(keep.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino && ::unlink(keep.c_str()) == 0) {
        SyncFolder(FolderOf(keep));
    }
}

std::string ForeignMessage(const std::string& keep, const std::string& target) {
    return keep + "\nlies beside\n" + target +
           "\nbut cannot be shown to hold the version from before an unfinished save of it (it may "
           "be another file, or a copy an earlier version of Vokra left), so neither file was "
           "changed. If the document is damaged, that copy may hold its earlier version; otherwise "
           "delete it.";
}

std::string ChangedSinceMessage(const std::string& keep, const std::string& target) {
    return target +
           "\nhas changed since a save of it stopped half-way (it was saved again, perhaps under "
           "another of its names), so the copy from before that save in\n" +
           keep +
           "\nwas not put back, and neither file was changed. Delete that copy if you do "
           "not need it.";
}

// What a save that needs the keep file's name says of what holds it.
std::string InTheWayReason(const std::string& keep, const std::string& target);

}  // namespace

std::string KeepPath(const std::string& target) {
    return FolderOf(target) + "/." + NameOf(target) + ".vokra-old";
}

std::uint64_t Checksum(std::string_view bytes) {
    return Fnv(bytes, kFnvBasis);
}

std::string WriteKeepFile(const KeepHead& head, std::string_view old) {
    std::string out(kMagic);
    Put64(out, head.device);
    Put64(out, head.inode);
    Put64(out, old.size());
    Put64(out, static_cast<std::uint64_t>(head.oldModifiedNanos));
    Put64(out, head.newSize);
    Put64(out, KeepHead::kBlock);
    Put64(out, 0);  // reserved
    Put64(out, 0);  // the checksum, filled in below
    out.reserve(out.size() + head.newSums.size() * 8 + old.size());
    for (const std::uint64_t sum : head.newSums) Put64(out, sum);
    out += old;
    const std::uint64_t sum = WholeSum(out);
    for (int i = 0; i < 8; ++i) out[kCheckAt + i] = static_cast<char>((sum >> (8 * i)) & 0xFF);
    return out;
}

std::string MakeKeepFile(const struct stat& before, std::string_view old,
                         std::string_view pending) {
    KeepHead head;
    head.device = before.st_dev;
    head.inode = before.st_ino;
    head.oldSize = old.size();
    head.oldModifiedNanos = Nanos(before.st_mtim);
    head.newSize = pending.size();
    for (std::size_t at = 0; at < pending.size(); at += KeepHead::kBlock) {
        head.newSums.push_back(Checksum(pending.substr(at, KeepHead::kBlock)));
    }
    return WriteKeepFile(head, old);
}

bool ParseKeepFile(std::string_view bytes, KeepHead& head, std::string_view& old) {
    if (bytes.size() < kHeadBytes || bytes.substr(0, kMagic.size()) != kMagic) return false;
    if (Get64(bytes, 48) != KeepHead::kBlock || Get64(bytes, 56) != 0) return false;
    KeepHead h;
    h.device = Get64(bytes, 8);
    h.inode = Get64(bytes, 16);
    h.oldSize = Get64(bytes, 24);
    h.oldModifiedNanos = static_cast<std::int64_t>(Get64(bytes, 32));
    h.newSize = Get64(bytes, 40);
    // Every count is checked against the bytes there before anything is sized by it.
    const std::uint64_t room = (bytes.size() - kHeadBytes) / 8;
    const std::uint64_t blocks = h.newSize / KeepHead::kBlock + (h.newSize % KeepHead::kBlock != 0);
    if (blocks > room) return false;
    const std::uint64_t sumsEnd = kHeadBytes + blocks * 8;
    if (bytes.size() - sumsEnd != h.oldSize) return false;
    if (Get64(bytes, kCheckAt) != WholeSum(bytes)) return false;
    h.newSums.reserve(static_cast<std::size_t>(blocks));
    for (std::uint64_t i = 0; i < blocks; ++i)
        h.newSums.push_back(Get64(bytes, kHeadBytes + i * 8));
    head = std::move(h);
    old = bytes.substr(static_cast<std::size_t>(sumsEnd));
    return true;
}

KeepMatch MatchKeep(const KeepHead& head, std::string_view old, std::string_view now) {
    const std::uint64_t length = now.size();
    if (now == old) return KeepMatch::Untouched;
    const std::uint64_t shortest = std::min(head.oldSize, head.newSize);
    const std::uint64_t longest = std::max({head.oldSize, head.newSize, std::uint64_t{1}});
    if (length < shortest || length > longest) return KeepMatch::Other;
    constexpr std::size_t kBlock = KeepHead::kBlock;
    bool allNew = length == head.newSize;
    // Each block is the new one (its own checksum, then the old bytes past the new file's end) or
    // still the old one: a write stopped anywhere, even with blocks reaching the disk out of
    // order, leaves nothing else.
    for (std::size_t start = 0; start < now.size(); start += kBlock) {
        const std::size_t end = std::min(start + kBlock, now.size());
        const std::size_t fresh =
            head.newSize > start ? std::min<std::uint64_t>(kBlock, head.newSize - start) : 0;
        const bool isNew = fresh > 0 && fresh <= end - start &&
                           Checksum(now.substr(start, fresh)) == head.newSums[start / kBlock] &&
                           SameAsOld(now, old, start + fresh, end);
        if (isNew) continue;
        allNew = false;
        if (!SameAsOld(now, old, start, end)) return KeepMatch::Other;
    }
    return allNew ? KeepMatch::Completed : KeepMatch::Interrupted;
}

KeepCheck CheckInterruptedWrite(const std::string& path, bool restore) {
    KeepCheck check;
    const std::string target = ResolveWriteTarget(path);
    check.keep = KeepPath(target);
    struct stat named {};
    if (::lstat(check.keep.c_str(), &named) != 0) return check;
    if (!S_ISREG(named.st_mode)) {
        check.state = KeepState::InTheWay;
        check.kind = KindOf(named.st_mode);
        return check;
    }
    check.state = KeepState::Foreign;
    struct stat was {};
    const bool targetThere = ::stat(target.c_str(), &was) == 0 && S_ISREG(was.st_mode);
    const auto foreign = [&](const struct stat& keep, std::string message) {
        if (targetThere && FirstTimeTold(keep)) check.message = std::move(message);
        return check;
    };
    const int fd =
        ::open(check.keep.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return foreign(named, ForeignMessage(check.keep, target));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat keepSt {};
    if (::fstat(fd, &keepSt) != 0 || !S_ISREG(keepSt.st_mode)) {
        check.state = KeepState::InTheWay;
        check.kind = KindOf(keepSt.st_mode);
        return check;
    }
    // A running save holds its keep file locked until it is done with it.
    if (::flock(fd, (restore ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        check.state = KeepState::Busy;
        return check;
    }
    std::string bytes;
    KeepHead head;
    std::string_view old;
    // Only a copy made by this user, or by the file's owner, is taken for one of ours.
    if (!targetThere || (keepSt.st_uid != ::geteuid() && keepSt.st_uid != was.st_uid) ||
        !ReadAllOf(fd, keepSt.st_size, bytes) || !ParseKeepFile(bytes, head, old)) {
        return foreign(keepSt, ForeignMessage(check.keep, target));
    }
    if (head.device != was.st_dev || head.inode != was.st_ino) {
        return foreign(keepSt, ForeignMessage(check.keep, target));
    }
    const int in = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (in < 0) return foreign(keepSt, ForeignMessage(check.keep, target));
    struct stat now {};
    std::string present;
    const bool readTarget = ::fstat(in, &now) == 0 && now.st_dev == was.st_dev &&
                            now.st_ino == was.st_ino &&
                            static_cast<std::uint64_t>(now.st_size) <=
                                std::max({head.oldSize, head.newSize, std::uint64_t{1}}) &&
                            ReadAllOf(in, now.st_size, present);
    ::close(in);
    const KeepMatch match = readTarget ? MatchKeep(head, old, present) : KeepMatch::Other;
    if (match == KeepMatch::Other) {
        return foreign(keepSt, ChangedSinceMessage(check.keep, target));
    }
    if (match != KeepMatch::Interrupted) {
        // The write ended, or never began: the copy has nothing left to give.
        check.state = KeepState::Finished;
        if (restore) UnlinkIfSame(check.keep, fd);
        return check;
    }
    if (!restore) {
        check.state = KeepState::Interrupted;
        if (FirstTimeTold(keepSt)) {
            check.message =
                target +
                "\nwas being saved when the program stopped, and is incomplete. The "
                "version from before that save is kept in\n" +
                check.keep +
                "\nOpening the document in Vokra, or editing it with vokra-cli, puts it back.";
        }
        return check;
    }
    // Back in place, so every other name of the file sees it too, with its time as it was.
    const int out = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat outSt {};
    bool ok = out >= 0 && ::fstat(out, &outSt) == 0 && outSt.st_dev == was.st_dev &&
              outSt.st_ino == was.st_ino && WriteAllAt(out, old) &&
              ::ftruncate(out, static_cast<off_t>(old.size())) == 0 && ::fsync(out) == 0;
    if (ok) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = head.oldModifiedNanos / 1'000'000'000LL;
        times[1].tv_nsec = head.oldModifiedNanos % 1'000'000'000LL;
        if (times[1].tv_nsec < 0) times[1].tv_nsec = 0;
        (void)::futimens(out, times);
    }
    if (out >= 0) ::close(out);
    if (!ok) {
        check.state = KeepState::Failed;
        check.message = target +
                        "\nwas being saved when the program stopped, and the version from before "
                        "that save could not be put back. It is kept in\n" +
                        check.keep;
        return check;
    }
    UnlinkIfSame(check.keep, fd);
    check.state = KeepState::Restored;
    check.message = target +
                    "\nwas being saved when the program stopped. The version from before that "
                    "save has been put back.";
    return check;
}

std::string KeepBlockedReason(const KeepCheck& check, const std::string& target) {
    const std::string why = "a save of " + target +
                            ", a file with several names, keeps a copy of its old version under "
                            "that name while it writes.";
    switch (check.state) {
        case KeepState::InTheWay:
            return check.keep + " is " + check.kind + " in the way: " + why +
                   " Move or rename it, then save again.";
        case KeepState::Foreign:
            return check.keep + " holds a file that does not belong to this save: " + why +
                   " Move it away (or delete it if it is not needed), then save again.";
        case KeepState::Busy:
            return target + " is being saved by another program right now. Save again in a moment.";
        case KeepState::Failed:
            return target +
                   " was being saved when the program stopped, and the version from "
                   "before that save, kept in " +
                   check.keep + ", could not be put back.";
        default:
            return {};
    }
}

namespace {

std::string InTheWayReason(const std::string& keep, const std::string& target) {
    struct stat there {};
    const bool seen = ::lstat(keep.c_str(), &there) == 0;
    const std::string kind =
        !seen || S_ISREG(there.st_mode) ? std::string("a file") : KindOf(there.st_mode);
    return KeepBlockedReason({KeepState::InTheWay, keep, kind, {}}, target);
}

}  // namespace

KeepWriter::~KeepWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool KeepWriter::Make(const std::string& target, const struct stat& before, std::string_view old,
                      std::string_view pending, std::string& reason, bool& folderRefused) {
    folderRefused = false;
    name_ = KeepPath(target);
    const std::string folder = FolderOf(target);
    dirFd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        folderRefused = true;
        return false;
    }
    std::string bytes;
    try {
        bytes = MakeKeepFile(before, old, pending);
    } catch (const std::bad_alloc&) {
        reason = "There is not enough memory.";
        return false;
    }
    // Unnamed until complete, then linked in under a name that must be free: a link already there
    // is never followed, and a copy cut short by a crash never appears.
    static const bool procFd = ::access("/proc/self/fd", X_OK) == 0;
    bool named = false;
    int fd = procFd ? ::openat(dirFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600) : -1;
    if (fd < 0 && (!procFd || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        fd = ::openat(dirFd_, NameOf(name_).c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        named = fd >= 0;
    }
    if (fd < 0) {
        const int err = errno;
        if (err == EEXIST) reason = InTheWayReason(name_, target);
        folderRefused = err == EACCES || err == EPERM || err == EROFS;
        return false;
    }
    fd_ = fd;
    (void)::flock(fd_, LOCK_EX | LOCK_NB);
    // The copy is the document's: its owner and group where permitted, and its permissions.
    if (::fchown(fd_, before.st_uid, before.st_gid) != 0)
        (void)::fchown(fd_, static_cast<uid_t>(-1), before.st_gid);
    (void)::fchmod(fd_, before.st_mode & 0777);
    int err = 0;
    if (!WriteAllAt(fd_, bytes) || ::fsync(fd_) != 0) err = errno ? errno : EIO;
    if (err == 0 && !named) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        if (::linkat(AT_FDCWD, self, dirFd_, NameOf(name_).c_str(), AT_SYMLINK_FOLLOW) != 0) {
            err = errno;
            if (err == EEXIST) reason = InTheWayReason(name_, target);
        }
    }
    if (err != 0) {
        if (named) (void)::unlinkat(dirFd_, NameOf(name_).c_str(), 0);
        ::close(fd_);
        fd_ = -1;
        if (reason.empty()) reason = std::strerror(err);
        return false;
    }
    (void)::fsync(dirFd_);
    return true;
}

void KeepWriter::Remove() {
    if (fd_ < 0) return;
    struct stat held {
    }, there{};
    if (::fstat(fd_, &held) == 0 &&
        ::fstatat(dirFd_, NameOf(name_).c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        held.st_dev == there.st_dev && held.st_ino == there.st_ino &&
        ::unlinkat(dirFd_, NameOf(name_).c_str(), 0) == 0) {
        (void)::fsync(dirFd_);
    }
    ::close(fd_);
    fd_ = -1;
}

}  // namespace vokra

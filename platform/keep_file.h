#pragma once
// The copy of a file's old bytes kept beside it while it is written in place (".NAME.vokra-old"),
// and the proof that it belongs to that write. Its head names the file it was made for (device,
// inode, size and modification time before the write) and the new bytes about to be written
// (their size and a checksum of each 4 KiB block), and a checksum covers the whole copy. It is put
// back only over a file that still shows that write stopped half-way: the same file, every block
// either old or new. Anything else under that name (another file, a link, a copy an earlier
// version made without a head, one whose file was saved again since through another of its names)
// is left alone, and the user is told once, with both files named.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vokra {

// Where the old bytes of a file written in place are kept: ".NAME.vokra-old" beside it.
std::string KeepPath(const std::string& target);

// What a keep file says about the write it was made for.
struct KeepHead {
    static constexpr std::uint32_t kBlock = 4096;
    std::uint64_t device = 0, inode = 0;
    std::uint64_t oldSize = 0;
    std::int64_t oldModifiedNanos = 0;
    std::uint64_t newSize = 0;
    std::vector<std::uint64_t> newSums;  // one per block of the new bytes

    bool operator==(const KeepHead&) const = default;
};

// A 64-bit FNV-1a checksum: stable across builds and versions, as a file that outlives the
// program needs.
std::uint64_t Checksum(std::string_view bytes);

// The keep file for a write of `pending` over a file with status `before` holding `old`.
std::string MakeKeepFile(const struct stat& before, std::string_view old, std::string_view pending);
// The same from a head (the old bytes' size is `old`'s).
std::string WriteKeepFile(const KeepHead& head, std::string_view old);
// True for a whole keep file of this version; `old` then views its old bytes inside `bytes`.
bool ParseKeepFile(std::string_view bytes, KeepHead& head, std::string_view& old);

// Where the file stands against the write a keep file was made for.
enum class KeepMatch {
    Interrupted,  // stopped half-way: old and new blocks mixed (or grown, not yet cut to size)
    Untouched,    // still the old bytes: the write never started
    Completed,    // all the new bytes, at their size: the write ended, only the copy is left
    Other,        // something else: changed since (saved again, another program)
};
KeepMatch MatchKeep(const KeepHead& head, std::string_view old, std::string_view now);

// What was found beside a file about to be read or written.
enum class KeepState {
    None,         // no keep file
    Restored,     // an interrupted write was undone
    Interrupted,  // an interrupted write that a command that only reads left as it is
    Finished,     // a copy of a write that ended (or never began): removed, or left by a reader
    Foreign,      // a regular file that cannot be shown to belong to an interrupted write
    InTheWay,     // a folder, a pipe, a device or a symbolic link under the keep file's name
    Busy,         // a save running now holds it
    Failed,       // provably ours, but putting the old bytes back failed
};

struct KeepCheck {
    KeepState state = KeepState::None;
    std::string keep;     // the keep file's path
    std::string kind;     // for InTheWay: "a folder", "a symbolic link", ...
    std::string message;  // for the user on opening; empty when nothing is to be said (or was said)
};

// Looks at the keep file of `path` (its links followed). With `restore`, puts back the old bytes
// of a write that provably stopped half-way, and removes a copy whose write ended; without it
// nothing is changed (commands that only read). Whatever is left alone is said once per run.
KeepCheck CheckInterruptedWrite(const std::string& path, bool restore);

// Why a write in place of `target` cannot keep its old bytes under the keep file's name, for the
// save's message; empty when the name is free to take.
std::string KeepBlockedReason(const KeepCheck& check, const std::string& target);

// The keep file of a write in place, made before the first new byte is written: created
// exclusively (a link or anything else there is never written through), with the file's mode and
// owner, and locked while the write runs so that no other run takes it for a leftover.
class KeepWriter {
public:
    KeepWriter() = default;
    ~KeepWriter();
    KeepWriter(const KeepWriter&) = delete;
    KeepWriter& operator=(const KeepWriter&) = delete;

    // Writes and syncs the keep file of `target` (status `before`, bytes `old`) for `pending`.
    // False when it could not be made; `reason` then says why, `folderRefused` when the folder
    // takes no new file at all.
    bool Make(const std::string& target, const struct stat& before, std::string_view old,
              std::string_view pending, std::string& reason, bool& folderRefused);
    // Removes the keep file once the write is complete (or undone), if the name still holds it.
    void Remove();

private:
    int fd_ = -1;
    int dirFd_ = -1;
    std::string name_;
};

}  // namespace vokra

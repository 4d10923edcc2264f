#pragma once
// A file that replaces its target only once it is complete. The bytes go to a temporary file in
// the target's folder (unnamed where the file system allows, so a crash leaves nothing behind);
// Commit checks that every write reached the disk (full size, fsync) and renames the temporary
// file over the target, which keeps its permissions and, where permitted, its owner. Until then,
// and on any failure, the target keeps its old contents byte for byte.
//
// Two targets cannot be replaced by a rename without harm: a file with more than one hard link
// (the rename would split it from its other names) and a writable file in a folder where no new
// file can be created. Those are written in place: the bytes are kept until Commit, room for all
// of them is reserved before the first one is written, every write is checked and the file is
// synced. The old bytes are kept in a file beside it (keep_file.h) until the new ones are all in
// place, so a write stopped half-way can be undone; a save finds and undoes such a write before
// its own, and refuses, naming it, a file in the way of its own copy.
//
// A target marked read-only (no write permission bit, or not writable for this process) or one
// that is not a regular file is refused, as the old platform refused to open such files for
// writing. After a failure ErrorText says, in a sentence, what went wrong.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/keep_file.h"

namespace vokra {

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();  // discards an uncommitted temporary file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target and creates the temporary file; false when the target cannot be written.
    bool Open();
    // Appends bytes; false (and stays failed) unless all of them were written.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Flushes to disk and renames over the target; false on any failure (the target untouched;
    // a write in place that failed half-way has had its old bytes put back).
    bool Commit();
    // Removes the temporary file without touching the target.
    void Discard();
    // Makes Commit claim the name only while it is free: the complete file is linked in under it
    // in one step, and Commit fails with NameTaken when anything (even another run a moment
    // earlier) holds that name by then. For copies written under a free name of their own.
    void SetNoReplace() { noReplace_ = true; }
    // True after a no-replace Commit found the name taken.
    bool NameTaken() const { return nameTaken_; }

    // The file actually replaced: the target, or what it links to when it is a symbolic link.
    const std::string& TargetPath() const { return target_; }
    // True when the target is written in place rather than replaced.
    bool InPlace() const { return inPlace_; }
    // Why the last Open, Write or Commit failed, as a sentence; empty after success.
    const std::string& ErrorText() const { return error_; }

private:
    bool OpenTemporary(bool replacing);
    bool OpenInPlace(bool keepsCopy);
    bool CommitInPlace();
    bool CommitNoReplace();
    bool Fail(int err, const char* step);

    std::string path_;
    std::string target_;
    std::string temp_;     // name of a named temporary file (empty for an unnamed one)
    std::string pending_;  // the bytes of a write in place, kept until Commit
    KeepCheck keep_;       // what lay under the keep file's name when the target was opened
    int fd_ = -1;
    bool unnamed_ = false;
    bool inPlace_ = false;
    bool replacing_ = false;
    bool failed_ = false;
    bool noReplace_ = false;
    bool nameTaken_ = false;
    std::string error_;
};

// Opens, writes and commits in one go. `error`, when given, receives ErrorText on failure.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// The file a write to `path` replaces: `path` itself, or the file its chain of symbolic links
// ends at (which need not exist yet).
std::string ResolveWriteTarget(const std::string& path);

// True when an existing file at `path` may not be replaced: not a regular file, not writable for
// this process, or carrying no write permission bit at all (read-only even for the superuser).
bool IsReadOnlyTarget(const std::string& path);

// The temporary files a save of `target` leaves in its folder while it runs: ".NAME.*.tmp".
// Those no running save holds and that have not been touched for a few seconds are left over
// from a save that was killed; they are removed. Returns how many were.
int RemoveStaleTemporaryFiles(const std::string& target);

}  // namespace vokra

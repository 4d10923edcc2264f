#pragma once
// A file that replaces its target only once it is complete. The bytes go to a temporary file in
// the target's folder; Commit checks that every write reached the disk (full size, fsync) and
// renames the temporary file over the target. Until then, and on any failure, the target keeps
// its old contents byte for byte. A target marked read-only (no write permission bit, or not
// writable for this process) or one that is not a regular file is refused, as the old platform
// refused to open such files for writing.
#include <cstddef>
#include <string>
#include <string_view>

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
    // Flushes to disk and renames over the target; false on any failure (the target untouched).
    bool Commit();
    // Removes the temporary file without touching the target.
    void Discard();

    // The file actually replaced: the target, or what it links to when it is a symbolic link.
    const std::string& TargetPath() const { return target_; }

private:
    std::string path_;
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool failed_ = false;
};

// Opens, writes and commits in one go.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// True when an existing file at `path` may not be replaced: not a regular file, not writable for
// this process, or carrying no write permission bit at all (read-only even for the superuser).
bool IsReadOnlyTarget(const std::string& path);

}  // namespace vokra

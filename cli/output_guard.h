#pragma once
// What keeps a batch run from destroying files: an output that is one of the run's inputs (by
// another name, through a link, a second hard link or a bind mount) is refused, and two outputs of
// one run never name one file, even one not made yet. Every command checks all its files in one
// call before anything is read or written. (A converted copy's free name is the sound layer's:
// sound/import/copy_name.h.)
#include <iosfwd>
#include <string>
#include <vector>

namespace vokra {

// A file a command reads or writes, with what the messages call it: an option ("-o", "--env") or
// a description ("the recording", "the script (--text)"). An empty path is a file not asked for.
struct GuardedFile {
    std::string name;
    std::string path;
};

struct FileClash {
    enum class Kind { None, OutputsMeet, OutputIsInput };
    Kind kind = Kind::None;
    std::string reason;  // one sentence naming both files' roles and the path
};

// The first two outputs naming one file, else the first output naming an input; Kind::None when
// every output is a file of its own. An input that is also written back (the --update document)
// is listed among the outputs only.
FileClash FindFileClash(const std::vector<GuardedFile>& inputs,
                        const std::vector<GuardedFile>& outputs);

// FindFileClash, said on `err` as vokra-cli says it: 0 when the run may go on, else its exit
// code (a usage error for two outputs on one file, a file error for an output over an input).
int RefuseFileClash(const std::vector<GuardedFile>& inputs, const std::vector<GuardedFile>& outputs,
                    std::ostream& err);

// True when both paths name one existing file (same device and inode once links are followed).
bool IsSameFile(const std::string& a, const std::string& b);

// True when writing to `output` could replace the existing file `input`.
bool WritesOver(const std::string& output, const std::string& input);

// True when writing to `a` and to `b` could write one file: the same existing file, or, for names
// not made yet, the same name in the same folder (its device and inode, so that `..`, linked
// folders and bind mounts are seen through). A path with `..` is taken both as the kernel resolves
// it and as written lexically, as the document's writers do.
bool NameOneFile(const std::string& a, const std::string& b);

}  // namespace vokra

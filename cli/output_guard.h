#pragma once
// What keeps a batch run from destroying files: an output that is the input itself (through a
// link or a second hard link) is refused, and a converted copy never takes the name of a file
// this run did not make.
#include <optional>
#include <string>

namespace vokra {

// True when both paths name one existing file (same device and inode once links are followed).
bool IsSameFile(const std::string& a, const std::string& b);

// True when writing to `a` and to `b` would write one file: the same existing file, or, for names
// not made yet, the same place once links are followed.
bool NameOneFile(const std::string& a, const std::string& b);

// Where a converted copy wanted at `wanted` ("dir/NAME-vokra.wav") goes: that name when it is free
// or already holds exactly `bytes`, else the first of "dir/NAME-vokra-2.wav", "-3", ... that is.
// `reuse` says the file is there with these bytes already. Nothing when no name is free.
std::optional<std::string> FreeCopyPath(const std::string& wanted, const std::string& bytes,
                                        bool& reuse);

}  // namespace vokra

#pragma once
// What keeps a batch run from destroying files: an output that is the input itself (through a
// link or a second hard link) is refused, and two outputs of one run never name one file. (A
// converted copy's free name is the sound layer's: sound/import/copy_name.h.)
#include <string>

namespace vokra {

// True when both paths name one existing file (same device and inode once links are followed).
bool IsSameFile(const std::string& a, const std::string& b);

// True when writing to `a` and to `b` would write one file: the same existing file, or, for names
// not made yet, the same place once links are followed.
bool NameOneFile(const std::string& a, const std::string& b);

}  // namespace vokra

// The keep file of a write in place: whatever the bytes, the reader refuses them or accepts a head
// it writes back to exactly those bytes, and the match of any file against it never reads past
// either of them.
#include <cstdint>
#include <string_view>

#include "platform/keep_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vokra::KeepHead head;
    std::string_view old;
    if (!vokra::ParseKeepFile(bytes, head, old)) return 0;
    if (vokra::WriteKeepFile(head, old) != bytes) __builtin_trap();
    if (old.size() != head.oldSize) __builtin_trap();
    // The file as it might be found beside it: the old bytes cut or grown, its own bytes.
    (void)vokra::MatchKeep(head, old, old.substr(0, old.size() / 2));
    (void)vokra::MatchKeep(head, old, bytes);
    if (vokra::MatchKeep(head, old, old) != vokra::KeepMatch::Untouched) __builtin_trap();
    return 0;
}

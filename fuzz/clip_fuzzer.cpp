// The readers of keys on the clipboard (plain text and the program's own form) on arbitrary
// bytes: what they accept is in order, inside its span and writes back to the same keys.
#include <cstdint>

#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* failed =
        vokra::fuzz::CheckKeyClipBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (failed) __builtin_trap();
    return 0;
}

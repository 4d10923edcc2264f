// The settings-file reader on arbitrary text: an unedited file is reproduced byte for byte, and a
// write changes its key only.
#include <cstdint>

#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* failed =
        vokra::fuzz::CheckIniBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (failed) __builtin_trap();
    return 0;
}

// The manifest of vokra-cli batch (CSV with a header, or JSON lines), as a user might be sent
// one: every line becomes an item or an error of its own, in order, within the text's size.
#include <cstdint>

#include "fuzz/manifest_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* failed =
        vokra::fuzz::CheckManifest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (failed) __builtin_trap();
    return 0;
}

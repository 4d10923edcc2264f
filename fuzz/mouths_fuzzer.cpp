// The mouth list of the switch data (typed on the command line, kept in the settings file) and
// the export writers on the keys that follow it: every accepted list reads back the same, and the
// switch data stays in order and within the keys whatever the frames and openings.
#include <cstdint>

#include "fuzz/document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* failed = vokra::fuzz::CheckMouthsAndExport(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (failed) __builtin_trap();
    return 0;
}

// The script record of the document's tagged section: whatever the bytes, the reader refuses them
// or accepts a script it writes back to exactly those bytes, and never reads past them.
#include <cstdint>
#include <string_view>

#include "document/script_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vokra::DocumentScript script;
    if (!vokra::ReadScriptRecord(bytes, script)) {
        if (!script.IsEmpty()) __builtin_trap();  // a refused record leaves the script alone
        return 0;
    }
    if (vokra::WriteScriptRecord(script) != bytes) __builtin_trap();
    return 0;
}

// What live lip sync reads from outside: VTube Studio's replies, and the mouth-to-vowel table a
// user edits. Neither may crash, a token read is sane, and a table that is refused changes
// nothing while one that is taken keeps every value from 0 to 1.
#include <cmath>
#include <cstdint>
#include <string>

#include "live/live_vrm_map.h"
#include "live/live_vts_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vokra::VtsReply reply = vokra::ParseVtsReply(text);
    if (reply.kind == vokra::VtsReply::Kind::Token &&
        (reply.token.empty() || reply.token.size() > 1024 ||
         reply.token.find('\n') != std::string::npos))
        __builtin_trap();
    if (reply.reason.size() > 300) __builtin_trap();

    const vokra::LiveVrmMap before = vokra::DefaultLiveVrmMap();
    vokra::LiveVrmMap map = before;
    std::string error;
    if (!vokra::ParseLiveVrmMap(text, map, error)) {
        if (map.vowels != before.vowels || map.open != before.open || map.smile != before.smile)
            __builtin_trap();
        return 0;
    }
    for (const auto& row : map.vowels)
        for (float v : row)
            if (!(v >= 0.0f && v <= 1.0f)) __builtin_trap();
    for (float v : map.open)
        if (!(v >= 0.0f && v <= 1.0f)) __builtin_trap();
    return 0;
}

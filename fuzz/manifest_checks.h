#pragma once
// What must hold for any batch manifest, however hostile: every line read is an item with its
// line number, either with an error or naming a sound and an output, and nothing is kept that the
// text did not hold (an item per line at most).
#include <algorithm>
#include <string_view>

#include "cli/batch_manifest.h"

namespace vokra::fuzz {

// Null when the manifest reads as it must; else what failed.
inline const char* CheckManifest(std::string_view text) {
    const BatchManifest m = ParseBatchManifest(text, "base");
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (m.items.size() > lines) return "more items than lines";
    std::int32_t last = 0;
    for (const BatchItem& item : m.items) {
        if (item.line <= last || static_cast<std::size_t>(item.line) > lines)
            return "line numbers out of order";
        last = item.line;
        if (item.error.empty() && (item.sound.empty() || item.output.empty()))
            return "an item without a sound or an output but no error";
        if (item.sound.size() > text.size() + 5 || item.output.size() > text.size() + 5)
            return "a path longer than the text";
    }
    if (!m.ok() && !m.items.empty()) return "an unusable manifest with items";
    return nullptr;
}

}  // namespace vokra::fuzz

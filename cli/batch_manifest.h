#pragma once
// The manifest of `vokra-cli batch`: one line per recording to key, either CSV whose header names
// the columns (sound, text, language, output, format; sound and output required, in any order)
// or JSON lines, one object per line with the same keys. Relative paths are taken from the
// manifest's folder. A line that cannot be read becomes an item with its error, so the rest of
// the batch still runs and the user learns of every bad line at once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vokra {

// A manifest is a list of lines, not data: anything larger is some other file.
constexpr std::size_t kMaxManifestBytes = 64u << 20;
// One line names a few paths; a longer one is refused (and the next line read).
constexpr std::size_t kMaxManifestLine = 64u << 10;

struct BatchItem {
    std::int32_t line = 0;  // one-based line of the manifest where the item starts
    std::string sound;      // paths as resolved against the manifest's folder
    std::string text;       // the line's script (a UTF-8 text file); empty: none
    std::string language;   // espeak-ng voice name; empty: not given
    std::string output;
    std::string format;  // empty: not given
    std::string error;   // why the line cannot be keyed; empty when it can
};

struct BatchManifest {
    std::vector<BatchItem> items;
    std::string error;  // why the manifest as a whole cannot be used; empty when it can
    bool ok() const { return error.empty(); }
};

// Reads the items of a manifest's text; `folder` resolves relative paths ("" keeps them).
BatchManifest ParseBatchManifest(std::string_view text, const std::string& folder);

// Reads the manifest file at `path` (a regular file only: a pipe or a device is refused without
// waiting on it; at most kMaxManifestBytes), relative paths resolved against its folder.
BatchManifest ReadBatchManifest(const std::string& path);

}  // namespace vokra

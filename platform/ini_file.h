#pragma once
// An INI settings file with the old private-profile semantics: section and key names compare
// without case, a missing file, section or key gives the default, an integer is the leading
// (signed) digits of the value (else 0), and every write is saved at once (the file is created on
// the first write) keeping the other sections, keys and comments as they were.
//
// Reads parse the file once and keep it until the file changes. Each write is a read-modify-write
// under an advisory lock, so two running copies never lose each other's settings. A file larger
// than kMaxBytes is neither read (every key gives its default) nor rewritten, and no write makes
// the file larger than that.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ini_text.h"

namespace vokra {

class IniFile {
public:
    // Settings files hold a few kilobytes; anything this large is not ours to parse at start-up.
    static constexpr std::int64_t kMaxBytes = 1 << 20;

    // What identifies one version of the file.
    struct Stamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1, modifiedNanos = 0, changedNanos = 0;
        bool operator==(const Stamp&) const = default;
    };

    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    void SetPath(std::string path) {
        path_ = std::move(path);
        cache_.reset();
    }
    // True when the file is there but too large to be read: the program runs on defaults.
    bool IsTooLarge() const;

    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = {}) const;
    // False when the file could not be written (nothing is reported).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& key, int value);
    // Removes a key (the old platform's write of a null value); false when nothing was removed.
    bool DeleteKey(const std::string& section, const std::string& key);

private:
    struct Cache {
        Cache() : text(std::string_view()) {}
        IniText text;
        Stamp stamp;
        bool missing = false;
        bool tooLarge = false;
    };
    // The parsed file as it is now; nothing when it cannot be read.
    const IniText* Current() const;
    template <typename Edit>
    bool Rewrite(Edit edit);

    std::string path_;
    mutable std::optional<Cache> cache_;
    bool toldFull_ = false;    // the refusal of a write past kMaxBytes is shown once
    bool toldUnmade_ = false;  // so is a settings file that cannot be created or is no file
};

// The application's settings file: see SettingsFilePath in app/. Tests point it at a temporary
// file.
IniFile& Profile();

}  // namespace vokra

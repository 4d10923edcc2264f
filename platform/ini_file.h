#pragma once
// An INI settings file with the old private-profile semantics: section and key names compare
// without case, a missing file, section or key gives the default, an integer is the leading
// (signed) digits of the value (else 0), and every write is saved at once (the file is created on
// the first write) keeping the other sections, keys and comments as they were.
#include <string>

namespace vokra {

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = {}) const;
    // False when the file could not be written (nothing is reported).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& key, int value);
    // Removes a key (the old platform's write of a null value); false when nothing was removed.
    bool DeleteKey(const std::string& section, const std::string& key);

private:
    std::string path_;
};

// The application's settings file: see SettingsFilePath in app/. Tests point it at a temporary
// file.
IniFile& Profile();

}  // namespace vokra

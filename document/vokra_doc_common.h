#pragma once
// What the document's own source files (vokra_doc*.cpp) share: the settings file's sections and
// defaults, and the paths and texts of its messages.
#include <cstdint>
#include <string>

namespace vokra {

inline constexpr const char* kDirectories = "DIRECTORIES";
inline constexpr const char* kSettings = "SETTINGS";
inline constexpr std::int32_t kDefaultPreset = 7;
inline constexpr double kWindowsPerSecond = 100.0;

// The absolute and normal form of a path; the path as given when it has none.
std::string FullPath(const std::string& path);
// `text` with its first "%s" replaced by `value`.
std::string Format(std::string text, const std::string& value);

}  // namespace vokra

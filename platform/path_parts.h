#pragma once
// A file's folder and last name, split at the path's last '/', as the file writers need them: the
// folder of a bare name is ".", of a file at the root "/".
#include <string>

namespace vokra::path {

inline std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

inline std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vokra::path

#include "app/settings_path.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vokra {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string AbsoluteSettingsPath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code ec;
    const auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string ProgramIniPath(const std::string& programPath) {
    const std::size_t slash = programPath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = programPath.rfind('.');
    // A dot that starts the name (".vokra") makes a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart) return programPath + ".INI";
    return programPath.substr(0, dot) + ".INI";
}

bool IsInSystemFolder(const std::string& programPath) {
    // The folders the file system hierarchy gives to the system and its package managers; a
    // program anywhere else was built or unpacked by the user.
    static constexpr const char* kSystem[] = {"/usr",  "/opt",   "/bin",   "/sbin",
                                              "/lib",  "/lib32", "/lib64", "/libx32",
                                              "/snap", "/nix",   "/gnu",   "/app"};
    const std::string path =
        std::filesystem::path(AbsoluteSettingsPath(programPath)).lexically_normal().string();
    for (const char* prefix : kSystem) {
        const std::string p(prefix);
        if (path.size() > p.size() && path.compare(0, p.size(), p) == 0 && path[p.size()] == '/') {
            return true;
        }
    }
    return false;
}

std::string SettingsFilePath(const SettingsPathInputs& in) {
    // A relative name is made absolute at once: the current folder moves at start-up and after
    // Open and Save As, and the settings must not follow it into another file.
    if (!in.vokraIni.empty()) return AbsoluteSettingsPath(in.vokraIni);
    const std::string beside = ProgramIniPath(in.programPath);
    // Root writing beside the program would leave a root-owned file in a shared folder.
    if (!in.runByRoot && !IsInSystemFolder(in.programPath) && in.folderWritable &&
        in.folderWritable(FolderOf(beside))) {
        return beside;
    }
    // The XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored.
    std::string config = in.xdgConfigHome;
    if (config.empty() || config[0] != '/') {
        config = (in.home.empty() ? std::string(".") : in.home) + "/.config";
    }
    while (config.size() > 1 && config.back() == '/') config.pop_back();
    return config + "/vokra/vokra.INI";
}

SettingsPathInputs CurrentSettingsPathInputs(const std::string& programPath) {
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::string(v) : std::string();
    };
    SettingsPathInputs in;
    in.programPath = programPath;
    in.vokraIni = env("VOKRA_INI");
    in.xdgConfigHome = env("XDG_CONFIG_HOME");
    in.home = env("HOME");
    in.runByRoot = ::geteuid() == 0;
    in.folderWritable = [](const std::string& folder) {
        return ::access(folder.c_str(), W_OK | X_OK) == 0;
    };
    return in;
}

void EnsureSettingsFolder(const std::string& iniPath) {
    std::error_code ec;
    std::filesystem::create_directories(FolderOf(iniPath), ec);  // a failure shows as defaults
}

}  // namespace vokra

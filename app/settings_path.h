#pragma once
// Where the settings file lives: beside the program file, named after it with the extension
// replaced by ".INI", unless VOKRA_INI names another file, or the program is installed (in a system
// folder), run by root, or its folder cannot be written; then it goes to the user's configuration
// folder.
#include <functional>
#include <string>

namespace vokra {

// What the choice depends on, gathered so that the rule can be tested without touching the
// environment or the file system.
struct SettingsPathInputs {
    std::string programPath;    // full path of the program file
    std::string vokraIni;       // $VOKRA_INI (empty when unset)
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME (empty when unset)
    std::string home;           // $HOME
    bool runByRoot = false;     // effective user id 0
    // True when new files can be created in the folder.
    std::function<bool(const std::string& folder)> folderWritable;
};

// The program path with the extension of its file name replaced by ".INI" ("tool.exe" ->
// "tool.INI"; "vokra" -> "vokra.INI"; dots in folder names do not count).
std::string ProgramIniPath(const std::string& programPath);

// The folder part of a path without its final '/' ("/usr/bin/vokra" -> "/usr/bin"; "vokra" -> ".").
std::string FolderOf(const std::string& path);

// True for a program under /usr, /opt or another folder the system owns: an installed program,
// which never writes beside itself.
bool IsInSystemFolder(const std::string& programPath);

// A relative path made absolute against the current folder (an absolute one as it is).
std::string AbsoluteSettingsPath(const std::string& path);

// The settings file for these inputs; always absolute when VOKRA_INI names it.
std::string SettingsFilePath(const SettingsPathInputs& in);

// The inputs of this process (environment, a real writability check) for a program path.
SettingsPathInputs CurrentSettingsPathInputs(const std::string& programPath);

// Creates the folder of a settings file when it is missing, so the first write can succeed.
void EnsureSettingsFolder(const std::string& iniPath);

}  // namespace vokra

#pragma once
// File-open and file-save dialogs behind an interface, so that documents can ask for a path
// without knowing about windows, and tests can answer with a scripted path.
#include <optional>
#include <string>

namespace vokra {

struct FileDialogRequest {
    bool save = false;             // save dialog (else open)
    std::string filter;            // old-style "Name (*.x)|*.x|All Files (*.*)|*.*||"
    std::string defaultExt;        // appended when the user types a name without one
    std::string initialName;       // file name shown at first
    std::string initialDir;        // folder shown at first (empty: the current directory)
    bool fileMustExist = false;    // open: the chosen file must exist
    bool overwritePrompt = false;  // save: confirm replacing an existing file
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> Run(const FileDialogRequest& request) = 0;
};

// The service in force, or null when none is installed (then every dialog counts as cancelled).
FileDialogService* FileDialogs();
void SetFileDialogService(FileDialogService* service);

// Runs the installed dialog; cancelled when there is none.
std::optional<std::string> RunFileDialog(const FileDialogRequest& request);

}  // namespace vokra

#pragma once
// The application: locates the settings file, keeps the recent-file list, owns the one document and
// the main frame, runs the command line, and carries out start-up in its fixed order.
#include <QStringList>
#include <memory>
#include <string>

namespace vokra {

class CMainFrame;
class CVokraDoc;
class QtFileDialogService;
class QtHelpService;
class QtMessageService;
class QtProgressService;
class RecentFileList;

struct AppOptions {
    // The program file's full path (the settings file is named after it).
    std::string programPath;
    // Install the desktop's message boxes, file dialogs and help; tests keep their scripted ones.
    bool installServices = true;
    // Show the main window at the end of start-up.
    bool showWindow = true;
};

// The document path of a command line (arguments after the program name): the first argument
// that is not an option, or everything after "--". Empty for none.
std::string DocumentArgument(const QStringList& arguments);

class CVokraApp {
public:
    explicit CVokraApp(AppOptions options);
    ~CVokraApp();
    CVokraApp(const CVokraApp&) = delete;
    CVokraApp& operator=(const CVokraApp&) = delete;

    // Start-up; false when it failed and the program should end.
    bool InitInstance(const QStringList& arguments);

    CVokraDoc* GetDocument() const { return doc_.get(); }
    CMainFrame* GetMainFrame() const { return frame_.get(); }
    RecentFileList* GetRecentFiles() const { return recent_.get(); }
    const std::string& GetSettingsPath() const { return settingsPath_; }

private:
    AppOptions options_;
    std::string settingsPath_;
    std::unique_ptr<QtMessageService> messages_;
    std::unique_ptr<QtFileDialogService> fileDialogs_;
    std::unique_ptr<QtHelpService> help_;
    std::unique_ptr<QtProgressService> progress_;
    std::unique_ptr<RecentFileList> recent_;
    // The document outlives the frame: the panes and palettes point at it until they are gone.
    std::unique_ptr<CVokraDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace vokra

#include "platform/file_dialog_service.h"
#include "platform/help_service.h"
#include "platform/message_service.h"
#include "platform/progress_service.h"

namespace vokra {
namespace {
FileDialogService* g_fileDialogs = nullptr;
HelpService* g_help = nullptr;
ProgressService* g_progress = nullptr;

class SilentProgress final : public ProgressTask {
public:
    bool Update(double) override { return true; }
};
}  // namespace

FileDialogService* FileDialogs() {
    return g_fileDialogs;
}
void SetFileDialogService(FileDialogService* service) {
    g_fileDialogs = service;
}

std::optional<std::string> RunFileDialog(const FileDialogRequest& request) {
    if (!g_fileDialogs) return std::nullopt;
    return g_fileDialogs->Run(request);
}

void SetProgressService(ProgressService* service) {
    g_progress = service;
}

std::unique_ptr<ProgressTask> BeginProgress(const std::string& label) {
    if (g_progress) {
        if (auto task = g_progress->Begin(label)) return task;
    }
    return std::make_unique<SilentProgress>();
}

HelpService* Help() {
    return g_help;
}
void SetHelpService(HelpService* service) {
    g_help = service;
}

bool OpenHelpTopic(int context) {
    if (g_help && g_help->Open(context)) return true;
    const std::string detail = g_help ? g_help->FailureDetail() : std::string();
    AfxMessageBox(detail.empty() ? std::string("Failed to launch help.")
                                 : "Failed to launch help.\n" + detail);
    return false;
}

}  // namespace vokra

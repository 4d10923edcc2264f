#include "platform/file_dialog_service.h"
#include "platform/help_service.h"
#include "platform/message_service.h"

namespace vokra {
namespace {
FileDialogService* g_fileDialogs = nullptr;
HelpService* g_help = nullptr;
}  // namespace

FileDialogService* FileDialogs() { return g_fileDialogs; }
void SetFileDialogService(FileDialogService* service) { g_fileDialogs = service; }

std::optional<std::string> RunFileDialog(const FileDialogRequest& request) {
    if (!g_fileDialogs) return std::nullopt;
    return g_fileDialogs->Run(request);
}

HelpService* Help() { return g_help; }
void SetHelpService(HelpService* service) { g_help = service; }

bool OpenHelpTopic(int context) {
    if (g_help && g_help->Open(context)) return true;
    AfxMessageBox("Failed to launch help.");
    return false;
}

}  // namespace vokra

#pragma once
// The desktop implementations of the program's services: real message boxes, file dialogs and the
// HTML manual opened in the desktop's browser. The pure translation steps are exposed for tests.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog_service.h"
#include "platform/help_service.h"
#include "platform/message_service.h"
#include "platform/progress_service.h"

class QWidget;

namespace vokra {

// Message boxes titled "Vokra" with the requested buttons and icon, owned by the given widget or
// else by the main window.
class QtMessageService final : public MessageService {
public:
    // The owner used when a request names none (the main window); may be null.
    void SetDefaultOwner(QWidget* owner) { defaultOwner_ = owner; }
    int Show(const MessageRequest& request) override;

private:
    QWidget* defaultOwner_ = nullptr;
};

// The old filter syntax ("Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||") as Qt name filters
// ("Wave Files (*.wav)", "All Files (*)"). "*.*" means every file, as it did on the old platform.
QStringList TranslateFileFilter(const std::string& filter);
// "*.wav", ".wav" and "wav" all give "wav".
QString NormalizeDefaultExtension(const std::string& ext);
// Appends ".ext" when the file name of the path has no extension.
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

class QtFileDialogService final : public FileDialogService {
public:
    void SetDefaultOwner(QWidget* owner) { defaultOwner_ = owner; }
    std::optional<std::string> Run(const FileDialogRequest& request) override;

private:
    QWidget* defaultOwner_ = nullptr;
};

// Progress of a long task in a window-modal progress dialog with a Cancel button.
class QtProgressService final : public ProgressService {
public:
    void SetDefaultOwner(QWidget* owner) { defaultOwner_ = owner; }
    std::unique_ptr<ProgressTask> Begin(const std::string& label) override;

private:
    QWidget* defaultOwner_ = nullptr;
};

// The manual's folders to look in, relative to the program's folder: the installed layout
// (../share/vokra/manual) and the build tree (../docs).
std::vector<QString> ManualCandidates(const QString& programDir);
// The page to open for a help context: the manual with the anchor "ctx<context>".
QUrl HelpUrl(const QString& manualPath, int context);

// Writes a page into `folder` that forwards the browser to `target`, anchor included; its path, or
// empty when it could not be written. The page is always a new file readable only by the user:
// whatever lies under its name (a link someone planted) is removed, never written through.
QString WriteHelpRedirect(const QUrl& target, const QString& folder);

class QtHelpService final : public HelpService {
public:
    using Opener = std::function<bool(const QUrl&)>;
    // Looks for manual.html in `folders` in order; opens URLs with `opener` (the desktop's browser
    // by default).
    explicit QtHelpService(std::vector<QString> folders, Opener opener = {});
    bool Open(int context) override;
    std::string FailureDetail() const override { return failure_; }
    // The manual found, or empty.
    QString ManualPath() const;

    // The folder the forwarding pages go to: made fresh for this service, readable only by the
    // user, removed with the service. Empty until the first page.
    QString PageFolder() const;

private:
    std::vector<QString> folders_;
    Opener opener_;
    std::unique_ptr<QTemporaryDir> pages_;
    std::string failure_;  // what the last failed Open tried
};

}  // namespace vokra

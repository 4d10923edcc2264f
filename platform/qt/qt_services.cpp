#include "platform/qt/qt_services.h"

#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace vokra {
namespace {

QWidget* OwnerOf(void* requested, QWidget* fallback) {
    if (requested) return static_cast<QWidget*>(requested);
    if (fallback) return fallback;
    return QApplication::activeWindow();
}

QMessageBox::Icon QtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Stop:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int QtMessageService::Show(const MessageRequest& request) {
    QMessageBox box(QtIcon(request.icon), QStringLiteral("Vokra"),
                    QString::fromStdString(request.text), QMessageBox::NoButton,
                    OwnerOf(request.owner, defaultOwner_));
    // Texts carry file names, which must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    switch (request.buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    if (!request.acceptText.empty()) {
        QAbstractButton* accept = box.button(QMessageBox::Ok);
        if (!accept) accept = box.button(QMessageBox::Yes);
        if (accept) accept->setText(QString::fromStdString(request.acceptText));
    }
    if (QAbstractButton* no = box.button(QMessageBox::No); no && !request.noText.empty()) {
        no->setText(QString::fromStdString(request.noText));
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

QStringList TranslateFileFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty()) break;  // the "||" that ends the list
        QStringList globs = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& g : globs) {
            g = g.trimmed();
            if (g == QLatin1String("*.*")) g = QStringLiteral("*");
        }
        const QString joined = globs.join(QLatin1Char(' '));
        // Qt reads the patterns from the parentheses of the name: replace a shown pattern list,
        // or add one.
        const int open = name.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && name.endsWith(QLatin1Char(')'))) name = name.left(open).trimmed();
        out << QStringLiteral("%1 (%2)").arg(name, joined.isEmpty() ? QStringLiteral("*") : joined);
    }
    return out;
}

QString NormalizeDefaultExtension(const std::string& ext) {
    QString e = QString::fromStdString(ext).trimmed();
    while (e.startsWith(QLatin1Char('*')) || e.startsWith(QLatin1Char('.'))) e.remove(0, 1);
    return e;
}

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
    const QString e = NormalizeDefaultExtension(ext);
    if (e.isEmpty() || e.contains(QLatin1Char('*'))) return path;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart >= path.size()) return path;  // a folder, not a file name
    if (path.find('.', nameStart) != std::string::npos) return path;
    return path + "." + e.toStdString();
}

std::optional<std::string> QtFileDialogService::Run(const FileDialogRequest& request) {
    QFileDialog dialog(OwnerOf(nullptr, defaultOwner_));
    dialog.setWindowTitle(request.save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save) {
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QStringList filters = TranslateFileFilter(request.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(NormalizeDefaultExtension(request.defaultExt));
    const QString dir = request.initialDir.empty() ? QDir::currentPath()
                                                   : QString::fromStdString(request.initialDir);
    if (QFileInfo(dir).isDir()) dialog.setDirectory(dir);
    if (!request.initialName.empty())
        dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    const std::string chosen = QDir::cleanPath(files.first()).toStdString();
    if (!request.save) return chosen;
    // Some desktop dialogs ignore the default suffix; add it here, and then ask before replacing
    // a file the dialog could not have warned about.
    const std::string path = WithDefaultExtension(chosen, request.defaultExt);
    if (path != chosen && request.overwritePrompt &&
        QFileInfo::exists(QString::fromStdString(path))) {
        const std::string name = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
        MessageRequest ask{name + " already exists.\nDo you want to replace it?",
                           MsgButtons::YesNo,
                           MsgIcon::Exclamation,
                           OwnerOf(nullptr, defaultOwner_),
                           {},
                           {}};
        if (Messages().Show(ask) != IDYES) return std::nullopt;
    }
    return path;
}

std::vector<QString> ManualCandidates(const QString& programDir) {
    // Installed: the program's own data folder, which a system that leaves out /usr/share/doc
    // still installs. Built: the copy in the build tree.
    return {QDir::cleanPath(programDir + QStringLiteral("/../share/vokra/manual")),
            QDir::cleanPath(programDir + QStringLiteral("/../docs"))};
}

QUrl HelpUrl(const QString& manualPath, int context) {
    QUrl url = QUrl::fromLocalFile(manualPath);
    url.setFragment(QStringLiteral("ctx%1").arg(context));
    return url;
}

QtHelpService::QtHelpService(std::vector<QString> folders, Opener opener)
    : folders_(std::move(folders)), opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

QString QtHelpService::PageFolder() const {
    return pages_ ? pages_->path() : QString();
}

QString QtHelpService::ManualPath() const {
    for (const QString& folder : folders_) {
        const QString path = folder + QStringLiteral("/manual.html");
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

QString WriteHelpRedirect(const QUrl& target, const QString& folder) {
    if (!QDir().mkpath(folder)) return {};
    const QString path = folder + QStringLiteral("/%1.html").arg(target.fragment());
    // Removing first unlinks a planted link rather than its target; creating exclusively then
    // refuses anything that appears under the name in between.
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return {};
    }
    const QByteArray url = target.toEncoded();
    const QByteArray page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"refresh\" content=\"0; url=" +
        url + "\">\n<title>Vokra Help</title></head>\n<body><p><a href=\"" + url +
        "\">Vokra Help</a></p></body></html>\n";
    if (file.write(page) != page.size()) return {};
    return path;
}

bool QtHelpService::Open(int context) {
    failure_.clear();
    const QString manual = ManualPath();
    if (manual.isEmpty()) {
        failure_ = "The manual is in none of:";
        for (const QString& folder : folders_)
            failure_ += "\n     " + (folder + QStringLiteral("/manual.html")).toStdString();
        return false;
    }
    const QUrl target = HelpUrl(manual, context);
    // Desktop launchers often drop the anchor of a local file's URL; a small page that forwards to
    // the anchor survives them.
    if (!pages_) {
        // A fresh folder of our own: nobody else can place anything in it.
        pages_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                 QStringLiteral("/vokra-help-XXXXXX"));
        if (!pages_->isValid()) pages_.reset();
    }
    const QString redirect = pages_ ? WriteHelpRedirect(target, pages_->path()) : QString();
    if (opener_(redirect.isEmpty() ? target : QUrl::fromLocalFile(redirect))) return true;
    failure_ = "The desktop's browser did not open:\n     " + manual.toStdString();
    return false;
}

}  // namespace vokra

namespace vokra {
namespace {

// A modal progress dialog: setValue lets the event loop run, so the Cancel button is heard
// while the task works on the user-interface thread.
class QtProgressTask final : public ProgressTask {
public:
    QtProgressTask(const QString& label, QWidget* owner)
        : dialog_(label, QStringLiteral("Cancel"), 0, kSteps, owner) {
        dialog_.setWindowTitle(QStringLiteral("Vokra"));
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(300);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    bool Update(double fraction) override {
        if (!(fraction >= 0.0)) fraction = 0.0;
        if (fraction > 1.0) fraction = 1.0;
        const int value = static_cast<int>(fraction * kSteps);
        if (value != dialog_.value()) dialog_.setValue(value);
        QApplication::processEvents();
        return !dialog_.wasCanceled();
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
};

}  // namespace

std::unique_ptr<ProgressTask> QtProgressService::Begin(const std::string& label) {
    return std::make_unique<QtProgressTask>(QString::fromStdString(label),
                                            OwnerOf(nullptr, defaultOwner_));
}

}  // namespace vokra

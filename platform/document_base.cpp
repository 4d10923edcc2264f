#include "platform/document_base.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/file_dialog_service.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

constexpr const char* kFailedToOpen = "Failed to open document.";
constexpr const char* kUnexpectedFormat = "Unexpected file format.";
constexpr const char* kFailedToSave = "Failed to save document.";
// No document of ours comes near this; anything larger is not read into memory.
constexpr off_t kMaxDocumentBytes = off_t{1} << 30;

std::function<void(const std::string&)>& PathListener() {
    static std::function<void(const std::string&)> listener;
    return listener;
}

std::string Replace1(std::string text, const std::string& value) {
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

// Documents are known by their full path, as the recent-file list and the title need it.
std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

enum class ReadResult { Ok, CannotOpen, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    // Non-blocking so that a named pipe cannot hold the window waiting for a writer; what is not
    // a regular file (a pipe, a device, a folder) is turned away, as a folder is, before a byte
    // is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return ReadResult::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::CannotOpen;
    }
    if (st.st_size > kMaxDocumentBytes) {
        ::close(fd);
        return ReadResult::Failed;
    }
    ReadResult result = ReadResult::Ok;
    try {
        bytes.assign(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result = ReadResult::Failed;
                break;
            }
            if (n == 0) break;  // shrank while we read: take what is there
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    } catch (const std::bad_alloc&) {
        result = ReadResult::Failed;
    }
    ::close(fd);
    return result;
}

// The old platform's file dialogs made the chosen folder the current directory; the document
// remembers that folder as the last one used.
void EnterFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    if (!folder.empty()) (void)::chdir(folder.c_str());
}

bool OpenWithoutAsking(DocumentBase& doc, const std::string& path) {
    return doc.OnOpenDocument(path);
}

}  // namespace

void DocumentBase::SetPathName(const std::string& path) {
    path_ = FullPath(path);
    RememberDiskStamp();
    if (onStateChanged) onStateChanged();
}

std::string DocumentBase::GetTitle() const {
    if (path_.empty()) return "Untitled";
    const std::string name = NameOf(path_);
    return name.empty() ? path_ : name;
}

void DocumentBase::SetModifiedFlag(bool modified) {
    const bool changed = modified_ != modified;
    modified_ = modified;
    if (changed && onStateChanged) onStateChanged();
}

void DocumentBase::AddView(View* view) {
    if (view && std::find(views_.begin(), views_.end(), view) == views_.end()) {
        views_.push_back(view);
    }
}

void DocumentBase::RemoveView(View* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void DocumentBase::UpdateAllViews(View* sender, int hint) {
    // A copy: a view may add or remove views while it updates.
    const std::vector<View*> views = views_;
    for (View* view : views) {
        if (view != sender) view->OnUpdate(sender, hint);
    }
}

bool DocumentBase::OnNewDocument() {
    DeleteContents();
    path_.clear();
    diskStamp_ = {};
    modified_ = false;
    if (onStateChanged) onStateChanged();
    return true;
}

bool DocumentBase::OnOpenDocument(const std::string& path) {
    const std::string full = FullPath(path);
    // A save in place (a file with several hard links) stopped half-way left the old bytes
    // beside the file: they go back before the file is read, unless this open only reads.
    if (!full.empty()) {
        const KeepCheck keep = CheckInterruptedWrite(full, !onlyReads_);
        if (!keep.message.empty()) {
            AfxMessageBox(
                keep.message, MsgButtons::Ok,
                keep.state == KeepState::Restored ? MsgIcon::Information : MsgIcon::Exclamation);
        }
    }
    std::string bytes;
    switch (full.empty() ? ReadResult::CannotOpen : ReadWholeFile(full, bytes)) {
        case ReadResult::CannotOpen:
            // Nothing was read: the document on screen stays as it was.
            AfxMessageBox(
                Replace1("%1\nCannot find this file.\nPlease verify that the correct "
                         "path and file name are given.",
                         full.empty() ? path : full));
            return false;
        case ReadResult::Failed:
            AfxMessageBox(kFailedToOpen);
            return false;
        case ReadResult::Ok:
            break;
    }

    DeleteContents();
    // An empty file is not read at all: the document opens as reset, under that file's name.
    ArchiveError error = ArchiveError::None;
    if (!bytes.empty()) {
        Archive ar{std::string_view(bytes)};
        try {
            Serialize(ar);
            error = ar.Error();
        } catch (const std::bad_alloc&) {
            error = ArchiveError::Generic;
        }
    }
    if (error != ArchiveError::None) {
        AfxMessageBox(error == ArchiveError::EndOfFile ? kUnexpectedFormat : kFailedToOpen);
        // What was read so far is thrown away; the user is left with a new, untitled document.
        DeleteContents();
        path_.clear();
        modified_ = false;
        if (onStateChanged) onStateChanged();
        return false;
    }
    path_ = full;
    modified_ = false;
    RememberDiskStamp(bytes);
    if (onStateChanged) onStateChanged();
    if (PathListener()) PathListener()(full);
    return true;
}

namespace {

bool StampOf(const std::string& path, struct stat& st) {
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

void DocumentBase::RememberDiskStamp(std::string_view bytes) {
    diskStamp_ = {};
    struct stat st {};
    if (!StampOf(path_, st)) return;
    diskStamp_.device = st.st_dev;
    diskStamp_.inode = st.st_ino;
    diskStamp_.size = st.st_size;
    diskStamp_.modifiedNanos = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    diskStamp_.changedNanos = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
    // What this document read or wrote, when it is what the file holds now.
    diskStamp_.sum = static_cast<std::int64_t>(bytes.size()) == st.st_size ? Checksum(bytes) : 0;
    diskStamp_.summed = static_cast<std::int64_t>(bytes.size()) == st.st_size;
}

void DocumentBase::RememberDiskStamp() {
    std::string bytes;
    if (ReadWholeFile(path_, bytes) == ReadResult::Ok) {
        RememberDiskStamp(bytes);
    } else {
        RememberDiskStamp(std::string_view());
        diskStamp_.summed = false;
    }
}

bool DocumentBase::ChangedOnDisk() const {
    // A file gone since is no one's newer version: saving simply makes it again.
    struct stat st {};
    if (diskStamp_.size < 0 || !StampOf(path_, st)) return false;
    if (st.st_size != diskStamp_.size) return true;
    const std::int64_t modified = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    const std::int64_t changed = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
    // A copy with its size and time put back (cp -p, rsync -a, touch -r) still has another inode
    // or a new status-change time, which no tool can set. Then the bytes decide, so a new hard
    // link, a change of permissions or a touch alone is no reason to ask.
    if (st.st_dev == diskStamp_.device && st.st_ino == diskStamp_.inode &&
        modified == diskStamp_.modifiedNanos && changed == diskStamp_.changedNanos) {
        return false;
    }
    if (!diskStamp_.summed) return true;
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return true;
    return bytes.size() != static_cast<std::size_t>(diskStamp_.size) ||
           Checksum(bytes) != diskStamp_.sum;
}

bool DocumentBase::OnSaveDocument(const std::string& path) {
    const std::string full = FullPath(path);
    bool ok = !full.empty();
    std::string reason;
    std::string saved;
    if (ok) {
        try {
            Archive ar;
            Serialize(ar);
            ok = !ar.Failed() && WriteFileAtomically(full, ar.Bytes(), &reason);
            if (ok) saved = ar.Bytes();
        } catch (const std::bad_alloc&) {
            ok = false;
            reason = "There is not enough memory.";
        }
    }
    if (!ok) {
        // The framework's line first, then why, so the user knows what to mend.
        AfxMessageBox(reason.empty() ? std::string(kFailedToSave)
                                     : std::string(kFailedToSave) + "\n" + reason);
        return false;
    }
    path_ = full;
    modified_ = false;
    RememberDiskStamp(saved);
    if (onStateChanged) onStateChanged();
    if (PathListener()) PathListener()(full);
    return true;
}

// The document on screen chosen again: the framework brings it forward instead of asking to save
// and reading it back, which would silently throw away the changes.
bool IsTheOpenDocument(const DocumentBase& doc, const std::string& path) {
    const std::string& open = doc.GetPathName();
    if (open.empty() || path.empty()) return false;
    const std::string full = FullPath(path);
    if (full == open) return true;
    std::error_code ec;
    return std::filesystem::equivalent(full, open, ec) && !ec;
}

bool SaveModified(DocumentBase& doc, const DocumentFileType& type) {
    if (!doc.IsModified()) return true;
    const int answer = AfxMessageBox(Replace1("Save changes to %1?", doc.GetTitle()),
                                     MsgButtons::YesNoCancel, MsgIcon::Exclamation);
    if (answer == IDCANCEL) return false;
    if (answer == IDNO) return true;
    return FileSave(doc, type);
}

bool FileNew(DocumentBase& doc) {
    if (!SaveModified(doc)) return false;
    return doc.OnNewDocument();
}

bool FileOpen(DocumentBase& doc, const DocumentFileType& type) {
    FileDialogRequest request;
    request.save = false;
    request.filter = type.filter;
    request.defaultExt = type.defaultExt;
    request.fileMustExist = true;
    const auto chosen = RunFileDialog(request);
    if (!chosen) return false;
    EnterFolderOf(FullPath(*chosen));
    // As the framework does: the choice first, then the save prompt for the document it replaces.
    if (IsTheOpenDocument(doc, *chosen)) return true;
    if (!SaveModified(doc, type)) return false;
    return OpenWithoutAsking(doc, *chosen);
}

bool OpenDocumentFile(DocumentBase& doc, const std::string& path) {
    if (IsTheOpenDocument(doc, path)) return true;
    if (!SaveModified(doc)) return false;
    return OpenWithoutAsking(doc, path);
}

bool FileSave(DocumentBase& doc, const DocumentFileType& type) {
    // A document without a file, or whose file is read-only, is saved under a new name.
    if (doc.GetPathName().empty() || IsReadOnlyTarget(doc.GetPathName())) {
        return FileSaveAs(doc, type);
    }
    if (doc.ChangedOnDisk()) {
        // Saving now would silently throw away what the other copy saved.
        const int answer = AfxMessageBox(
            Replace1("%1 was changed by another program after it was opened or saved here.\n"
                     "Do you want to replace it with this version?\n\n"
                     "Yes: replace it.   No: save this version under another name.   "
                     "Cancel: do not save.",
                     doc.GetTitle()),
            MsgButtons::YesNoCancel, MsgIcon::Exclamation);
        if (answer == IDCANCEL) return false;
        if (answer == IDNO) return FileSaveAs(doc, type);
    }
    return doc.OnSaveDocument(doc.GetPathName());
}

bool FileSaveAs(DocumentBase& doc, const DocumentFileType& type) {
    FileDialogRequest request;
    request.save = true;
    request.filter = type.filter;
    request.defaultExt = type.defaultExt;
    request.overwritePrompt = true;
    if (doc.GetPathName().empty()) {
        request.initialName =
            doc.GetTitle() + (type.defaultExt.empty() ? "" : "." + type.defaultExt);
    } else {
        request.initialName = NameOf(doc.GetPathName());
        request.initialDir = FolderOf(doc.GetPathName());
    }
    const auto chosen = RunFileDialog(request);
    if (!chosen) return false;
    EnterFolderOf(FullPath(*chosen));
    return doc.OnSaveDocument(*chosen);
}

void SetDocumentPathListener(std::function<void(const std::string&)> listener) {
    PathListener() = std::move(listener);
}

}  // namespace vokra

#pragma once
// The few document/view framework behaviours the program relies on: a document with views,
// update hints, a modified flag and a path; New, Open, Save and Save As with the framework's
// prompts and messages; saving that never destroys the last good file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/archive.h"

namespace vokra {

class DocumentBase;

class View {
public:
    virtual ~View() = default;
    // Called by UpdateAllViews for every view but the sender.
    virtual void OnUpdate(View* sender, int hint) = 0;
};

class DocumentBase {
public:
    DocumentBase() = default;
    virtual ~DocumentBase() = default;
    DocumentBase(const DocumentBase&) = delete;
    DocumentBase& operator=(const DocumentBase&) = delete;

    // Path and title. The title is the file name of the path, or "Untitled".
    const std::string& GetPathName() const { return path_; }
    void SetPathName(const std::string& path);
    std::string GetTitle() const;

    bool IsModified() const { return modified_; }
    // Virtual so that a document can note what it holds when it becomes unmodified.
    virtual void SetModifiedFlag(bool modified = true);

    void AddView(View* view);
    void RemoveView(View* view);
    const std::vector<View*>& GetViews() const { return views_; }
    void UpdateAllViews(View* sender, int hint = 0);

    // Called whenever the title or the modified flag may have changed (the window title follows).
    std::function<void()> onStateChanged;

    // Framework hooks, as the old framework called them.
    virtual void DeleteContents() {}
    // DeleteContents, no path, not modified.
    virtual bool OnNewDocument();
    // DeleteContents, read the file through Serialize; on failure the framework's message, the
    // document reset again and false. The path is set on success.
    virtual bool OnOpenDocument(const std::string& path);
    // Serialize into memory and replace the file only when all of it is written;
    // "Failed to save document." and false on any failure (the old file is left as it was).
    virtual bool OnSaveDocument(const std::string& path);
    virtual void Serialize(Archive& ar) = 0;

    // True when the file at the document's path is no longer the one it last read or wrote:
    // another copy of the program, or another program, saved over it (even one that put the
    // file's size and time back as they were).
    bool ChangedOnDisk() const;

    // Opens that only read (vokra-cli info, export): a save stopped half-way is reported, never
    // put back, and nothing on disk is changed.
    void SetOpensOnlyToRead(bool onlyReads) { onlyReads_ = onlyReads; }

private:
    // Notes the file as this document now knows it: its identity, size and times, and a checksum
    // of `bytes`, what was read or written (the file itself is read for the plain overload).
    void RememberDiskStamp(std::string_view bytes);
    void RememberDiskStamp();

    struct DiskStamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t modifiedNanos = 0, changedNanos = 0;
        std::int64_t size = -1;  // -1: no file known
        std::uint64_t sum = 0;
        bool summed = false;  // the sum is of what the file held
    };
    DiskStamp diskStamp_;
    std::string path_;
    bool modified_ = false;
    bool onlyReads_ = false;
    std::vector<View*> views_;
};

// The framework's File commands for a single-document program.
struct DocumentFileType {
    std::string filter = "Vokra files (*.vok)|*.vok|All Files (*.*)|*.*||";
    std::string defaultExt = "vok";
};

// "Save changes to %1?" with Yes/No/Cancel when modified; false when the user cancelled or the
// save failed.
bool SaveModified(DocumentBase& doc, const DocumentFileType& type = {});
// True when `path` names the file the document was read from or saved to.
bool IsTheOpenDocument(const DocumentBase& doc, const std::string& path);
bool FileNew(DocumentBase& doc);
// Shows the open dialog, asks to save, opens. Returns true when a document was opened, or when
// the chosen file is the open document, which is then left as it is (changes included).
bool FileOpen(DocumentBase& doc, const DocumentFileType& type = {});
// Opens a given path (command line, recent files, a dropped file) after asking to save; the open
// document's own path leaves it as it is.
bool OpenDocumentFile(DocumentBase& doc, const std::string& path);
// Saves under the document's path; when another program changed that file since it was read or
// written here, asks first: replace it, save under another name, or cancel.
bool FileSave(DocumentBase& doc, const DocumentFileType& type = {});
bool FileSaveAs(DocumentBase& doc, const DocumentFileType& type = {});

// Called after every successful open or save with the document's path (the recent-file list).
void SetDocumentPathListener(std::function<void(const std::string&)> listener);

}  // namespace vokra

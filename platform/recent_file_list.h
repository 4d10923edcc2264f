#pragma once
// The File menu's list of recently used documents: four full paths, most recent first, kept in
// the settings file (section "Recent File List", keys "File1".."File4") and written the moment
// it changes.
#include <string>
#include <vector>

namespace vokra {

class DocumentBase;
class IniFile;

class RecentFileList {
public:
    static constexpr int kDefaultSize = 4;

    explicit RecentFileList(IniFile& ini, int size = kDefaultSize);

    // Reads the entries from the settings file (empty and repeated entries are skipped).
    void Load();
    // Writes every entry; slots without an entry lose their key.
    void Save();

    // Puts a path at the top, moving it there when it is already listed (paths compare
    // exactly); the oldest entry falls off the end. Saved at once.
    void Add(const std::string& path);
    // Removes the entry at an index (0 = most recent); saved at once.
    void Remove(int index);

    int GetCount() const { return static_cast<int>(entries_.size()); }
    int GetSize() const { return size_; }
    const std::vector<std::string>& Entries() const { return entries_; }
    std::string GetAt(int index) const;

private:
    IniFile& ini_;
    int size_;
    std::vector<std::string> entries_;
};

// Opens the entry at `index` after asking to save the current document. An entry that cannot be
// opened (moved, deleted, unreadable) is dropped from the list; a cancelled save prompt keeps it.
bool OpenRecentFile(DocumentBase& doc, RecentFileList& list, int index);

}  // namespace vokra

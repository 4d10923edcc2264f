#include "platform/recent_file_list.h"

#include <algorithm>

#include "platform/document_base.h"
#include "platform/ini_file.h"

namespace vokra {
namespace {

constexpr const char* kSection = "Recent File List";

std::string KeyOf(int index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

RecentFileList::RecentFileList(IniFile& ini, int size) : ini_(ini), size_(size < 1 ? 1 : size) {}

void RecentFileList::Load() {
    entries_.clear();
    for (int i = 0; i < size_; ++i) {
        std::string path = ini_.GetString(kSection, KeyOf(i));
        if (path.empty()) continue;
        if (std::find(entries_.begin(), entries_.end(), path) != entries_.end()) continue;
        entries_.push_back(std::move(path));
    }
}

void RecentFileList::Save() {
    // Only what changed is written: each write replaces the whole settings file.
    for (int i = 0; i < size_; ++i) {
        const std::string stored = ini_.GetString(kSection, KeyOf(i));
        if (i < GetCount()) {
            const std::string& path = entries_[static_cast<std::size_t>(i)];
            if (stored != path) ini_.WriteString(kSection, KeyOf(i), path);
        } else if (!stored.empty()) {
            ini_.DeleteKey(kSection, KeyOf(i));
        }
    }
}

void RecentFileList::Add(const std::string& path) {
    if (path.empty()) return;
    entries_.erase(std::remove(entries_.begin(), entries_.end(), path), entries_.end());
    entries_.insert(entries_.begin(), path);
    if (GetCount() > size_) entries_.resize(static_cast<std::size_t>(size_));
    Save();
}

void RecentFileList::Remove(int index) {
    if (index < 0 || index >= GetCount()) return;
    entries_.erase(entries_.begin() + index);
    Save();
}

std::string RecentFileList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return {};
    return entries_[static_cast<std::size_t>(index)];
}

bool OpenRecentFile(DocumentBase& doc, RecentFileList& list, int index) {
    const std::string path = list.GetAt(index);
    if (path.empty()) return false;
    if (IsTheOpenDocument(doc, path)) return true;
    if (!SaveModified(doc)) return false;
    if (doc.OnOpenDocument(path)) return true;
    // The entry may have moved while the prompt was up; remove it by name.
    const auto& entries = list.Entries();
    const auto it = std::find(entries.begin(), entries.end(), path);
    if (it != entries.end()) list.Remove(static_cast<int>(it - entries.begin()));
    return false;
}

}  // namespace vokra

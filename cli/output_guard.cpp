#include "cli/output_guard.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "platform/atomic_file.h"

namespace vokra {
namespace {

// Where a write to a name not made yet lands: the folder it is created in, known by device and
// inode, and the name inside it.
struct Place {
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
    std::string name;
    bool operator==(const Place&) const = default;
};

std::optional<Place> PlaceOf(const std::string& path) {
    // A symbolic link is written through: its target is the place.
    const std::string target = ResolveWriteTarget(path);
    const auto slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    // The folder as written: the kernel resolves its `..` and links as the write will.
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return Place{st.st_dev, st.st_ino, name};
}

// The place as text, for a folder that is not there (the write will fail on it anyway).
std::string SpelledPlace(const std::string& path) {
    std::error_code ec;
    const auto full = std::filesystem::weakly_canonical(
        std::filesystem::absolute(ResolveWriteTarget(path), ec), ec);
    return ec ? path : full.string();
}

// The names a write to `path` may land on: the path as the kernel resolves it (`..` after a
// linked folder leads out of the link's target), and, when it holds `..`, as the document's
// writers spell it (absolute and lexically normal: `..` taken before any link).
std::vector<std::string> WriteNames(const std::string& path) {
    std::vector<std::string> names{path};
    const std::filesystem::path p(path);
    if (std::find(p.begin(), p.end(), "..") == p.end()) return names;
    std::error_code ec;
    const auto full = std::filesystem::absolute(p, ec);
    if (!ec) names.push_back(full.lexically_normal().string());
    return names;
}

bool NameOnePlace(const std::string& a, const std::string& b) {
    if (IsSameFile(a, b)) return true;
    const std::optional<Place> pa = PlaceOf(a);
    const std::optional<Place> pb = PlaceOf(b);
    if (pa && pb) return *pa == *pb;
    return SpelledPlace(a) == SpelledPlace(b);
}

std::string Capitalised(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool NameOneFile(const std::string& a, const std::string& b) {
    for (const std::string& x : WriteNames(a)) {
        for (const std::string& y : WriteNames(b)) {
            if (NameOnePlace(x, y)) return true;
        }
    }
    return false;
}

bool WritesOver(const std::string& output, const std::string& input) {
    for (const std::string& name : WriteNames(output)) {
        if (IsSameFile(name, input)) return true;
    }
    return false;
}

FileClash FindFileClash(const std::vector<GuardedFile>& inputs,
                        const std::vector<GuardedFile>& outputs) {
    FileClash clash;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            const GuardedFile& a = outputs[i];
            const GuardedFile& b = outputs[j];
            if (a.path.empty() || b.path.empty() || !NameOneFile(a.path, b.path)) continue;
            clash.kind = FileClash::Kind::OutputsMeet;
            clash.reason = a.name + " and " + b.name + " name one file: " + b.path;
            return clash;
        }
    }
    for (const GuardedFile& out : outputs) {
        for (const GuardedFile& in : inputs) {
            if (out.path.empty() || in.path.empty() || !WritesOver(out.path, in.path)) continue;
            clash.kind = FileClash::Kind::OutputIsInput;
            clash.reason = Capitalised(out.name) + " cannot replace " + in.name +
                           " itself: " + out.path + " (nothing was written)";
            return clash;
        }
    }
    return clash;
}

int RefuseFileClash(const std::vector<GuardedFile>& inputs, const std::vector<GuardedFile>& outputs,
                    std::ostream& err) {
    const FileClash clash = FindFileClash(inputs, outputs);
    switch (clash.kind) {
        case FileClash::Kind::None:
            return 0;
        case FileClash::Kind::OutputsMeet:
            return UsageError(err, clash.reason);
        case FileClash::Kind::OutputIsInput:
            err << "vokra-cli: " << clash.reason << "\n";
            return kCliFileError;
    }
    return kCliFileError;
}

}  // namespace vokra

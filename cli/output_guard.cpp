#include "cli/output_guard.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/atomic_file.h"

namespace vokra {

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool NameOneFile(const std::string& a, const std::string& b) {
    if (IsSameFile(a, b)) return true;
    const auto place = [](const std::string& path) {
        std::error_code ec;
        const auto full = std::filesystem::weakly_canonical(
            std::filesystem::absolute(ResolveWriteTarget(path), ec), ec);
        return ec ? path : full.string();
    };
    return place(a) == place(b);
}

}  // namespace vokra

#include "sound/import/sound_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <set>

#include "sound/import/sndfile_access.h"

namespace vokra {

using import_detail::NameOf;

std::string NotASoundReason(const std::string& path, const std::string& expected) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const std::string name = NameOf(path);
    const std::string tail = ", not " + expected + ".";
    if (S_ISDIR(st.st_mode)) return name + " is a folder" + tail;
    if (S_ISFIFO(st.st_mode)) return name + " is a named pipe" + tail;
    if (S_ISSOCK(st.st_mode)) return name + " is a socket" + tail;
    if (!S_ISREG(st.st_mode)) return name + " is a device" + tail;
    if (st.st_size == 0) return name + " is empty: it holds no sound.";
    return {};
}

bool IsNotARegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool HasSoundExtension(const std::string& path) {
    const std::string name = NameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string patterns = ReadableSoundPatterns() + ";";
    return patterns.find("*." + extension + ";") != std::string::npos;
}

bool LooksLikeSound(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    unsigned char head[12] = {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // An empty file named as a sound is a sound that holds nothing, not an empty document.
    const bool emptySound = regular && st.st_size == 0 && HasSoundExtension(path);
    const bool riffWave = regular && ::pread(fd, head, sizeof head, 0) == sizeof head &&
                          std::memcmp(head, "RIFF", 4) == 0 &&
                          std::memcmp(head + 8, "WAVE", 4) == 0;
    ::close(fd);
    if (!regular) return false;
    if (riffWave || emptySound) return true;
    // The header alone: cheap, for telling a sound from a document.
    SF_INFO sf{};
    const import_detail::SndHandle file = import_detail::OpenPath(path, sf);
    return file && import_detail::Usable(sf);
}

std::string ReadableSoundPatterns() {
    std::set<std::string> extensions{"wav", "aif", "aiff", "flac", "ogg", "oga", "opus", "mp3"};
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count && i < 256; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        // Raw files have no header to say what they hold.
        if (!info.extension || (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) continue;
        extensions.insert(info.extension);
    }
    std::string patterns = "*.wav";
    for (const std::string& e : extensions) {
        if (e != "wav") patterns += ";*." + e;
    }
    return patterns;
}

}  // namespace vokra

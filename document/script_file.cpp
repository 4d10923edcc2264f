#include "document/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "document/key_edit.h"
#include "shapes/script_phonemes.h"

namespace vokra {

ScriptFileResult ReadScriptFile(const std::string& path) {
    ScriptFileResult r;
    const std::string head = "Could not read the script " + path + ": ";
    // Non-blocking, so that a named pipe cannot hold the program; checked as a regular file
    // before a byte is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.error = head + std::strerror(errno) + ".";
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.error = head + (S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file") +
                  ", not a text file.";
        return r;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxScriptBytes) {
        ::close(fd);
        r.error = head + "it is larger than " + GroupedNumber(kMaxScriptBytes) +
                  " bytes; a script for one recording is far shorter.";
        return r;
    }
    // The size may change under us: never more than the limit is read.
    std::string bytes(kMaxScriptBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.error = head + std::strerror(errno) + ".";
            ::close(fd);
            return r;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > kMaxScriptBytes) {
        r.error = head + "it is larger than " + GroupedNumber(kMaxScriptBytes) +
                  " bytes; a script for one recording is far shorter.";
        return r;
    }
    bytes.resize(got);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (const std::string why = ScriptTextProblem(bytes); !why.empty()) {
        r.error = head + why + ".";
        return r;
    }
    r.text = std::move(bytes);
    return r;
}

}  // namespace vokra

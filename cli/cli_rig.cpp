// vokra-cli's engine and rig formats, shared by export, autokey and shapes: the mouths written in
// the chosen format to -o OUT (replaced only once complete) or to standard output, and for
// spine-json --into SKELETON.json a copy of that skeleton with the animation added (the skeleton
// itself is never an output).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "platform/atomic_file.h"

namespace vokra {
namespace {

// Skeletons of large rigs run to a few megabytes.
constexpr off_t kMaxSkeletonBytes = 64 << 20;

// The skeleton's text; a pipe, device or folder is refused before a byte is read, so it cannot
// block the run waiting for a writer.
bool ReadSkeleton(const std::string& path, std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = "cannot open the skeleton " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "the skeleton " + path + " is not a regular file";
        return false;
    }
    if (st.st_size > kMaxSkeletonBytes) {
        ::close(fd);
        error = "the skeleton " + path + " is larger than 64 MB";
        return false;
    }
    text.assign(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return true;
}

bool WriteOut(const std::string& path, const std::string& text, std::ostream& out,
              std::ostream& err) {
    if (path.empty()) {
        if (out.write(text.data(), static_cast<std::streamsize>(text.size())) && out.flush()) {
            return true;
        }
        err << "vokra-cli: could not write to standard output\n";
        return false;
    }
    AtomicFile file(path);
    if (!file.Open() || !file.Write(text) || !file.Commit()) {
        err << "vokra-cli: could not write " << path << ": " << file.ErrorText() << "\n";
        file.Discard();
        return false;
    }
    return true;
}

}  // namespace

int WriteRigOutput(RigFormat format, const RigMouths& mouths, const CliOptions& o,
                   std::ostream& out, std::ostream& err) {
    if (const std::string why = RigExportProblem(format, mouths); !why.empty()) {
        err << "vokra-cli: cannot write " << RigFormatInfo(format).name << ": " << why << "\n";
        return kCliFileError;
    }
    std::string text;
    if (!o.intoPath.empty()) {
        if (!o.outputPath.empty() && NameOneFile(o.outputPath, o.intoPath)) {
            return UsageError(err, "the output " + o.outputPath +
                                       " is the skeleton --into reads; the copy needs a name "
                                       "of its own");
        }
        std::string skeleton;
        std::string error;
        if (!ReadSkeleton(o.intoPath, skeleton, error)) {
            err << "vokra-cli: " << error << "\n";
            return kCliFileError;
        }
        SpineMerge merged = MergeSpineAnimation(skeleton, mouths, o.rig);
        if (!merged.error.empty()) {
            err << "vokra-cli: " << o.intoPath << ": " << merged.error << "\n";
            return kCliFileError;
        }
        text = std::move(merged.text);
    } else {
        std::ostringstream stream;
        WriteRig(format, mouths, o.rig, stream);
        text = std::move(stream).str();
    }
    return WriteOut(o.outputPath, text, out, err) ? kCliOk : kCliFileError;
}

}  // namespace vokra

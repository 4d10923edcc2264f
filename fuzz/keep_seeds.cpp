// Writes seed keep files for the keep file's fuzzer into the folder given: old and new bytes of a
// few sizes around the 4 KiB block, an empty old file.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/keep_file.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    struct Seed {
        std::size_t oldSize, newSize;
    };
    const Seed seeds[] = {{0, 10}, {100, 50}, {4096, 4097}, {5000, 100}};
    int n = 0;
    for (const Seed& s : seeds) {
        struct stat st {};
        st.st_dev = 2049;
        st.st_ino = 1234567 + n;
        st.st_mtim.tv_sec = 1700000000;
        const std::string old(s.oldSize, 'o');
        const std::string pending(s.newSize, 'n');
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(n++);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 1;
        const std::string bytes = vokra::MakeKeepFile(st, old, pending);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return 0;
}

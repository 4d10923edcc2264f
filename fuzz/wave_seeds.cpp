// Writes the loader's seed files (one per path through it) into the folder given.
#include <cstdio>

#include "tests/support/wav_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& seed : vokra::test::WaveSeeds()) {
        vokra::test::WriteFile(std::string(argv[1]) + "/" + seed.name + ".wav", seed.bytes);
    }
    return 0;
}

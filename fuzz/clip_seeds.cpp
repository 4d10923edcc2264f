// Writes seed clipboard texts for the key-clipboard readers' fuzzer into the folder given.
#include <cstdio>
#include <string>

#include "tests/support/wav_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    vokra::test::WriteFile(dir + "/text.txt", "0\t0.2\n3\t0.5\n6\t0.8\n");
    vokra::test::WriteFile(dir + "/sheet.csv", "4;0.5\r\n\r\n1,+0.25\r\n4 1e-3\r\n");
    vokra::test::WriteFile(dir + "/own.keys", "VOKRA-KEYS 1\n12\n0\t1\n11\t0.4371\n");
    vokra::test::WriteFile(dir + "/own-empty.keys", "VOKRA-KEYS 1\n5\n");
    return 0;
}

// Writes seed documents for the document reader's fuzzer into the folder given: one per kind of
// field the reader meets (keys, custom preset, each string prefix size).
#include <cstdio>
#include <string>

#include "platform/archive.h"
#include "tests/support/wav_builder.h"

namespace {

std::string U32(std::uint32_t v) {
    std::string b;
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

// The tagged section after the last string: shapes as runs, hand-made keys as runs, an unknown
// record the reader skips.
std::string Section() {
    std::string shapes = U32(0) + U32(3) + '\1' + '\0' + U32(5) + U32(2) + '\6' + '\1';
    std::string hand = U32(1) + U32(2);
    return "VKX1" + std::string("SHPS") + U32(static_cast<std::uint32_t>(shapes.size())) + shapes +
           "HAND" + U32(static_cast<std::uint32_t>(hand.size())) + hand + "NEXT" + U32(2) + "??";
}

std::string Doc(double rate, int preset, double custom, int keys, const std::string& s) {
    vokra::Archive ar;
    ar.WriteString("Vokra version 1 Copyright 1998 Quorvendale");
    ar.WriteDouble(rate);
    ar.WriteInt32(preset);
    ar.WriteDouble(custom);
    ar.WriteInt32(keys);
    for (int i = 0; i < keys; ++i) {
        ar.WriteInt32(1);
        ar.WriteInt32((i * 7) % 23);
        ar.WriteFloat(static_cast<float>(i % 5) / 2.0f);
    }
    ar.WriteString(s);
    ar.WriteString("voice.wav");
    ar.WriteString("/env");
    ar.WriteString("lips.env");
    return ar.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    vokra::test::WriteFile(dir + "/new.vok", Doc(15.0, 7, 15.0, 0, ""));
    vokra::test::WriteFile(dir + "/keys.vok", Doc(24.0, 8, 15.0, 12, "/sounds"));
    vokra::test::WriteFile(dir + "/custom.vok", Doc(23.976, 0, 23.976, 3, "/s"));
    vokra::test::WriteFile(dir + "/folder300.vok", Doc(15.0, 7, 15.0, 1, std::string(300, 'f')));
    vokra::test::WriteFile(dir + "/section.vok", Doc(24.0, 8, 15.0, 12, "/s") + Section());
    vokra::test::WriteFile(dir + "/folder70000.vok",
                           Doc(30.0, 11, 15.0, 2, std::string(70000, 'g')));
    return 0;
}

// Writes seed settings files for the settings-file reader's fuzzer into the folder given.
#include <cstdio>
#include <string>

#include "tests/support/wav_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    vokra::test::WriteFile(dir + "/settings.ini",
                           "[SETTINGS]\nSECONDS=1\nFPS_TYPE=0\nFPS_CUSTOM=23976\n\n"
                           "[DIRECTORIES]\nVOKRADIR=/home/me\nWAVEDIR=/home/me/voices\n"
                           "ENVDIR=/home/me/out\n\n[Recent File List]\nFile1=/a.vok\n");
    vokra::test::WriteFile(dir + "/crlf.ini",
                           "; comment\r\n[directories]\r\n wavedir = \"/x y\" \r\n[settings]");
    vokra::test::WriteFile(dir + "/odd.ini", "[\n]\n=\n[DIRECTORIES\nWAVEDIR\n;x=y\n#z\nk=v=w");
    return 0;
}

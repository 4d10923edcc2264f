// Writes seed records for the script record's fuzzer into the folder given: a script in a few
// scripts and languages, a variant voice, an empty text.
#include <cstdio>
#include <string>

#include "document/script_record.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const vokra::DocumentScript seeds[] = {
        {"Hello there.\nGood day.", "en-us"},
        {"Grüße aus Köln.", "de+m3"},
        {"मेरा नाम राम है।", "hi"},
        {"", "fr"},
    };
    int n = 0;
    for (const auto& s : seeds) {
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(n++);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 1;
        const std::string bytes = vokra::WriteScriptRecord(s);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return 0;
}

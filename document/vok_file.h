#pragma once
// The document file (*.vok): a header text, the frame-rate settings, the keys and the locations
// of the sound and of the last envelope file, in the archive's little-endian form. Reading
// refuses what this program never writes (a wrong header, a truncated file, a key count the file
// cannot hold, a frame rate that is not a number between 1 and 100, an unknown preset) without
// allocating for it. Shapes and hand-made marks follow in a tagged section (see vok_section.h).
#include <string_view>

#include "platform/archive.h"

namespace vokra {

class CVokraDoc;

class VokFile {
public:
    static constexpr std::string_view kHeader = "Vokra version 1 Copyright 1998 Quorvendale";
    static constexpr std::string_view kNotAVokraDocument =
        "File contents are not a valid Vokra document.";
    // Bytes of one key record: kind, frame, opening.
    static constexpr int kKeyRecordSize = 12;

    static void Write(const CVokraDoc& doc, Archive& ar);
    // Reads into a document the framework has just reset. A wrong header is reported here and
    // fails the archive as Generic; everything else that is wrong fails it as EndOfFile.
    static void Read(CVokraDoc& doc, Archive& ar);
};

}  // namespace vokra

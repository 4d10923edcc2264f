#pragma once
// One way in for a recording: any path the user gives is checked for being a sound at all, loaded
// as it is when the exact loader takes it, else converted by the rule (in memory, or to a copy
// under a free name in a folder the caller names) and the result loaded. What the user must be
// told comes back in the order it happened, for the caller to show its own way.
#include <cstdint>
#include <string>
#include <vector>

#include "sound/import/convert.h"
#include "sound/import/sound_length.h"

namespace vokra {

class SoundData;

// Something the user must be told about a recording: a refusal (shown as the program's message
// for a failure) or a note (a line of the log).
struct RecordingMessage {
    enum class Kind { Refusal, Note };
    Kind kind = Kind::Note;
    std::string text;
    bool operator==(const RecordingMessage&) const = default;
};

struct RecordingRequest {
    // The folder the converted copy is written to as "<stem>-vokra.wav" (or the next free
    // "-2", "-3" ...); empty: a conversion stays in memory.
    std::string copyFolder;
};

struct RecordingLoad {
    bool loaded = false;
    // The file the loaded sound is: the recording itself or its copy; empty when it was converted
    // in memory.
    std::string soundPath;
    // The exact loader's code for the recording as it is (0: it loaded unchanged; -1: it is no
    // sound at all and was not tried).
    std::int32_t loaderCode = -1;
    bool converted = false;
    SoundFileInfo convertedFrom;             // what the recording was, when it was converted
    std::int32_t convertedRate = 0;          // the rate it was converted to
    std::string endsEarly;                   // the notice of a recording that ends early, or empty
    std::string wantedCopy;                  // the copy's name in the folder asked for
    std::string copyPath;                    // the name it took: wantedCopy or the next free one
    bool copyKept = false;                   // that name already held this copy
    std::vector<RecordingMessage> messages;  // all the user must be told, in order
};

// Loads the recording at `path` into `sound` (which holds nothing unless `loaded`).
RecordingLoad LoadRecording(const std::string& path, SoundData& sound,
                            const RecordingRequest& request = {});

// Why a conversion of `name` did not happen, in order. `refusal`, the exact loader's reason
// (empty when it was not asked), comes first when the converter refuses the file too; it stands
// alone where libsndfile cannot read the file.
std::vector<RecordingMessage> ImportFailureMessages(const ImportResult& result,
                                                    const std::string& name,
                                                    const std::string& refusal);

}  // namespace vokra

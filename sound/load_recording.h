#pragma once
// One way in for a recording: any path the user gives is checked for being a sound at all, loaded
// as it is when the exact loader takes it, else converted by the rule (in memory, or to a copy
// under a free name in a folder the caller names, or under the name the caller's offer returns)
// and the result loaded. What the user must be told comes back in the order it happened, with
// the outcome and its facts, for the caller to show its own way.
#include <cstdint>
#include <functional>
#include <optional>
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

// A recording the loader refuses as it is but a conversion would cure, measured to its end.
struct RecordingOffer {
    std::string path;
    SoundFileInfo info;
    std::int32_t rate = 0;  // the rate its copy would get
    std::string refusal;    // the exact loader's reason for the recording as it is
};

struct RecordingRequest {
    // The folder the converted copy is written to as "<stem>-vokra.wav" (or the next free
    // "-2", "-3" ...); empty: a conversion stays in memory.
    std::string copyFolder;
    // When set, asked before anything is converted, once the recording has been measured to its
    // end and found neither too long nor too short: the path its copy is written to (whatever is
    // there is replaced; the caller asked), or nothing to leave everything as it was. It takes
    // the place of copyFolder.
    std::function<std::optional<std::string>(const RecordingOffer&)> offer;
    // When set, called as the conversion begins with the recording's name; what it returns is
    // told the fraction done (false cancels) and is let go as soon as the conversion ends.
    std::function<std::function<bool(double)>(const std::string& name)> progress;
};

enum class RecordingStatus {
    Loaded,           // as it is, or its converted copy
    NotASound,        // a folder, a pipe, a device or an empty file
    Refused,          // the loader refuses it and no conversion can cure it
    TooLong,          // measured for an offer: no loadable rate holds it
    TooShort,         // measured for an offer: nothing a conversion makes would load
    Declined,         // the offer returned nothing
    CopyIsRecording,  // the offer named the recording itself for its copy
    Cancelled,        // the progress said stop
    NotConverted,     // the converter refused it (importStatus, importMessage)
    CopyNotWritten,   // the copy could not be written
    CopyRefused,      // the copy was made but does not load
};

struct RecordingLoad {
    bool loaded = false;
    RecordingStatus status = RecordingStatus::Refused;
    // The file the loaded sound is: the recording itself or its copy; empty when it was converted
    // in memory.
    std::string soundPath;
    // The exact loader's code for the recording as it is (0: it loaded unchanged; -1: it is no
    // sound at all and was not tried).
    std::int32_t loaderCode = -1;
    std::string loaderRefusal;  // the exact loader's reason for the recording as it is
    // What the recording is, when it was measured or converted.
    SoundFileInfo info;
    ImportStatus importStatus = ImportStatus::Ok;  // the converter's, when it was asked
    std::string importMessage;                     // and its message
    bool converted = false;
    std::int32_t convertedRate = 0;  // the rate it was converted to
    std::string endsEarly;           // the notice of a recording that ends early, or empty
    std::string wantedCopy;          // the copy's name in the folder asked for
    // The name the copy took: wantedCopy or the next free one, or the offer's answer.
    std::string copyPath;
    bool copyKept = false;  // that name already held this copy
    // All the user must be told, in order. An outcome only the caller's hooks lead to (declined,
    // the copy named the recording, cancelled) adds nothing: the caller words it.
    std::vector<RecordingMessage> messages;
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

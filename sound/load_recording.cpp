#include "sound/load_recording.h"

#include "sound/import/copy_name.h"
#include "sound/import/messages.h"
#include "sound/import/rate_rule.h"
#include "sound/import/sound_paths.h"
#include "sound/import/wave_bytes.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr const char* kTooShortForConverter = "sound data is too short.";

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

RecordingMessage Refusal(std::string text) {
    return {RecordingMessage::Kind::Refusal, std::move(text)};
}

RecordingMessage Note(std::string text) {
    return {RecordingMessage::Kind::Note, std::move(text)};
}

// Writes the copy in the folder asked for and loads it; false (with the reason told) when it
// cannot.
bool LoadFromCopy(RecordingLoad& load, const std::string& name, const std::string& bytes,
                  const std::string& folder, SoundData& sound) {
    load.wantedCopy = folder + "/" + NameOf(ConvertedCopyPath(name));
    // A file of that name that this call did not make (another take's copy, anything else) is
    // left alone: the copy takes the next free name instead.
    std::string error;
    const auto copy = ClaimConvertedCopy(load.wantedCopy, bytes, load.copyKept, error);
    if (!copy) {
        load.messages.push_back(Refusal(error));
        return false;
    }
    load.copyPath = *copy;
    load.messages.push_back(Note("converted " + name + " (" + load.convertedFrom.Describe() +
                                 ") to " + load.copyPath + " (" +
                                 std::to_string(load.convertedRate) + " Hz mono 16-bit PCM)"));
    if (load.copyPath != load.wantedCopy) {
        load.messages.push_back(Note(load.wantedCopy +
                                     " is another file and was left alone; the document uses " +
                                     load.copyPath));
    } else if (load.copyKept) {
        load.messages.push_back(Note(load.copyPath + " already held this copy and was kept"));
    }
    std::string refusal;
    if (sound.Load(load.copyPath, refusal) != 0) {
        load.messages.push_back(Refusal(refusal));
        return false;
    }
    load.soundPath = load.copyPath;
    return true;
}

}  // namespace

std::vector<RecordingMessage> ImportFailureMessages(const ImportResult& result,
                                                    const std::string& name,
                                                    const std::string& refusal) {
    std::vector<RecordingMessage> messages;
    // Neither the loader nor the converter takes it: the loader's exact reason first (a header
    // that lies about its data), then the converter's.
    if (result.status != ImportStatus::Unreadable && !refusal.empty() &&
        refusal != kTooShortForConverter) {
        messages.push_back(Refusal(refusal));
    }
    switch (result.status) {
        case ImportStatus::Unreadable:
            messages.push_back(Refusal(refusal));
            break;
        case ImportStatus::TooShort:
            // What the file is, and that it is too short.
            messages.push_back(Note(name + ": " + result.info.Describe()));
            messages.push_back(Refusal(kTooShortForConverter));
            break;
        default:
            messages.push_back(Note(name + ": " + result.info.Describe()));
            messages.push_back(Note(result.message));
            break;
    }
    return messages;
}

RecordingLoad LoadRecording(const std::string& path, SoundData& sound,
                            const RecordingRequest& request) {
    RecordingLoad load;
    sound.Unload();
    // A folder, a pipe, a device or an empty file is no sound at all: said for what it is.
    if (std::string reason = NotASoundReason(path); !reason.empty()) {
        load.messages.push_back(Refusal(std::move(reason)));
        return load;
    }
    std::string refusal;
    load.loaderCode = sound.Load(path, refusal);
    if (load.loaderCode == 0) {
        load.loaded = true;
        load.soundPath = path;
        return load;
    }
    if (!IsConvertibleRefusal(load.loaderCode)) {
        load.messages.push_back(Refusal(refusal));
        return load;
    }

    // Refused for its format or size: converted by the rule of the program's Convert button.
    const std::string name = NameOf(path);
    const ImportResult result = ImportSound(path);
    if (!result.ok()) {
        load.messages = ImportFailureMessages(result, name, refusal);
        return load;
    }
    load.converted = true;
    load.convertedFrom = result.info;
    load.convertedRate = result.rate;
    load.endsEarly = EndsEarlyNotice(name, result.info);
    if (!load.endsEarly.empty()) load.messages.push_back(Note(load.endsEarly));
    const std::string bytes = MakeWaveBytes(result.samples, result.rate);
    if (!request.copyFolder.empty()) {
        load.loaded = LoadFromCopy(load, name, bytes, request.copyFolder, sound);
        return load;
    }
    std::string memoryRefusal;
    load.loaded = sound.LoadMemory(bytes.data(), bytes.size(), memoryRefusal) == 0;
    if (!load.loaded) load.messages.push_back(Refusal(memoryRefusal));
    return load;
}

}  // namespace vokra

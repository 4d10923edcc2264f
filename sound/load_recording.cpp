#include "sound/load_recording.h"

#include <filesystem>

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

// Loads the copy just written.
bool LoadCopy(RecordingLoad& load, SoundData& sound) {
    std::string refusal;
    if (sound.Load(load.copyPath, refusal) != 0) {
        load.status = RecordingStatus::CopyRefused;
        load.messages.push_back(Refusal(refusal));
        return false;
    }
    load.status = RecordingStatus::Loaded;
    load.soundPath = load.copyPath;
    return true;
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
        load.status = RecordingStatus::CopyNotWritten;
        load.messages.push_back(Refusal(error));
        return false;
    }
    load.copyPath = *copy;
    load.messages.push_back(Note("converted " + name + " (" + load.info.Describe() + ") to " +
                                 load.copyPath + " (" + std::to_string(load.convertedRate) +
                                 " Hz mono 16-bit PCM)"));
    if (load.copyPath != load.wantedCopy) {
        load.messages.push_back(Note(load.wantedCopy +
                                     " is another file and was left alone; the document uses " +
                                     load.copyPath));
    } else if (load.copyKept) {
        load.messages.push_back(Note(load.copyPath + " already held this copy and was kept"));
    }
    return LoadCopy(load, sound);
}

// The measure an offer is made on: read to its end as the converter would read it, so that a
// header promising more than the file holds never earns an offer the conversion cannot keep.
// False, with the outcome said, when there is nothing to offer.
bool MeasureForOffer(RecordingLoad& load, const std::string& path, const std::string& name,
                     RatePlan& plan) {
    if (!MeasureSound(path, load.info)) {
        load.messages.push_back(Refusal(load.loaderRefusal));
        return false;
    }
    const SoundFileInfo& info = load.info;
    const std::int64_t frames = info.EndsEarly() ? info.readableFrames : info.frames;
    plan = PlanImportRate(info.sampleRate, frames);
    ImportResult unfit;
    unfit.info = info;
    if (!plan.fits || info.longerThanFrames) {
        load.status = RecordingStatus::TooLong;
        unfit.status = ImportStatus::TooLong;
        unfit.message = TooLongForImport(name, info);
    } else if (frames == 0 || IsTooShortForLoader(plan.samples, plan.rate)) {
        load.status = RecordingStatus::TooShort;
        unfit.status = ImportStatus::TooShort;
    } else {
        return true;
    }
    load.messages = ImportFailureMessages(unfit, name, load.loaderRefusal);
    return false;
}

// Writes the copy where the offer said, replacing what is there, and loads it.
bool LoadFromChosenCopy(RecordingLoad& load, const ImportResult& result, SoundData& sound) {
    std::string reason;
    if (!WriteWaveFile(load.copyPath, result.samples, result.rate, &reason)) {
        load.status = RecordingStatus::CopyNotWritten;
        load.messages.push_back(Refusal(CouldNotWriteMessage(load.copyPath, reason)));
        return false;
    }
    return LoadCopy(load, sound);
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
        load.status = RecordingStatus::NotASound;
        load.messages.push_back(Refusal(std::move(reason)));
        return load;
    }
    load.loaderCode = sound.Load(path, load.loaderRefusal);
    if (load.loaderCode == 0) {
        load.loaded = true;
        load.status = RecordingStatus::Loaded;
        load.soundPath = path;
        return load;
    }
    if (!IsConvertibleRefusal(load.loaderCode)) {
        load.messages.push_back(Refusal(load.loaderRefusal));
        return load;
    }

    // Refused for its format or size: converted by the rule of the program's Convert button.
    const std::string name = NameOf(path);
    if (request.offer) {
        RatePlan plan;
        if (!MeasureForOffer(load, path, name, plan)) return load;
        const auto chosen = request.offer({path, load.info, plan.rate, load.loaderRefusal});
        if (!chosen) {
            load.status = RecordingStatus::Declined;
            return load;
        }
        load.copyPath = *chosen;
        // Written over the recording, the copy would destroy what it is made from.
        std::error_code ec;
        if (std::filesystem::equivalent(load.copyPath, path, ec)) {
            load.status = RecordingStatus::CopyIsRecording;
            return load;
        }
    }
    ImportOptions options;
    // Held only while converting: a caller's progress ends with the conversion.
    if (request.progress) options.progress = request.progress(name);
    ImportResult result = ImportSound(path, options);
    options.progress = nullptr;
    load.info = result.info;
    if (!result.ok()) {
        load.status = result.status == ImportStatus::Cancelled ? RecordingStatus::Cancelled
                                                               : RecordingStatus::NotConverted;
        load.importStatus = result.status;
        load.importMessage = result.message;
        if (load.status == RecordingStatus::NotConverted) {
            load.messages = ImportFailureMessages(result, name, load.loaderRefusal);
        }
        return load;
    }
    load.converted = true;
    load.convertedRate = result.rate;
    load.endsEarly = EndsEarlyNotice(name, result.info);
    if (!load.endsEarly.empty()) load.messages.push_back(Note(load.endsEarly));
    if (request.offer) {
        load.loaded = LoadFromChosenCopy(load, result, sound);
        return load;
    }
    const std::string bytes = MakeWaveBytes(result.samples, result.rate);
    if (!request.copyFolder.empty()) {
        load.loaded = LoadFromCopy(load, name, bytes, request.copyFolder, sound);
        return load;
    }
    std::string memoryRefusal;
    load.loaded = sound.LoadMemory(bytes.data(), bytes.size(), memoryRefusal) == 0;
    load.status = load.loaded ? RecordingStatus::Loaded : RecordingStatus::CopyRefused;
    if (!load.loaded) load.messages.push_back(Refusal(memoryRefusal));
    return load;
}

}  // namespace vokra

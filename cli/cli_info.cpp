#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "document/key_edit.h"
#include "document/vokra_doc.h"
#include "platform/message_service.h"
#include "shapes/script_phonemes.h"
#include "sound/import.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

void Field(std::ostream& out, const char* name, const std::string& value) {
    out << name << ':';
    if (!value.empty()) out << ' ' << value;
    out << '\n';
}

// What a sound file is and whether the program loads it as it is.
int RunSoundInfo(const CliOptions& o, std::ostream& out, std::ostream& err) {
    SoundData sound;
    std::string refusal;
    const std::int32_t code = sound.Load(o.input, refusal);
    SoundFileInfo info;
    const bool readable = MeasureSound(o.input, info);
    if (code != 0 && !readable) {
        AfxMessageBox(refusal);
        return kCliFileError;
    }
    Field(out, "file", FileNameOf(o.input));
    if (readable) {
        Field(out, "format", info.container + ", " + info.encoding);
        Field(out, "sample rate", std::to_string(info.sampleRate));
        Field(out, "channels", std::to_string(info.channels));
        if (info.EndsEarly()) {
            // What decodes is what a conversion gets; the header's word is kept beside it.
            SoundFileInfo readableInfo = info;
            readableInfo.frames = info.readableFrames;
            Field(out, "frames", std::to_string(info.readableFrames));
            Field(out, "seconds", ShortestNumber(readableInfo.Seconds()));
            Field(out, "header frames", std::to_string(info.frames));
            Field(out, "header seconds", ShortestNumber(info.Seconds()));
            Field(out, "note", EndsEarlyNotice(FileNameOf(o.input), info));
        } else {
            // Decoding stopped one frame past 500 s: the length is only known to be above it.
            Field(out, "frames",
                  info.longerThanFrames ? "more than " + std::to_string(info.frames - 1)
                                        : std::to_string(info.frames));
            Field(out, "seconds",
                  info.longerThanFrames ? "more than 500" : ShortestNumber(info.Seconds()));
        }
    } else {
        Field(out, "format", "WAV");
        Field(out, "sample rate", std::to_string(sound.GetSampleRate()));
        Field(out, "channels", "1");
        Field(out, "frames", std::to_string(sound.GetSampleCount()));
        Field(out, "seconds",
              ShortestNumber(static_cast<double>(sound.GetSampleCount()) / sound.GetSampleRate()));
    }
    Field(out, "loads as it is", code == 0 ? "yes" : "no: " + refusal);
    if (code != 0) {
        const std::int64_t frames = info.EndsEarly() ? info.readableFrames : info.frames;
        const RatePlan plan = PlanImportRate(info.sampleRate, frames);
        if (!IsConvertibleRefusal(code)) {
            Field(out, "converts to", "no: " + refusal);
        } else if (!plan.fits || info.longerThanFrames) {
            Field(out, "converts to", "no: " + TooLongForImport(FileNameOf(o.input), info));
        } else if (IsTooShortForLoader(plan.samples, plan.rate)) {
            Field(out, "converts to", "no: sound data is too short.");
        } else {
            Field(out, "converts to",
                  std::to_string(plan.rate) + " Hz mono 16-bit PCM, " +
                      std::to_string(plan.samples) + " samples");
        }
    }
    if (!out.flush()) {
        err << "vokra-cli: could not write to standard output\n";
        return kCliFileError;
    }
    return kCliOk;
}

}  // namespace

int RunInfo(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (LooksLikeSound(o.input)) {
        if (!RefuseNonSound(o.input)) return kCliFileError;
        return RunSoundInfo(o, out, err);
    }
    // A folder or a pipe is neither a document nor a sound: said so, rather than "cannot find".
    if (IsNotARegularFile(o.input)) {
        AfxMessageBox(NotASoundReason(o.input, "a document or a sound file"));
        return kCliFileError;
    }
    CVokraDoc doc;
    if (!ReadDocument(doc, o.input)) return kCliFileError;
    Field(out, "frame rate", ShortestNumber(doc.GetFrameRate()));
    Field(out, "preset", std::to_string(doc.GetFpsPreset()));
    Field(out, "custom rate", ShortestNumber(doc.GetCustomFps()));
    Field(out, "sound folder", doc.GetSoundDir());
    Field(out, "sound file", doc.GetSoundName());
    Field(out, "envelope folder", doc.GetEnvDir());
    Field(out, "envelope file", doc.GetEnvName());
    const KeyframeList& keys = doc.GetKeys();
    std::int32_t handKeys = 0;
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) handKeys += keys.GetAt(i)->IsHandMade();
    std::int32_t handShapes = 0;
    for (const ShapeEntry& entry : doc.GetShapes().Entries()) handShapes += entry.hand;
    Field(out, "keys", std::to_string(keys.GetCount()));
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
        const Keyframe* key = keys.GetAt(i);
        out << key->GetFrame() << ' ' << ShortestNumber(key->GetOpening())
            << (key->IsHandMade() ? " hand\n" : "\n");
    }
    // After the list, so the fields before it stay where scripts look for them.
    Field(out, "hand-made keys", std::to_string(handKeys));
    Field(out, "shapes", std::to_string(doc.GetShapes().GetCount()));
    Field(out, "hand-set shapes", std::to_string(handShapes));
    const DocumentScript& script = doc.GetScript();
    Field(out, "script",
          script.IsEmpty()
              ? std::string("none")
              : GroupedNumber(static_cast<std::int64_t>(CountScriptWords(script.text))) +
                    " words in " + script.language);
    if (!out.flush()) {
        err << "vokra-cli: could not write to standard output\n";
        return kCliFileError;
    }
    return kCliOk;
}

}  // namespace vokra

#include "cli/cli_runner.h"

#include <charconv>
#include <optional>
#include <ostream>

#include "cli/cli_messages.h"
#include "cli/cli_options.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "document/envelope_writer.h"
#include "document/key_edit.h"
#include "document/key_export_command.h"
#include "document/vokra_doc.h"
#include "palettes/auto_key.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/licence.h"
#include "platform/message_service.h"
#include "platform/trunc_int.h"
#include "sound/amplitude.h"
#include "sound/import.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr const char* kVersion = VOKRA_VERSION;
// Names another run may take between our look and our claim; each loss moves one name on.
constexpr int kMaxCopyClaims = 1000;

}  // namespace

int UsageError(std::ostream& err, const std::string& reason) {
    err << "vokra-cli: " << reason << "\n" << CliUsage();
    return kCliUsageError;
}

// A document with the settings' defaults: the tool never reads or writes a settings file, so the
// same command line gives the same output on every machine.
void ResetWithoutSettings(CVokraDoc& doc) {
    Profile().SetPath(std::string());
    doc.OnNewDocument();
}

// Reads a document without the program's open steps (no sound is looked for). Its messages
// name it.
bool ReadDocument(CVokraDoc& doc, const std::string& path) {
    ResetWithoutSettings(doc);
    // A folder or a pipe is there, just not a document: said for what it is, not "cannot find".
    if (IsNotARegularFile(path)) {
        AfxMessageBox(NotASoundReason(path, "a Vokra document"));
        return false;
    }
    auto* cli = dynamic_cast<CliMessageService*>(&Messages());
    if (cli) cli->SetSubject(path);
    const bool read = doc.DocumentBase::OnOpenDocument(path);
    if (cli) cli->SetSubject(std::string());
    return read;
}

namespace {

std::string FileNameOf(const std::string& path);

// A folder, a pipe, a device or an empty file given as a sound: says what it is; false.
bool RefuseNonSound(const std::string& path) {
    const std::string reason = NotASoundReason(path);
    if (reason.empty()) return true;
    AfxMessageBox(reason);
    return false;
}

// Says when a recording ended before its header said it would.
void ReportEndsEarly(const ImportResult& r, const std::string& path, std::ostream& err) {
    const std::string notice = EndsEarlyNotice(FileNameOf(path), r.info);
    if (!notice.empty()) err << "vokra-cli: " << notice << "\n";
}

// An output naming the input file itself (directly, through a link or a hard link) would destroy
// what the run reads; says so and returns false. --update names the document that is both read
// and written back, so it counts among the outputs.
bool OutputsSpareInput(const CliOptions& o) {
    for (const std::string* out : {&o.outputPath, &o.envPath, &o.vokPath, &o.updatePath}) {
        if (!out->empty() && IsSameFile(o.input, *out)) {
            AfxMessageBox("The output cannot replace the input itself:\n     " + *out);
            return false;
        }
    }
    return true;
}

// Two outputs of one run naming one file would leave only the last one written, over the other
// (the document of --update replaced by an envelope): a usage error, before anything is written.
int OutputsAreDistinct(const CliOptions& o, std::ostream& err) {
    const std::pair<const char*, const std::string*> outputs[] = {{"-o", &o.outputPath},
                                                                  {"--env", &o.envPath},
                                                                  {"--vok", &o.vokPath},
                                                                  {"--update", &o.updatePath}};
    for (std::size_t i = 0; i < std::size(outputs); ++i) {
        for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
            const std::string& a = *outputs[i].second;
            const std::string& b = *outputs[j].second;
            if (a.empty() || b.empty() || !NameOneFile(a, b)) continue;
            return UsageError(err, std::string(outputs[i].first) + " and " + outputs[j].first +
                                       " name one file: " + b);
        }
    }
    return 0;
}

bool WriteEnvelopeToStream(const CVokraDoc& doc, std::ostream& out, std::ostream& err) {
    if (WriteEnvelope(doc.GetKeys(), out) && out.flush()) return true;
    err << "vokra-cli: could not write the envelope to standard output\n";
    return false;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

constexpr const char* kTooShortForConverter = "sound data is too short.";

// Says why a conversion did not happen; false. The exact loader's message stands where the
// conversion cannot help.
bool ReportImportFailure(const ImportResult& r, const std::string& path, const std::string& refusal,
                         std::ostream& err) {
    // Neither the loader nor the converter takes it: the loader's exact reason first (a header
    // that lies about its data), then the converter's.
    if (r.status != ImportStatus::Unreadable && !refusal.empty() &&
        refusal != kTooShortForConverter) {
        AfxMessageBox(refusal);
    }
    switch (r.status) {
        case ImportStatus::Unreadable:
            AfxMessageBox(refusal);
            break;
        case ImportStatus::TooShort:
            // autokey and convert say the same: what the file is, and that it is too short.
            err << "vokra-cli: " << FileNameOf(path) << ": " << r.info.Describe() << "\n";
            AfxMessageBox(kTooShortForConverter);
            break;
        default:
            err << "vokra-cli: " << FileNameOf(path) << ": " << r.info.Describe() << "\n"
                << "vokra-cli: " << r.message << "\n";
            break;
    }
    return false;
}

}  // namespace

// Loads the sound with the program's loader, checks and messages. A recording it refuses for its
// format or size is converted in memory by the rule of the program's Convert button; with --vok
// the converted copy is written beside the document, so that the document refers to a sound
// that loads.
// The frames --from and --to name on the document's timeline: 0, or a usage error's code after
// saying why they cannot be keyed.
int ChooseKeyRange(const CVokraDoc& doc, const CliOptions& o, std::ostream& err,
                   std::int32_t& first, std::int32_t& last) {
    const std::int32_t lastFrame = TruncToInt32(doc.GetTimeRange().GetExtentMax());
    first = o.from.value_or(0);
    last = o.to.value_or(lastFrame);
    if (last > lastFrame) {
        return UsageError(err, "--to " + std::to_string(last) +
                                   " is past the last frame of the timeline (" +
                                   std::to_string(lastFrame) + ")");
    }
    if (first > last) {
        return UsageError(err, "--from " + std::to_string(first) + " is after the last frame (" +
                                   std::to_string(last) + ")");
    }
    if (const std::int64_t count = std::int64_t{last} - first + 1; count > kMaxKeysPerEdit) {
        return UsageError(err, TooManyKeysMessage("AutoKey", count));
    }
    return 0;
}

AutoKeySettings AutoKeySettingsOf(const CliOptions& o) {
    AutoKeySettings settings;
    settings.highThreshold = o.highThreshold;
    settings.lowThreshold = o.lowThreshold;
    settings.highRange = o.highRange;
    settings.lowRange = o.lowRange;
    return settings;
}

bool LoadAnySound(CVokraDoc& doc, const CliOptions& o, std::ostream& err) {
    if (!RefuseNonSound(o.input)) return false;
    std::string refusal;
    const std::int32_t code = doc.TryLoadSound(o.input, refusal);
    if (code == 0) return true;
    if (!IsConvertibleRefusal(code)) {
        AfxMessageBox(refusal);
        return false;
    }
    const ImportResult r = ImportSound(o.input);
    if (!r.ok()) return ReportImportFailure(r, o.input, refusal, err);
    ReportEndsEarly(r, o.input, err);
    if (o.vokPath.empty()) {
        return doc.LoadSoundFromMemory(MakeWaveBytes(r.samples, r.rate), o.input);
    }

    const std::string wanted =
        FolderOf(o.vokPath) + "/" + FileNameOf(ConvertedCopyPath(FileNameOf(o.input)));
    // A file of that name that this run did not make (another take's copy, anything else) is
    // left alone: the copy takes the next free name instead. The name is claimed in one step
    // when the complete copy is linked in, so two runs at once never share one name: the one
    // that finds it taken moves on to the next.
    const std::string bytes = MakeWaveBytes(r.samples, r.rate);
    bool reuse = false;
    std::optional<std::string> free;
    for (int attempt = 0; attempt < kMaxCopyClaims; ++attempt) {
        free = FreeCopyPath(wanted, bytes, reuse);
        if (!free || reuse) break;
        AtomicFile file(*free);
        file.SetNoReplace();
        if (file.Open() && file.Write(bytes) && file.Commit()) break;
        if (!file.NameTaken()) {
            AfxMessageBox(CouldNotWriteMessage(*free, file.ErrorText()));
            return false;
        }
        free.reset();
    }
    if (!free) {
        AfxMessageBox("Could not write file " + wanted +
                      "\nEvery name for the converted copy is "
                      "taken by another file.");
        return false;
    }
    const std::string& copy = *free;
    err << "vokra-cli: converted " << FileNameOf(o.input) << " (" << r.info.Describe() << ") to "
        << copy << " (" << r.rate << " Hz mono 16-bit PCM)\n";
    if (copy != wanted) {
        err << "vokra-cli: " << wanted << " is another file and was left alone; the document uses "
            << copy << "\n";
    } else if (reuse) {
        err << "vokra-cli: " << copy << " already held this copy and was kept\n";
    }
    doc.LoadSoundFrom(copy);
    return g_sound.IsLoaded();
}

// The keys in the chosen format (the envelope by default) to -o OUT or to standard output. A
// sound path repaired for JSON is mentioned on standard error.
bool WriteKeysOutput(const CVokraDoc& doc, const CliOptions& o, std::ostream& out,
                     std::ostream& err) {
    const KeyFormat format = o.format.value_or(KeyFormat::Env);
    KeyExportInfo info = ExportInfoOf(doc, o.mouths.value_or(DefaultMouthBands()));
    if (o.shapeNames) info.shapeNames = *o.shapeNames;
    info.shapeSet = ShapeOptionsOf(o).extended;
    if (IsShapeCueFormat(format)) {
        if (doc.GetShapes().IsEmpty()) {
            err << "vokra-cli: " << (o.updatePath.empty() ? o.input : o.updatePath) << ": "
                << NoShapesToExportMessage() << " (autokey --shapes guesses them)\n";
            return false;
        }
        // The cues cover the sound: its length, when the document's sound can be read.
        if (!g_sound.IsLoaded() && !doc.GetSoundName().empty()) {
            const std::string path = doc.GetSoundDir() + "/" + doc.GetSoundName();
            SoundData sound;
            std::string refusal;
            if (NotASoundReason(path).empty() && sound.Load(path, refusal) == 0) {
                info.soundSamples = sound.GetSampleCount();
                info.soundRate = sound.GetSampleRate();
            }
        }
    }
    if (!o.outputPath.empty()) return ExportKeysTo(doc, format, o.outputPath, info);
    KeyExportNotes notes;
    if (!WriteKeys(format, doc.GetKeys(), info, out, &notes) || !out.flush()) {
        err << "vokra-cli: could not write the keys to standard output\n";
        return false;
    }
    if (notes.soundPathNotUtf8) err << "vokra-cli: note: " << SoundPathNotUtf8Note() << "\n";
    return true;
}

namespace {

int RunAutoKey(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (const int clash = OutputsAreDistinct(o, err)) return clash;
    if (!OutputsSpareInput(o)) return kCliFileError;
    if (!o.updatePath.empty()) return RunAutoKeyUpdate(o, out, err);
    CVokraDoc doc;
    ResetWithoutSettings(doc);
    if (!LoadAnySound(doc, o, err)) return kCliFileError;

    const std::int32_t preset = PresetForRate(o.fps);
    if (preset == 0) {
        // The custom rate goes through the frame-rate command, which records it as custom.
        doc.OnSetFramesPerSec([&](std::int32_t, double, double) {
            return std::optional<FpsChoice>(FpsChoice{o.fps, 0});
        });
    } else {
        doc.SetFrameRate(o.fps, preset);
    }
    doc.UpdateExtent();

    std::int32_t first = 0;
    std::int32_t last = -1;
    if (const int refused = ChooseKeyRange(doc, o, err, first, last)) return refused;
    const AutoKeySettings settings = AutoKeySettingsOf(o);
    if (g_maxAmplitude < 1.0) g_maxAmplitude = 1.0;
    AutoKeyFrames(g_sound, g_maxAmplitude, doc.GetFrameRate(), first, last, settings,
                  doc.GetKeys());
    if (o.guessShapes && !o.textPath.empty()) {
        if (const int refused = GuessDocumentShapesFromScript(doc, first, last, true, o, err))
            return refused;
    } else if (o.guessShapes &&
               !GuessDocumentShapes(doc, first, last, true, ShapeOptionsOf(o), err)) {
        return kCliFileError;
    }

    // The envelope first, so that a document written with it records where it went.
    if (!o.envPath.empty() && !doc.WriteEnvelopeTo(o.envPath)) return kCliFileError;
    if (!o.vokPath.empty() && !doc.OnSaveDocument(o.vokPath)) return kCliFileError;
    // The keys go to standard output when no file was asked for, or when a format was chosen.
    const bool keysOut =
        !o.outputPath.empty() || o.format || (o.envPath.empty() && o.vokPath.empty());
    if (keysOut && !WriteKeysOutput(doc, o, out, err)) return kCliFileError;
    return kCliOk;
}

int RunExport(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (!OutputsSpareInput(o)) return kCliFileError;
    CVokraDoc doc;
    if (!ReadDocument(doc, o.input)) return kCliFileError;
    if (o.format.value_or(KeyFormat::Env) != KeyFormat::Env) {
        return WriteKeysOutput(doc, o, out, err) ? kCliOk : kCliFileError;
    }
    if (!o.outputPath.empty()) return doc.WriteEnvelopeTo(o.outputPath) ? kCliOk : kCliFileError;
    return WriteEnvelopeToStream(doc, out, err) ? kCliOk : kCliFileError;
}

void Field(std::ostream& out, const char* name, const std::string& value) {
    out << name << ':';
    if (!value.empty()) out << ' ' << value;
    out << '\n';
}

int RunConvert(const CliOptions& o, std::ostream& err) {
    if (!RefuseNonSound(o.input)) return kCliFileError;
    if (IsSameFile(o.input, o.outputPath)) {
        AfxMessageBox("The converted copy cannot replace the recording itself:\n     " +
                      o.outputPath);
        return kCliFileError;
    }
    ImportOptions options;
    options.rate = o.rate;
    options.channel = o.channel;
    const ImportResult r = ImportSound(o.input, options);
    if (r.status == ImportStatus::Unreadable) {
        // The loader's own reason, as the program gives it for this file.
        SoundData probe;
        std::string refusal;
        if (probe.Load(o.input, refusal) == 0) refusal = "Could not read " + o.input;
        AfxMessageBox(refusal);
        return kCliFileError;
    }
    if (!r.ok()) {
        ReportImportFailure(r, o.input, std::string(), err);
        return r.status == ImportStatus::BadOption ? kCliUsageError : kCliFileError;
    }
    std::string reason;
    if (!WriteWaveFile(o.outputPath, r.samples, r.rate, &reason)) {
        AfxMessageBox(CouldNotWriteMessage(o.outputPath, reason));
        return kCliFileError;
    }
    ReportEndsEarly(r, o.input, err);
    return kCliOk;
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
    if (!out.flush()) {
        err << "vokra-cli: could not write to standard output\n";
        return kCliFileError;
    }
    return kCliOk;
}

}  // namespace

std::string ShortestNumber(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

std::string ShortestNumber(float value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

// "Usage:" as the manual-page maker reads it: each line after it is a line of the synopsis, not
// words of one paragraph.
std::string CliUsage() {
    return "Usage: vokra-cli autokey SOUND [--fps RATE] [--from FIRST] [--to LAST]\n"
           "                         [--high-threshold N] [--low-threshold N]\n"
           "                         [--high-range N] [--low-range N]\n"
           "                         [--env OUT.env] [--vok OUT.vok | --update DOC.vok\n"
           "                         [--replace-hand-edits] [--drop-damaged]]\n"
           "                         [--shapes [--lead MS] [--extended-shapes SET]\n"
           "                         [--text FILE --language NAME]]\n"
           "                         [--format FORMAT] [--mouths LIST] [-o OUT]\n"
           "       vokra-cli export DOC.vok [--format FORMAT] [--mouths LIST]\n"
           "                         [--shape-names NAMES] [--extended-shapes SET] [-o OUT]\n"
           "       vokra-cli shapes SOUND [--format tsv|json|xml|csv|dat] [--fps RATE]\n"
           "                         [--mouths NAMES] [--lead MS] [--extended-shapes SET]\n"
           "                         [--text FILE --language NAME] [-o OUT]\n"
           "       vokra-cli edit DOC.vok [--set FRAME:OPENING ...] [--release FIRST-LAST ...]\n"
           "                         [--drop-damaged]\n"
           "       vokra-cli convert SOUND OUT.wav [--rate HZ] [--channel mix|N]\n"
           "       vokra-cli info DOC.vok|SOUND\n"
           "       vokra-cli --help | --version\n";
}

std::string CliHelp() {
    return "vokra-cli " + std::string(kVersion) +
           " - make and read lip-sync envelopes without the window.\n\n" + CliUsage() +
           "\n"
           "Commands:\n"
           "  autokey SOUND       Load a sound and key every frame of the range from its\n"
           "                      loudness, as the AutoKey palette does. A recording that is not\n"
           "                      a mono 8- or 16-bit PCM WAVE file of 4000 to 44100 Hz (up to\n"
           "                      4,000,000 samples) is converted in memory as 'convert' does;\n"
           "                      with --vok the converted copy is written beside the document\n"
           "                      as NAME-vokra.wav (NAME-vokra-2.wav, -3 ... when that name\n"
           "                      holds another file). Without --env or --vok the envelope is\n"
           "                      written to standard output.\n"
           "  convert SOUND OUT.wav\n"
           "                      Convert any recording (WAV of any sample format, RF64, AIFF,\n"
           "                      FLAC, Ogg Vorbis/Opus, MP3 ...) to a mono 16-bit PCM WAVE file\n"
           "                      Vokra loads: channels averaged, the rate kept if it is 4000 to\n"
           "                      44100 Hz, else 44100 Hz (faster) or 8000 Hz (slower), lowered\n"
           "                      to 32000, 22050, 16000, 11025 or 8000 Hz until the copy holds\n"
           "                      at most 4,000,000 samples.\n"
           "  export DOC.vok      Write a Vokra document's keys as an envelope or in another\n"
           "                      format.\n"
           "  shapes SOUND        Guess which of the nine mouths (A-H, X) the voice needs, from\n"
           "                      the sound alone, in any language; any recording autokey takes.\n"
           "  edit DOC.vok        Set keys by hand (marked hand-made, so autokey --update and the\n"
           "                      AutoKey palette leave them) and release hand-made marks; the\n"
           "                      document is replaced only once written completely.\n"
           "  info DOC.vok        Print a document's frame rate, file locations, counts of\n"
           "                      hand-made keys and of shapes, and its keys ('hand' after a\n"
           "                      hand-made one).\n"
           "  info SOUND          Print what a sound file is, whether it loads as it is, and\n"
           "                      what it converts to.\n"
           "\n"
           "Options of autokey:\n"
           "  --fps RATE             Frames per second, 1 to 100 (default 15). One of the\n"
           "                         standard rates 4, 7.5, 10, 12, 12.5, 14.985, 15, 24, 25,\n"
           "                         29.97 and 30 selects its preset; any other is custom.\n"
           "  --from FIRST           First frame to key (default 0).\n"
           "  --to LAST              Last frame to key, at most the last frame of the timeline\n"
           "                         (the default).\n"
           "  --high-threshold N     Loudness percent of the loudest 10 ms of the sound at and\n"
           "                         above which the high range applies, 0 to 100 (default 100).\n"
           "  --low-threshold N      Loudness percent at and below which the low range applies,\n"
           "                         0 to 100 (default 0).\n"
           "  --high-range N         Lip opening percent for loud frames, 0 to 150 (default 100).\n"
           "  --low-range N          Lip opening percent for quiet frames, 0 to 150 (default 0).\n"
           "  --env OUT.env          Write the envelope file.\n"
           "  --vok OUT.vok          Write a Vokra document with the sound, the keys and, with\n"
           "                         --env, the envelope file's location.\n"
           "  --update DOC.vok       Key the sound into an existing document instead: its\n"
           "                         hand-made keys and hand-set shapes stay, the rest of the\n"
           "                         range is keyed again, and the document (now referring to\n"
           "                         this sound) is written back. Keys at its frame rate.\n"
           "  --replace-hand-edits   With --update, key over hand-made keys and shapes too.\n"
           "  --drop-damaged         With --update (and for edit): write the document even\n"
           "                         when its file holds shapes or marks that could not be read\n"
           "                         and the new ones replace them. Without it such a write is\n"
           "                         refused (exit 1); records a later version added are kept.\n"
           "  --shapes               Guess the mouth shapes of the range as well (in the\n"
           "                         document, and in csv, json and dat output).\n"
           "  --lead MS              With --shapes, as for shapes.\n"
           "  --extended-shapes SET  With --shapes, as for shapes.\n"
           "  --text FILE, --language NAME\n"
           "                         With --shapes: place the mouths of the line's script, as\n"
           "                         shapes --text does; the script is kept in the document.\n"
           "\n"
           "  With --format or -o, autokey also writes its keys in that format (to standard\n"
           "  output without -o).\n"
           "\n"
           "Options of export (and autokey):\n"
           "  -o, --output OUT       Write the keys to a file instead of standard output.\n"
           "  --format FORMAT        env (the envelope, default), csv (frame,time,opening),\n"
           "                         json, ae (After Effects keyframe data for a slider, in\n"
           "                         percent) or dat (mouth-shape switch data); or the\n"
           "                         document's mouth shapes, guessed and corrected, as\n"
           "                         rhubarb-tsv, rhubarb-json or rhubarb-xml (the layouts of\n"
           "                         shapes --format tsv, json and xml; a document without\n"
           "                         shapes is refused).\n"
           "  --mouths LIST          The mouths of dat as NAME:LIMIT,...,NAME: a mouth is used\n"
           "                         while the opening is below its limit (at the limit the\n"
           "                         next one takes over), the last for everything above\n"
           "                         (default rest:0.1,etc:0.3,E:0.55,AI).\n"
           "  --shape-names NAMES    The names of the nine shapes when a document with shapes\n"
           "                         is written as dat (as for shapes --mouths).\n"
           "  --extended-shapes SET  The extended mouths the rig has (as for shapes): a shape of\n"
           "                         the document's it lacks is written as its basic mouth.\n"
           "  A document with shapes gains a shape column in csv, a \"shapes\" list in json,\n"
           "  and dat switches its shapes; json marks hand-made keys with \"hand\": true.\n"
           "\n"
           "Options of shapes:\n"
           "  --format FORMAT        tsv (default: a line per change of mouth, seconds with two\n"
           "                         decimals, a tab and the letter, then the end of the sound\n"
           "                         with X), json or xml (metadata and mouth cues with start,\n"
           "                         end and value), csv (frame,time,shape per frame) or dat\n"
           "                         (switch data). tsv, json and xml never depend on --fps;\n"
           "                         rhubarb-tsv, rhubarb-json and rhubarb-xml name them too.\n"
           "  --fps RATE             Frames per second of csv and dat, 1 to 100 (default 15).\n"
           "  --mouths NAMES         The names of dat: nine names in the order A,B,C,D,E,F,G,H,X,\n"
           "                         or LETTER:NAME items changing some (default\n"
           "                         MBP,etc,E,AI,O,U,FV,L,rest).\n"
           "  --lead MS              Mouths lead the sound by MS milliseconds, 0 to 500 (default\n"
           "                         0): every shape is shown that much earlier, to the nearest\n"
           "                         10 ms, as animators often time mouths a frame or two ahead.\n"
           "  --extended-shapes SET  The extended mouths the rig has: any of G, H and X (default\n"
           "                         GHX; \"\" for the six basic mouths A-F). A mouth it lacks\n"
           "                         is guessed and written as its basic mouth: G and X as A,\n"
           "                         H as C.\n"
           "  --text FILE            The script of the line (UTF-8 text, at most 1 MB): its words\n"
           "                         are read by espeak-ng and their mouths placed on the voice.\n"
           "                         Words the voice does not say are named on standard error\n"
           "                         and guessed from the sound alone there.\n"
           "  --language NAME        The script's language, an espeak-ng voice name (en-us, en,\n"
           "                         de, fr, es, ja, hi ...); needed with --text.\n"
           "  -o, --output OUT       Write to a file instead of standard output.\n"
           "\n"
           "Options of edit:\n"
           "  --set FRAME:OPENING    Key FRAME with OPENING (0 to 2, 1 = 100 %) as hand-made.\n"
           "  --release FIRST-LAST   Release the hand-made marks of those frames' keys and\n"
           "                         shapes (a single FRAME too). Releases happen before sets.\n"
           "  --drop-damaged         As for autokey --update.\n"
           "\n"
           "Options of convert:\n"
           "  --rate HZ              Rate of the copy, 4000 to 44100, instead of the rule's.\n"
           "  --channel mix|N        Average all channels (the default) or take channel N alone.\n"
           "\n"
           "  -h, --help             Show this help.\n"
           "  --version              Show the version.\n"
           "\n"
           "Options take their value as the next argument or after '='; '--' ends the options.\n"
           "Exit status: 0 on success, 1 when a file cannot be read or written, 2 for a usage\n"
           "error.\n";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ScopedCliMessages messages(err);
    const CliParseResult parsed = ParseCliArguments(args);
    if (!parsed.ok()) return UsageError(err, parsed.error);
    const CliOptions& o = parsed.options;
    switch (o.command) {
        case CliCommand::Help:
            out << CliHelp();
            return kCliOk;
        case CliCommand::Version:
            out << "vokra-cli " << kVersion << "\n" << kCopyrightLine << "\n" << kLicenceLines;
            return kCliOk;
        case CliCommand::AutoKey:
            return RunAutoKey(o, out, err);
        case CliCommand::Export:
            return RunExport(o, out, err);
        case CliCommand::Info:
            return RunInfo(o, out, err);
        case CliCommand::Convert:
            return RunConvert(o, err);
        case CliCommand::Shapes:
            return RunShapes(o, out, err);
        case CliCommand::Edit:
            return RunEdit(o, out, err);
    }
    return kCliUsageError;
}

}  // namespace vokra

// Load Sound File on a recording the loader refuses: the offer to convert, the copy proposed
// beside it, the progress that can be cancelled, and the loader's messages where converting
// cannot help.
#include <sys/stat.h>

#include <filesystem>

#include "platform/progress_service.h"
#include "sound/import.h"
#include "tests/document/doc_fixture.h"
#include "tests/support/sound_writer.h"

namespace vokra {
namespace {

using test::DocFixture;

// Counts the updates and cancels at the given one (0: never).
class ScriptedProgress final : public ProgressService {
public:
    explicit ScriptedProgress(int cancelAt) : cancelAt_(cancelAt) { SetProgressService(this); }
    ~ScriptedProgress() override { SetProgressService(nullptr); }
    std::unique_ptr<ProgressTask> Begin(const std::string& label) override {
        labels.push_back(label);
        return std::make_unique<Task>(*this);
    }
    std::vector<std::string> labels;
    int updates = 0;

private:
    struct Task final : ProgressTask {
        explicit Task(ScriptedProgress& owner) : owner(owner) {}
        bool Update(double) override { return ++owner.updates != owner.cancelAt_; }
        ScriptedProgress& owner;
    };
    int cancelAt_;
};

class Document_ImportSound : public DocFixture {
protected:
    std::string Recording(const std::string& name, int format, int rate, int channels,
                          double seconds) {
        const std::string path = dir_.File(name);
        EXPECT_TRUE(test::WriteSoundFile(path, format, rate, channels,
                                         static_cast<std::int64_t>(seconds * rate),
                                         test::Tone(220, rate)));
        return path;
    }
    std::string Offer(const std::string& name, const std::string& what, int rate,
                      const std::string& refusal = "This is not an audio waveform file.") {
        return name + ": " + what + "\n\nIt does not load as it is: " + refusal + "\n" +
               LoadableSoundSummary() + "\n\nConvert it to a mono 16-bit copy at " +
               std::to_string(rate) + " Hz and load that?";
    }
    std::size_t FilesInDir() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.Path())) ++n;
        return n;
    }
};

TEST_F(Document_ImportSound, ConvertWritesTheCopyBesideTheRecordingAndLoadsIt) {
    CVokraDoc& doc = NewDoc();
    const std::string in = Recording("voice.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 2.0);
    ScriptedProgress progress(0);
    dialogs_->Answer(in);
    messages_->Expect(Offer("voice.wav", "48000 Hz, 2 channels, 24-bit PCM, 2.0 s", 44100,
                            "Wavefile format is not supported by this program."),
                      IDOK);
    dialogs_->Answer(dir_.File("voice-vokra.wav"));
    doc.OnLoadSoundFile();

    EXPECT_NE(dialogs_->Requests().at(0).filter.find("*.flac"), std::string::npos);
    EXPECT_EQ(messages_->Shown().at(0).acceptText, "Convert");
    const FileDialogRequest& save = dialogs_->Requests().at(1);
    EXPECT_TRUE(save.save);
    EXPECT_TRUE(save.overwritePrompt);
    EXPECT_EQ(save.initialName, "voice-vokra.wav");
    EXPECT_EQ(save.initialDir, dir_.Path());
    EXPECT_EQ(progress.labels, std::vector<std::string>{"Converting voice.wav..."});
    EXPECT_GT(progress.updates, 0);

    ASSERT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(g_sound.GetSampleRate(), 44100);
    EXPECT_EQ(g_sound.GetSampleCount(), 88200);
    EXPECT_EQ(doc.GetSoundName(), "voice-vokra.wav");
    EXPECT_EQ(Profile().GetString("DIRECTORIES", "WAVEDIR"), dir_.Path());
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 30.5);
    EXPECT_EQ(FilesInDir(), 2u);  // the recording and its copy, no temporary left
}

TEST_F(Document_ImportSound, DecliningOrFailingLeavesTheDocumentAsItWas) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("kept.wav", 2.0));
    doc.SetModifiedFlag(false);
    const std::int32_t generation = doc.GetContentGeneration();
    const std::string in = Recording("take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 96000, 1, 3.0);
    const std::string offer =
        Offer("take.flac", "96000 Hz, 1 channel, FLAC 16-bit PCM, 3.0 s", 44100);
    ScriptedProgress progress(2);
    const auto unchanged = [&] {
        EXPECT_TRUE(g_sound.IsLoaded());
        EXPECT_EQ(g_sound.GetSampleCount(), 16000);
        EXPECT_EQ(doc.GetSoundName(), "kept.wav");
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.GetContentGeneration(), generation);
        EXPECT_EQ(FilesInDir(), 2u);
    };

    messages_->Expect(offer, IDCANCEL);  // the offer declined
    doc.LoadOrConvertSound(in);
    EXPECT_TRUE(dialogs_->Requests().empty());
    unchanged();

    messages_->Expect(offer, IDOK);  // the save dialog cancelled
    dialogs_->Answer(std::nullopt);
    doc.LoadOrConvertSound(in);
    unchanged();

    messages_->Expect(offer, IDOK);  // the progress cancelled
    dialogs_->Answer(dir_.File("take-vokra.wav"));
    doc.LoadOrConvertSound(in);
    EXPECT_EQ(progress.updates, 2);
    unchanged();

    messages_->Expect(offer, IDOK);  // the copy cannot be written, and the reason is given
    dialogs_->Answer(dir_.File("gone/take-vokra.wav"));
    messages_->Expect("Could not write file " + dir_.File("gone/take-vokra.wav") +
                      "\nThe folder does not exist.");
    doc.LoadOrConvertSound(in);
    unchanged();
}

TEST_F(Document_ImportSound, TheCopyMayNotReplaceTheRecording) {
    CVokraDoc& doc = NewDoc();
    const std::string in = Recording("voice.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, 1.0);
    const std::string before = test::ReadFile(in);
    messages_->Expect(Offer("voice.wav", "22050 Hz, 1 channel, 32-bit float, 1.0 s", 22050,
                            "Wavefile format is not supported by this program."),
                      IDOK);
    dialogs_->Answer(in);
    messages_->Expect("The converted copy cannot replace the recording itself:\n     " + in);
    doc.LoadOrConvertSound(in);
    EXPECT_EQ(test::ReadFile(in), before);
    EXPECT_FALSE(g_sound.IsLoaded());
}

TEST_F(Document_ImportSound, ARecordingCutShortIsSaidToBeSoAfterItsCopyLoads) {
    CVokraDoc& doc = NewDoc();
    const std::string in =
        Recording("voice.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1, 5.0);
    std::string bytes = test::ReadFile(in);
    bytes.resize(bytes.size() * 2 / 5);
    test::WriteFile(in, bytes);
    SoundFileInfo measured;
    ASSERT_TRUE(MeasureSound(in, measured));
    const double seconds = measured.readableFrames / 22050.0;
    ASSERT_LT(seconds, 3.0);
    char notice[128];
    std::snprintf(notice, sizeof notice,
                  "voice.flac ends after %.1f s of the 5.0 s its header promises.", seconds);
    messages_->Expect(Offer("voice.flac", "22050 Hz, 1 channel, FLAC 16-bit PCM, 5.0 s", 22050),
                      IDOK);
    dialogs_->Answer(dir_.File("voice-vokra.wav"));
    messages_->Expect(notice);
    doc.LoadOrConvertSound(in);
    ASSERT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(g_sound.GetSampleCount(), measured.readableFrames);
}

struct KeptMessageCase {
    const char* name;
    std::function<std::string(const std::string& path)> make;
    std::string message;
};

class Document_ImportSound_Keeps : public Document_ImportSound,
                                   public ::testing::WithParamInterface<KeptMessageCase> {};

TEST_P(Document_ImportSound_Keeps, TheLoadersMessageWhereConvertingCannotHelp) {
    CVokraDoc& doc = NewDoc();
    const std::string path = GetParam().make(dir_.File("in.wav"));
    messages_->Expect(GetParam().message);
    doc.LoadOrConvertSound(path);
    EXPECT_FALSE(g_sound.IsLoaded());
    EXPECT_TRUE(dialogs_->Requests().empty());
}

std::string Bytes(const std::string& path, const std::string& bytes) {
    test::WriteFile(path, bytes);
    return path;
}

// A mono 16-bit WAVE file whose data chunk declares `declared` bytes, with 200 behind it.
std::string LyingWav(std::uint32_t declared) {
    test::WavFormat mono;
    mono.sampleRate = 8000;
    return test::WavBuilder()
        .Fmt(mono)
        .ChunkDeclared("data", declared, std::string(200, '\1'))
        .Build();
}

std::string Sound(const std::string& path, int format, int rate, int channels, double seconds) {
    test::WriteSoundFile(path, format, rate, channels, static_cast<std::int64_t>(seconds * rate),
                         test::Tone(300, rate));
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Document_ImportSound_Keeps,
    ::testing::Values(
        KeptMessageCase{"NotASound",
                        [](const std::string& p) { return Bytes(p, "RIFF\4\0\0\0AVI "); },
                        "This is not an audio waveform file."},
        KeptMessageCase{"Missing", [](const std::string& p) { return p + ".none"; },
                        "Failed to open file"},
        KeptMessageCase{"ShortMono",
                        [](const std::string& p) {
                            return Bytes(p, test::MakeWav16(std::vector<std::int16_t>(100), 8000));
                        },
                        "sound data is too short."},
        KeptMessageCase{"ShortStereo",
                        [](const std::string& p) {
                            return Sound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 0.1);
                        },
                        // Neither takes it: the loader's reason, then the converter's.
                        "Wavefile format is not supported by this program.\n"
                        "sound data is too short."},
        // Headers that lie about their data: the loader's exact reason is no longer hidden.
        KeptMessageCase{"DataEndsBeforeTheHeaderSays",
                        [](const std::string& p) { return Bytes(p, LyingWav(20000)); },
                        "Failed reading the sound data.\nsound data is too short."},
        KeptMessageCase{"HeaderPastTheLimit",
                        [](const std::string& p) { return Bytes(p, LyingWav(0x7ffffff0u)); },
                        "sound data is too big.\nsound data is too short."},
        KeptMessageCase{"TooLong",
                        [](const std::string& p) {
                            return Sound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, 501);
                        },
                        "in.wav: 8000 Hz, 2 channels, 16-bit PCM, 501.0 s\n\nin.wav is 501.0 s "
                        "long; Vokra works on sounds of at most 4,000,000 samples, which is 500 s "
                        "at 8000 Hz, the lowest rate it converts to."},
        // Not sounds at all: said for what they are rather than "cannot open".
        KeptMessageCase{"Folder",
                        [](const std::string& p) {
                            std::filesystem::create_directory(p);
                            return p;
                        },
                        "in.wav is a folder, not a sound file."},
        KeptMessageCase{"Fifo",
                        [](const std::string& p) {
                            ::mkfifo(p.c_str(), 0600);
                            return p;
                        },
                        "in.wav is a named pipe, not a sound file."},
        KeptMessageCase{"Empty", [](const std::string& p) { return Bytes(p, ""); },
                        "in.wav is empty: it holds no sound."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

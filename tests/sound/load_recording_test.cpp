// The one way in for a recording: loaded as it is, converted in memory, to a copy under a free
// name or under the name an offer returns, or refused, with what the user must be told in the
// order it happened.
#include "sound/load_recording.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <optional>

#include "sound/sound_data.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

using Kind = RecordingMessage::Kind;

std::string Flac48k(const test::TempDir& dir) {
    const std::string path = dir.File("v.flac");
    EXPECT_TRUE(test::WriteSoundFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 48000,
                                     test::Tone(180.0, 48000)));
    return path;
}

struct EntryCase {
    const char* name;
    // Makes the recording in the folder; returns its path.
    std::function<std::string(const test::TempDir&)> make;
    bool toCopy;  // converted copies go to the folder's "out"
    // The loaded sound's file in the folder ("" converted in memory; nullptr nothing loaded).
    const char* soundFile;
    // What the user is told, "{out}" standing for the copies' folder.
    std::vector<RecordingMessage> messages;
    // The offer's answer: the copy's file in the folder, "" declined; nullptr: no offer made.
    const char* offerAnswer = nullptr;
    std::optional<RecordingStatus> status = std::nullopt;
};

class LoadRecording_Table : public ::testing::TestWithParam<EntryCase> {};

TEST_P(LoadRecording_Table, LoadsOrSaysWhyInOrder) {
    const EntryCase& c = GetParam();
    test::TempDir dir;
    ::mkdir(dir.File("out").c_str(), 0755);
    const std::string path = c.make(dir);
    RecordingRequest request;
    if (c.toCopy) request.copyFolder = dir.File("out");
    std::int32_t offeredRate = 0;
    if (c.offerAnswer) {
        request.offer = [&](const RecordingOffer& offer) -> std::optional<std::string> {
            offeredRate = offer.rate;
            EXPECT_EQ(offer.path, path);
            EXPECT_EQ(offer.refusal, "This is not an audio waveform file.");
            if (!*c.offerAnswer) return std::nullopt;
            return dir.File(c.offerAnswer);
        };
    }
    const std::string before = c.offerAnswer ? test::ReadFile(path) : std::string();
    SoundData sound;
    const RecordingLoad load = LoadRecording(path, sound, request);
    if (c.status) {
        EXPECT_EQ(load.status, *c.status);
    }
    if (c.offerAnswer) {
        EXPECT_EQ(offeredRate, 44100);
        EXPECT_EQ(test::ReadFile(path), before);  // the recording itself is never written
    }

    std::vector<RecordingMessage> expected = c.messages;
    for (RecordingMessage& m : expected) {
        for (auto at = m.text.find("{out}"); at != std::string::npos; at = m.text.find("{out}")) {
            m.text.replace(at, 5, dir.File("out"));
        }
    }
    EXPECT_EQ(load.messages, expected);
    ASSERT_EQ(load.loaded, c.soundFile != nullptr);
    EXPECT_EQ(sound.IsLoaded(), load.loaded);
    if (!c.soundFile) return;
    const std::string file = c.soundFile;
    EXPECT_EQ(load.soundPath, file.empty() ? std::string() : dir.File(file));
    EXPECT_EQ(load.converted, file != "v.wav");
    if (load.converted) {
        EXPECT_EQ(sound.GetSampleRate(), 44100);
        EXPECT_EQ(load.convertedRate, 44100);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadRecording_Table,
    ::testing::Values(
        EntryCase{"WaveTheLoaderTakesLoadsAsItIs",
                  [](const test::TempDir& d) {
                      test::WriteFile(d.File("v.wav"), test::MakeWav16(test::VoiceLike(1.0)));
                      return d.File("v.wav");
                  },
                  true,
                  "v.wav",
                  {}},
        EntryCase{"ConvertedInMemoryWithoutAFolder", Flac48k, false, "", {}},
        EntryCase{"ConvertedToACopyInTheFolder",
                  Flac48k,
                  true,
                  "out/v-vokra.wav",
                  {{Kind::Note,
                    "converted v.flac (48000 Hz, 2 channels, FLAC 16-bit PCM, 1.0 s) to "
                    "{out}/v-vokra.wav (44100 Hz mono 16-bit PCM)"}}},
        EntryCase{"AnotherFileUnderTheNameIsLeftAlone",
                  [](const test::TempDir& d) {
                      test::WriteFile(d.File("out/v-vokra.wav"), "another take");
                      return Flac48k(d);
                  },
                  true,
                  "out/v-vokra-2.wav",
                  {{Kind::Note,
                    "converted v.flac (48000 Hz, 2 channels, FLAC 16-bit PCM, 1.0 s) to "
                    "{out}/v-vokra-2.wav (44100 Hz mono 16-bit PCM)"},
                   {Kind::Note,
                    "{out}/v-vokra.wav is another file and was left alone; the document uses "
                    "{out}/v-vokra-2.wav"}}},
        EntryCase{"TheSameCopyMadeBeforeIsKept",
                  [](const test::TempDir& d) {
                      SoundData first;
                      RecordingRequest toFolder;
                      toFolder.copyFolder = d.File("out");
                      LoadRecording(Flac48k(d), first, toFolder);
                      return d.File("v.flac");
                  },
                  true,
                  "out/v-vokra.wav",
                  {{Kind::Note,
                    "converted v.flac (48000 Hz, 2 channels, FLAC 16-bit PCM, 1.0 s) to "
                    "{out}/v-vokra.wav (44100 Hz mono 16-bit PCM)"},
                   {Kind::Note, "{out}/v-vokra.wav already held this copy and was kept"}}},
        EntryCase{"AFolderIsNoSound",
                  [](const test::TempDir& d) {
                      ::mkdir(d.File("x.wav").c_str(), 0755);
                      return d.File("x.wav");
                  },
                  true,
                  nullptr,
                  {{Kind::Refusal, "x.wav is a folder, not a sound file."}}},
        EntryCase{"TooShortForTheLoaderIsNotConverted",
                  [](const test::TempDir& d) {
                      test::WriteFile(d.File("x.wav"), test::MakeWav16({1, 2, 3}));
                      return d.File("x.wav");
                  },
                  true,
                  nullptr,
                  {{Kind::Refusal, "sound data is too short."}}},
        // Neither takes it: the loader's exact reason, then what the file is and the converter's.
        EntryCase{"RefusedByBothTheLoaderFirst",
                  [](const test::TempDir& d) {
                      EXPECT_TRUE(test::WriteSoundFile(d.File("x.wav"),
                                                       SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1024,
                                                       400, test::Tone(100, 8000)));
                      return d.File("x.wav");
                  },
                  true,
                  nullptr,
                  {{Kind::Refusal, "Wavefile format is not supported by this program."},
                   {Kind::Note, "x.wav: 8000 Hz, 1024 channels, 16-bit PCM, 0.1 s"},
                   {Kind::Refusal, "sound data is too short."}}},
        // Asked before converting: the user may decline, name the copy, but not over the
        // recording.
        EntryCase{"DeclinedAtTheOffer", Flac48k, false, nullptr, {}, "", RecordingStatus::Declined},
        EntryCase{"TheCopyTakesTheNameTheOfferGives",
                  Flac48k,
                  false,
                  "out/mine.wav",
                  {},
                  "out/mine.wav",
                  RecordingStatus::Loaded},
        EntryCase{"TheOfferMayNotNameTheRecording",
                  Flac48k,
                  true,
                  nullptr,
                  {},
                  "v.flac",
                  RecordingStatus::CopyIsRecording}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra

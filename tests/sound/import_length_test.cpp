// Recordings whose header does not tell their length, or promises more than they hold: the
// length is learned by decoding (never taken from libsndfile's "unknown"), and a recording cut
// short converts what it holds and says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "sound/import.h"
#include "tests/support/sound_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

std::string Write(const test::TempDir& dir, const std::string& name, int format, int rate,
                  double seconds) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(test::WriteSoundFile(
        path, format, rate, 1, static_cast<std::int64_t>(seconds * rate), test::Tone(220, rate)));
    return path;
}

// What a FLAC encoder writing to a pipe leaves: no total sample count in its STREAMINFO.
void ForgetFlacLength(const std::string& path) {
    std::string bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.compare(0, 4, "fLaC"), 0);
    bytes[21] = static_cast<char>(bytes[21] & 0xF0);
    for (int i = 22; i < 26; ++i) bytes[i] = 0;
    test::WriteFile(path, bytes);
}

void Cut(const std::string& path, double keep) {
    std::string bytes = test::ReadFile(path);
    bytes.resize(static_cast<std::size_t>(bytes.size() * keep));
    test::WriteFile(path, bytes);
}

struct LengthCase {
    const char* name;
    std::function<std::string(const test::TempDir&)> make;
    ImportStatus status;
    double seconds;    // of the result (Ok) or of the length found (TooLong: 0)
    bool endsEarly;    // the notice is given
    std::string says;  // in the message (TooLong)
};

class Import_Length : public ::testing::TestWithParam<LengthCase> {};

TEST_P(Import_Length, IsLearnedOrReported) {
    const LengthCase& c = GetParam();
    test::TempDir dir;
    const std::string path = c.make(dir);
    const ImportResult r = ImportSound(path);
    ASSERT_EQ(r.status, c.status) << r.message;
    if (!r.ok()) {
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        return;
    }
    EXPECT_NEAR(static_cast<double>(r.samples.size()) / r.rate, c.seconds, 0.75);
    const std::string notice = EndsEarlyNotice("voice", r.info);
    EXPECT_EQ(!notice.empty(), c.endsEarly) << notice;
    if (c.endsEarly) {
        EXPECT_EQ(notice.rfind("voice ends after ", 0), 0u) << notice;
        const std::string tail = " s of the 5.0 s its header promises.";
        EXPECT_EQ(notice.substr(notice.size() - std::min(notice.size(), tail.size())), tail);
    }
    // The probe agrees with the conversion, and info's measure sees where the file ends.
    SoundFileInfo measured;
    ASSERT_TRUE(MeasureSound(path, measured));
    EXPECT_LT(measured.frames, std::int64_t{1} << 40);
    EXPECT_EQ(measured.EndsEarly(), c.endsEarly);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Import_Length,
    ::testing::Values(
        LengthCase{"FlacWithoutLength",
                   [](const test::TempDir& d) {
                       const std::string p =
                           Write(d, "v.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 5.0);
                       ForgetFlacLength(p);
                       return p;
                   },
                   ImportStatus::Ok, 5.0, false, ""},
        // Decoding stops once the recording passes 500 s.
        LengthCase{"FlacWithoutLengthPastTheLimit",
                   [](const test::TempDir& d) {
                       const std::string p =
                           Write(d, "v.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 501.0);
                       ForgetFlacLength(p);
                       return p;
                   },
                   ImportStatus::TooLong, 0.0, false, "is longer than 500 s;"},
        LengthCase{"OggCutShort",
                   [](const test::TempDir& d) {
                       const std::string p =
                           Write(d, "v.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 20.0);
                       std::string bytes = test::ReadFile(p);
                       bytes.resize(bytes.size() - 1024);
                       test::WriteFile(p, bytes);
                       return p;
                   },
                   ImportStatus::Ok, 18.5, false, ""},
        LengthCase{"FlacCutShort",
                   [](const test::TempDir& d) {
                       const std::string p =
                           Write(d, "v.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 5.0);
                       Cut(p, 0.4);
                       return p;
                   },
                   ImportStatus::Ok, 2.0, true, ""},
        LengthCase{"WavCutShort",
                   [](const test::TempDir& d) {
                       const std::string p =
                           Write(d, "v.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 5.0);
                       Cut(p, 0.4);
                       return p;
                   },
                   ImportStatus::Ok, 2.0, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ApartCase {
    double seconds;
    double other;
    const char* text;
};
class Import_SecondsApart : public ::testing::TestWithParam<ApartCase> {};

TEST_P(Import_SecondsApart, ShowsTheFiguresThatDiffer) {
    EXPECT_EQ(SecondsApartFrom(GetParam().seconds, GetParam().other), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, Import_SecondsApart,
                         ::testing::Values(ApartCase{4000001 / 8000.0, 500.0, "500.0001"},
                                           ApartCase{2.1, 5.4, "2.1"}, ApartCase{5.38, 5.4, "5.38"},
                                           ApartCase{12.0, 12.0, "12.0"}));

// An empty file named as a sound is a sound (that holds nothing), not an empty document.
TEST(Import_NotASound, AnEmptyFileWithASoundNameLooksLikeASound) {
    test::TempDir dir;
    test::WriteFile(dir.File("e.wav"), "");
    test::WriteFile(dir.File("e.vok"), "");
    EXPECT_TRUE(LooksLikeSound(dir.File("e.wav")));
    EXPECT_FALSE(LooksLikeSound(dir.File("e.vok")));
}

}  // namespace
}  // namespace vokra

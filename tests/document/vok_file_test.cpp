#include "document/vok_file.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

using Keys = std::vector<std::pair<int, float>>;

const std::string kHeader = "Vokra version 1 Copyright 1998 Quorvendale";
constexpr const char* kUnexpected = "Unexpected file format.";
constexpr const char* kNotVokra = "File contents are not a valid Vokra document.";
constexpr const char* kFailedToOpen = "Failed to open document.";

std::string F64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return Le32(static_cast<std::uint32_t>(bits)) + Le32(static_cast<std::uint32_t>(bits >> 32));
}

std::string F32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return Le32(bits);
}

std::string Str(const std::string& s) {
    if (s.size() < 255) return std::string(1, static_cast<char>(s.size())) + s;
    return "\xFF" + Le16(static_cast<std::uint16_t>(s.size())) + s;
}

struct Record {
    std::int32_t kind, frame;
    float opening;
};

// A document file spelled out field by field, independently of the writer.
std::string VokBytes(double rate = 15.0, std::int32_t preset = 7, double custom = 15.0,
                     const std::vector<Record>& records = {},
                     std::vector<std::string> strings = {"", "", "", ""}, std::int32_t count = -999,
                     const std::string& header = kHeader) {
    std::string b =
        Str(header) + F64(rate) + Le32(static_cast<std::uint32_t>(preset)) + F64(custom) +
        Le32(static_cast<std::uint32_t>(count == -999 ? static_cast<std::int32_t>(records.size())
                                                      : count));
    for (const Record& r : records) {
        b += Le32(static_cast<std::uint32_t>(r.kind)) + Le32(static_cast<std::uint32_t>(r.frame)) +
             F32(r.opening);
    }
    for (const auto& s : strings) b += Str(s);
    return b;
}

class VokFile_Write : public DocFixture {};

TEST_F(VokFile_Write, NewDocumentIs71Bytes) {
    CVokraDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("new.vok")));
    const std::string bytes = ReadFile(dir_.File("new.vok"));
    EXPECT_EQ(bytes.size(), 71u);
    EXPECT_EQ(bytes, VokBytes());
    EXPECT_EQ(bytes.substr(0, 9), "\x2AVokra ve");
    EXPECT_EQ(bytes.substr(43, 8), std::string("\0\0\0\0\0\0\x2E\x40", 8));
}

TEST_F(VokFile_Write, KeysAndStringsAreLaidOutInOrder) {
    WriteFile(IniPath(), "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=23500\n");
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{12, 0.333f}, {0, 0.0f}, {5, 1.0f}});
    // A sound folder of exactly 300 characters (in two parts: a name has at most 255).
    const std::size_t rest = 300 - dir_.Path().size() - 2;
    const std::string folder =
        dir_.Path() + "/" + std::string(rest / 2, 'a') + "/" + std::string(rest - rest / 2, 'b');
    ASSERT_EQ(folder.size(), 300u);
    std::filesystem::create_directories(folder);
    doc.LoadSoundFrom(MakeSound(folder.substr(dir_.Path().size() + 1) + "/s.wav", 1.0));
    ASSERT_TRUE(doc.WriteEnvelopeTo(dir_.File("e.env")));
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("k.vok")));
    const std::string bytes = ReadFile(dir_.File("k.vok"));
    EXPECT_EQ(bytes, VokBytes(23.5, 0, 23.5, {{1, 0, 0.0f}, {1, 5, 1.0f}, {1, 12, 0.333f}},
                              {folder, "s.wav", dir_.Path(), "e.env"}));
    EXPECT_EQ(bytes.substr(103, 3), "\xFF\x2C\x01");
    EXPECT_EQ(bytes.substr(106, 300), folder);
}

TEST_F(VokFile_Write, HundredKeysAdd1200Bytes) {
    CVokraDoc& doc = NewDoc();
    for (int f = 0; f < 100; ++f) doc.GetKeys().SetKey(Keyframe(f * 3, 0.25f));
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("h.vok")));
    EXPECT_EQ(ReadFile(dir_.File("h.vok")).size(), 1271u);
}

// --- Reading what was written.

class VokFile_Read : public DocFixture {
protected:
    CVokraDoc& OpenBytes(const std::string& bytes) {
        WriteFile(dir_.File("in.vok"), bytes);
        CVokraDoc& doc = NewDoc();
        opened_ = doc.OnOpenDocument(dir_.File("in.vok"));
        return doc;
    }
    bool opened_ = false;
};

TEST_F(VokFile_Read, RoundTripKeepsEverythingBitForBit) {
    WriteFile(IniPath(), "[SETTINGS]\nFPS_TYPE=0\nFPS_CUSTOM=29970\n");
    CVokraDoc& doc = NewDoc();
    Keyframe key;
    for (int f = 0; f < 500; ++f) {
        key.SetFrame(f * 2);
        key.SetOpening(std::nextafter(static_cast<float>(f % 200) / 100.0f, 0.0f));
        doc.GetKeys().SetKey(key);
    }
    ASSERT_TRUE(doc.WriteEnvelopeTo(dir_.File("out.env")));
    ASSERT_TRUE(doc.OnSaveDocument(dir_.File("rt.vok")));
    const Keys keys = KeysOf(doc);

    CVokraDoc other;
    other.OnNewDocument();
    ASSERT_TRUE(other.OnOpenDocument(dir_.File("rt.vok")));
    EXPECT_EQ(other.GetFrameRate(), 29.97);
    EXPECT_EQ(other.GetFpsPreset(), 0);
    EXPECT_EQ(other.GetCustomFps(), 29.97);
    const Keys back = KeysOf(other);
    ASSERT_EQ(back.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(back[i].first, keys[i].first);
        ASSERT_EQ(std::memcmp(&back[i].second, &keys[i].second, 4), 0) << i;
    }
    EXPECT_EQ(other.GetEnvName(), "out.env");
    EXPECT_EQ(other.GetEnvDir(), dir_.Path());
    ASSERT_TRUE(other.OnSaveDocument(dir_.File("rt2.vok")));
    EXPECT_EQ(ReadFile(dir_.File("rt.vok")), ReadFile(dir_.File("rt2.vok")));
}

TEST_F(VokFile_Read, LaterRecordForAFrameWins) {
    CVokraDoc& doc = OpenBytes(VokBytes(15.0, 7, 15.0, {{1, 5, 0.5f}, {1, 2, 0.2f}, {1, 5, 0.9f}}));
    ASSERT_TRUE(opened_);
    EXPECT_EQ(KeysOf(doc), (Keys{{2, 0.2f}, {5, 0.9f}}));
}

TEST_F(VokFile_Read, RecordsGoThroughTheKeySetters) {
    CVokraDoc& doc = OpenBytes(VokBytes(15.0, 7, 15.0,
                                        {{0, 4, 0.5f},
                                         {1, -3, 0.25f},
                                         {1, 8, 3.5f},
                                         {1, 9, std::numeric_limits<float>::quiet_NaN()}}));
    ASSERT_TRUE(opened_);
    EXPECT_EQ(KeysOf(doc), (Keys{{0, 0.25f}, {4, 0.5f}, {8, 2.0f}, {9, 0.0f}}));
    EXPECT_EQ(doc.GetKeys().GetAt(1)->GetKind(), 1);
}

TEST_F(VokFile_Read, CustomRateOfAStandardPresetIsNotUsed) {
    WriteFile(IniPath(), "[SETTINGS]\nFPS_CUSTOM=12000\n");
    CVokraDoc& doc = OpenBytes(VokBytes(20.0, 4, 33.0));
    ASSERT_TRUE(opened_);
    EXPECT_EQ(doc.GetFrameRate(), 20.0);  // whatever the file says
    EXPECT_EQ(doc.GetFpsPreset(), 4);
    EXPECT_EQ(doc.GetCustomFps(), 12.0);
}

TEST_F(VokFile_Read, NegativeCountReadsNoRecords) {
    CVokraDoc& doc = OpenBytes(VokBytes(15.0, 7, 15.0, {}, {"", "", "", "e.env"}, -5));
    ASSERT_TRUE(opened_);
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetEnvName(), "e.env");
}

// --- Hostile files: the right message, a new untitled document, nothing allocated for lies.

struct HostileCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> messages;
};

class VokFile_Rejects : public VokFile_Read, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(VokFile_Rejects, WithTheMessageAndANewDocument) {
    for (const auto& m : GetParam().messages) messages_->Expect(m);
    CVokraDoc& doc = OpenBytes(GetParam().bytes);
    EXPECT_FALSE(opened_);
    EXPECT_EQ(doc.GetKeys().GetCount(), 0);
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(doc.GetFrameRate(), 15.0);
    EXPECT_FALSE(doc.IsModified());
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const std::vector<std::string> kEof = {kUnexpected};
const std::vector<std::string> kBadHeader = {kNotVokra, kFailedToOpen};

std::string WithHugeString() {
    std::string b = VokBytes();
    b.resize(b.size() - 4);
    return b + "\xFF\xFF\xFF" + Le32(0xFFFFFFF0u) + "abc";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VokFile_Rejects,
    ::testing::Values(
        HostileCase{"header_in_other_case",
                    VokBytes(15, 7, 15, {}, {"", "", "", ""}, -999,
                             "VOKRA version 1 Copyright 1998 Quorvendale"),
                    kBadHeader},
        HostileCase{"another_program", std::string(200, 'x'), kBadHeader},
        HostileCase{"one_byte", "\x2A", kEof}, HostileCase{"header_only", Str(kHeader), kEof},
        HostileCase{"key_count_beyond_the_file", VokBytes(15, 7, 15, {{1, 1, 0.5f}}, {}, 2), kEof},
        HostileCase{"huge_key_count", VokBytes(15, 7, 15, {}, {"", "", "", ""}, 0x7FFFFFFF), kEof},
        HostileCase{"missing_strings", VokBytes(15, 7, 15, {}, {"", ""}), kEof},
        HostileCase{"string_longer_than_the_file", WithHugeString(), kEof},
        HostileCase{"rate_not_a_number", VokBytes(kNaN), kEof},
        HostileCase{"rate_infinite", VokBytes(kInf), kEof},
        HostileCase{"rate_zero", VokBytes(0.0), kEof},
        HostileCase{"rate_negative", VokBytes(-15.0), kEof},
        HostileCase{"rate_below_one", VokBytes(0.999), kEof},
        HostileCase{"rate_above_hundred", VokBytes(100.001), kEof},
        HostileCase{"preset_negative", VokBytes(15, -1), kEof},
        HostileCase{"preset_twelve", VokBytes(15, 12), kEof},
        HostileCase{"custom_preset_with_nan_custom_rate", VokBytes(15, 0, kNaN), kEof},
        HostileCase{"custom_preset_with_zero_custom_rate", VokBytes(15, 0, 0.0), kEof}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VokFile_Read, RangeLimitsAreAccepted) {
    for (double rate : {1.0, 100.0}) {
        CVokraDoc& doc = OpenBytes(VokBytes(rate, 0, rate));
        EXPECT_TRUE(opened_) << rate;
        EXPECT_EQ(doc.GetFrameRate(), rate);
    }
}

TEST_F(VokFile_Read, EveryTruncationIsAnUnexpectedFormat) {
    const std::string full =
        VokBytes(24.0, 8, 15.0, {{1, 1, 0.5f}, {1, 3, 0.7f}}, {"/snd", "a.wav", "/env", "b.env"});
    messages_->AllowAny();
    for (std::size_t n = 1; n < full.size(); ++n) {
        const std::size_t before = messages_->Shown().size();
        OpenBytes(full.substr(0, n));
        ASSERT_FALSE(opened_) << n;
        ASSERT_EQ(messages_->Shown().size(), before + 1) << n;
        ASSERT_EQ(messages_->Shown().back().text, kUnexpected) << n;
    }
    OpenBytes(full);
    EXPECT_TRUE(opened_);
}

TEST_F(VokFile_Read, TrailingBytesAreIgnored) {
    CVokraDoc& doc = OpenBytes(VokBytes(15, 7, 15, {{1, 2, 0.5f}}) + "extra");
    EXPECT_TRUE(opened_);
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
}

}  // namespace
}  // namespace vokra::test

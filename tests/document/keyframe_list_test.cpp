#include "document/keyframe_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace vokra {
namespace {

using Keys = std::vector<std::pair<int, float>>;

void Fill(KeyframeList& list, const Keys& keys) {
    for (const auto& [frame, opening] : keys) list.SetKey(Keyframe(frame, opening));
}

Keys Contents(const KeyframeList& list) {
    Keys out;
    for (int i = 0; i < list.GetCount(); ++i) {
        out.emplace_back(list.GetAt(i)->GetFrame(), list.GetAt(i)->GetOpening());
    }
    return out;
}

// --- What a key stores for what it is given.

struct SetterCase {
    const char* name;
    std::int32_t kind, frame;
    float opening;
    std::int32_t wantKind, wantFrame;
    float wantOpening;
};

class Keyframe_Setters : public ::testing::TestWithParam<SetterCase> {};

TEST_P(Keyframe_Setters, StoreValidValues) {
    const SetterCase& c = GetParam();
    Keyframe key;
    key.SetKind(c.kind);
    key.SetFrame(c.frame);
    key.SetOpening(c.opening);
    EXPECT_EQ(key.GetKind(), c.wantKind);
    EXPECT_EQ(key.GetFrame(), c.wantFrame);
    EXPECT_EQ(key.GetOpening(), c.wantOpening);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, Keyframe_Setters,
    ::testing::Values(SetterCase{"plain", 1, 12, 0.75f, 1, 12, 0.75f},
                      SetterCase{"negative_frame", 1, -4, 0.5f, 1, 0, 0.5f},
                      SetterCase{"opening_above_two", 1, 3, 2.5f, 1, 3, 2.0f},
                      SetterCase{"opening_exactly_two", 1, 3, 2.0f, 1, 3, 2.0f},
                      SetterCase{"opening_below_zero", 1, 3, -0.1f, 1, 3, 0.0f},
                      SetterCase{"opening_nan", 1, 3, kNaN, 1, 3, 0.0f},
                      SetterCase{"opening_infinite", 1, 3, kInf, 1, 3, 2.0f},
                      SetterCase{"opening_minus_infinite", 1, 3, -kInf, 1, 3, 0.0f},
                      SetterCase{"kind_zero", 0, 3, 0.5f, 1, 3, 0.5f},
                      SetterCase{"kind_seven", 7, 3, 0.5f, 1, 3, 0.5f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Keyframe_Setters, NewKeyIsKindOneFrameZeroClosed) {
    Keyframe key;
    EXPECT_EQ(key.GetKind(), 1);
    EXPECT_EQ(key.GetFrame(), 0);
    EXPECT_EQ(key.GetOpening(), 0.0f);
}

// --- Interpolation.

struct OpeningCase {
    const char* name;
    Keys keys;
    double position;
    double want;
};

class KeyframeList_OpeningAt : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(KeyframeList_OpeningAt, Interpolates) {
    const OpeningCase& c = GetParam();
    KeyframeList list;
    Fill(list, c.keys);
    EXPECT_NEAR(list.GetOpeningAt(c.position), c.want, 1e-6);
}

const Keys kOneKey = {{10, 0.8f}};
const Keys kTwoKeys = {{2, 0.2f}, {4, 0.6f}};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyframeList_OpeningAt,
    ::testing::Values(OpeningCase{"empty_list", {}, 3.0, 0.0},
                      OpeningCase{"ramp_from_frame_zero", kOneKey, 5.0, 0.4},
                      OpeningCase{"at_the_key", kOneKey, 10.0, 0.8},
                      OpeningCase{"after_the_last_key_holds", kOneKey, 25.0, 0.8},
                      OpeningCase{"fraction_after_last_key", kOneKey, 10.5, 0.8},
                      OpeningCase{"before_the_timeline", kOneKey, -0.5, 0.0},
                      OpeningCase{"not_a_number", kOneKey, std::nan(""), 0.0},
                      OpeningCase{"far_beyond_any_frame", kOneKey, 1e12, 0.8},
                      OpeningCase{"between_keys", kTwoKeys, 3.0, 0.4},
                      OpeningCase{"fraction_past_a_key", kTwoKeys, 2.5, 0.3},
                      OpeningCase{"ramp_before_first_of_two", kTwoKeys, 1.0, 0.1},
                      OpeningCase{"fraction_before_first_key", kTwoKeys, 1.5, 0.15},
                      OpeningCase{"key_at_frame_zero", {{0, 1.0f}, {10, 0.0f}}, 0.0, 1.0},
                      OpeningCase{"fraction_in_frame_zero", {{0, 1.0f}, {10, 0.0f}}, 0.5, 0.95}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Order, overwrite, removal.

TEST(KeyframeList_Order, EmptyListHasNothing) {
    KeyframeList list;
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetLastFrame(), -1);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.FindAtOrAfter(0), nullptr);
}

TEST(KeyframeList_Order, KeysComeOutInFrameOrder) {
    KeyframeList list;
    Fill(list, {{5, 0.5f}, {1, 0.1f}, {3, 0.3f}});
    EXPECT_EQ(Contents(list), (Keys{{1, 0.1f}, {3, 0.3f}, {5, 0.5f}}));
    EXPECT_EQ(list.GetLastFrame(), 5);
    EXPECT_EQ(list.GetAt(3), nullptr);
}

TEST(KeyframeList_Order, SettingAnExistingFrameReplacesItsOpening) {
    KeyframeList list;
    Fill(list, {{1, 0.1f}, {3, 0.3f}});
    list.SetKey(Keyframe(3, 0.9f));
    EXPECT_EQ(Contents(list), (Keys{{1, 0.1f}, {3, 0.9f}}));
}

TEST(KeyframeList_Order, CallerKeepsItsKey) {
    KeyframeList list;
    Keyframe key(4, 0.4f);
    list.SetKey(key);
    key.SetOpening(1.0f);  // reused for the next call, as AutoKey does
    key.SetFrame(5);
    list.SetKey(key);
    EXPECT_EQ(Contents(list), (Keys{{4, 0.4f}, {5, 1.0f}}));
}

struct FindCase {
    const char* name;
    int frame;
    bool found;
    int index;
    int atOrAfter;  // frame of FindAtOrAfter, -1 for none
};

class KeyframeList_Find : public ::testing::TestWithParam<FindCase> {};

TEST_P(KeyframeList_Find, ReportsIndexOrInsertionPoint) {
    const FindCase& c = GetParam();
    KeyframeList list;
    Fill(list, {{2, 0.2f}, {4, 0.4f}, {8, 0.8f}});
    bool found = !c.found;
    std::int32_t index = -99;
    list.Find(c.frame, found, index);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(index, c.index);
    const Keyframe* key = list.FindAtOrAfter(c.frame);
    EXPECT_EQ(key ? key->GetFrame() : -1, c.atOrAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyframeList_Find,
    ::testing::Values(FindCase{"before_all", 0, false, 0, 2}, FindCase{"first", 2, true, 0, 2},
                      FindCase{"gap", 3, false, 1, 4}, FindCase{"middle", 4, true, 1, 4},
                      FindCase{"last", 8, true, 2, 8}, FindCase{"after_all", 9, false, 3, -1},
                      FindCase{"negative", -5, false, 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyframeList_Remove, MiddleKeyLeavesTheOthersInOrder) {
    KeyframeList list;
    Fill(list, {{1, 0.1f}, {2, 0.2f}, {3, 0.3f}});
    list.RemoveKey(2);
    EXPECT_EQ(Contents(list), (Keys{{1, 0.1f}, {3, 0.3f}}));
}

TEST(KeyframeList_Remove, FrameWithoutKeyChangesNothing) {
    KeyframeList list;
    Fill(list, {{1, 0.1f}, {3, 0.3f}});
    list.RemoveKey(2);
    list.RemoveKey(-1);
    list.RemoveKey(99);
    EXPECT_EQ(Contents(list), (Keys{{1, 0.1f}, {3, 0.3f}}));
}

struct RangeCase {
    const char* name;
    int first, last;
    int removed;
    Keys left;
};

class KeyframeList_RemoveRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(KeyframeList_RemoveRange, RemovesBothEndsIncluded) {
    const RangeCase& c = GetParam();
    KeyframeList list;
    Fill(list, {{2, 0.2f}, {4, 0.4f}, {6, 0.6f}, {8, 0.8f}});
    EXPECT_EQ(list.RemoveRange(c.first, c.last), c.removed);
    EXPECT_EQ(Contents(list), c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyframeList_RemoveRange,
    ::testing::Values(RangeCase{"ends_on_keys", 4, 6, 2, {{2, 0.2f}, {8, 0.8f}}},
                      RangeCase{"ends_between_keys", 3, 7, 2, {{2, 0.2f}, {8, 0.8f}}},
                      RangeCase{"single_key", 8, 8, 1, {{2, 0.2f}, {4, 0.4f}, {6, 0.6f}}},
                      RangeCase{
                          "no_key_inside", 5, 5, 0, {{2, 0.2f}, {4, 0.4f}, {6, 0.6f}, {8, 0.8f}}},
                      RangeCase{"reversed", 8, 2, 0, {{2, 0.2f}, {4, 0.4f}, {6, 0.6f}, {8, 0.8f}}},
                      RangeCase{"everything", 0, 2147483647, 4, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyframeList_Growth, ArrayGrowsByThousandSlotsAndKeepsEveryKey) {
    KeyframeList list;
    for (int f = 0; f < 1000; ++f) list.SetKey(Keyframe(f, (f % 200) / 100.0f));
    EXPECT_EQ(list.GetCapacity(), 1000);
    list.SetKey(Keyframe(5000, 1.5f));  // the 1001st distinct key
    EXPECT_EQ(list.GetCapacity(), 2000);
    ASSERT_EQ(list.GetCount(), 1001);
    for (int f = 0; f < 1000; ++f) {
        ASSERT_EQ(list.GetAt(f)->GetFrame(), f);
        ASSERT_EQ(list.GetAt(f)->GetOpening(), (f % 200) / 100.0f);
    }
    EXPECT_EQ(list.GetLastFrame(), 5000);
}

TEST(KeyframeList_Growth, ReserveRoundsUpToTheStep) {
    KeyframeList list;
    list.Reserve(1500);
    EXPECT_EQ(list.GetCapacity(), 2000);
    for (int f = 0; f < 2001; ++f) list.SetKey(Keyframe(2000 - f, 0.5f));  // descending
    EXPECT_EQ(list.GetCapacity(), 3000);
    EXPECT_EQ(list.GetAt(0)->GetFrame(), 0);
    EXPECT_EQ(list.GetCount(), 2001);
    EXPECT_EQ(list.GetLastFrame(), 2000);
    list.Reserve(10);  // never shrinks
    EXPECT_EQ(list.GetCapacity(), 3000);
}

TEST(KeyframeList_Growth, RemoveAllReleasesAndTheNextKeyAllocatesAgain) {
    KeyframeList list;
    Fill(list, {{1, 0.1f}, {2, 0.2f}});
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCapacity(), 0);
    list.SetKey(Keyframe(7, 0.7f));
    EXPECT_EQ(Contents(list), (Keys{{7, 0.7f}}));
}

}  // namespace
}  // namespace vokra

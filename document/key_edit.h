#pragma once
// One change to the keys as the history keeps it: the frames it covered and the keys they held
// before and after, so taking it back or doing it again rewrites just that stretch. A change of
// frame rate carries the rate and preset on both sides as well. KeyEditSink is where the document
// sends each finished change (the application's undo history); without one nothing is recorded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/keyframe.h"
#include "document/script_record.h"
#include "document/shape_track.h"

namespace vokra {

// No single edit may create more keys than this. The longest timeline a loadable sound gives is
// 100,000 frames (1,000 s at 4 kHz, keyed at 100 frames per second); ten times that is a 12 MB
// document and well under a second of work, while a range reaching a stray key at frame
// 2,000,000,000 would mean gigabytes and minutes with the window frozen.
constexpr std::int64_t kMaxKeysPerEdit = 1'000'000;

// "<what> would create N keys; at most 1,000,000 can be made at once."
std::string TooManyKeysMessage(const std::string& what, std::int64_t count);
// 1234567 as "1,234,567".
std::string GroupedNumber(std::int64_t value);

struct KeyEdit {
    std::string name;  // shown after "Undo " / "Redo "
    std::int32_t first = 0;
    std::int32_t last = -1;
    std::vector<Keyframe> before;
    std::vector<Keyframe> after;
    bool rateChange = false;
    double rateBefore = 0.0;
    double rateAfter = 0.0;
    std::int32_t presetBefore = 0;
    std::int32_t presetAfter = 0;
    // An edit of the mouth shapes (alone or with the keys) holds the shapes of its frames too;
    // an edit of the keys alone leaves the shapes out and never touches them.
    bool shapeChange = false;
    std::vector<ShapeEntry> shapesBefore;
    std::vector<ShapeEntry> shapesAfter;
    double customBefore = 0.0;  // the custom rate, which a preset change leaves as it was
    double customAfter = 0.0;
    // The rate new documents start with, as the settings held it (preset, custom x 1000).
    std::int32_t settingPresetBefore = 0, settingPresetAfter = 0;
    std::int32_t settingCustomBefore = 0, settingCustomAfter = 0;
    // Guess Shapes from Script changes the document's script and its placed words in the same
    // step as the shapes it gives.
    bool scriptChange = false;
    DocumentScript scriptBefore, scriptAfter;
    std::vector<ScriptWordPlace> wordsBefore, wordsAfter;

    // True when the keys after are the keys before (and the rates too): no edit at all. Whatever
    // else an edit comes to carry must be compared here as well.
    bool ChangesNothing() const;

    // What the edit holds in memory, for the history's budget.
    std::size_t Bytes() const {
        return sizeof(KeyEdit) + name.size() + (before.size() + after.size()) * sizeof(Keyframe) +
               (shapesBefore.size() + shapesAfter.size()) * sizeof(ShapeEntry) +
               scriptBefore.text.size() + scriptAfter.text.size() +
               (wordsBefore.size() + wordsAfter.size()) * sizeof(ScriptWordPlace);
    }
};

class KeyEditSink {
public:
    virtual ~KeyEditSink() = default;
    // A finished edit, already applied to the document.
    virtual void Record(KeyEdit&& edit) = 0;
    // The document's keys were replaced wholesale (New, Open, a sound loaded): history ends here.
    virtual void Clear() = 0;
};

}  // namespace vokra

namespace vokra {

class KeyframeList;

// Every key moved to the frame nearest its old time at the new rate: round(frame x new / old),
// halves away from zero. Where several keys land on one frame the largest opening stays.
struct RetimeResult {
    bool ok = true;             // false: a key would land past the last possible frame
    std::int32_t offender = 0;  // the old frame of that key
    std::int32_t merged = 0;    // keys that gave way to another on the same frame
    std::vector<Keyframe> keys;
};
RetimeResult RetimeKeys(const KeyframeList& keys, double oldRate, double newRate);

// The shapes at a new frame rate, kept in time: each new frame takes the shape of the old frame
// its start falls in, over the stretches of consecutive old frames that have shapes. Empty (with
// `ok` false) when the result would pass the last possible frame or hold more shapes than a
// document file may (kMaxSectionShapeFrames).
struct RetimeShapesResult {
    bool ok = true;
    std::vector<ShapeEntry> shapes;
};
RetimeShapesResult RetimeShapes(const ShapeTrack& track, double oldRate, double newRate);

}  // namespace vokra

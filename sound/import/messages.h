#pragma once
// The import's words for the user: a recording's length against the limit, a file that ends
// before its header says, a write that failed, what the loader works on.
#include <cstdint>
#include <string>

#include "sound/import/rate_rule.h"
#include "sound/import/sound_length.h"

namespace vokra {

// "voice.flac ends after 2.1 s of the 5.4 s its header promises." (empty unless EndsEarly).
std::string EndsEarlyNotice(const std::string& name, const SoundFileInfo& info);
// The refusal of a recording longer than any loadable rate holds: its length and the limit.
std::string TooLongForImport(const std::string& name, const SoundFileInfo& info);
// The refusal of a recording too long at the rate the user chose: its length, the samples it
// would hold at that rate and the limit.
std::string TooLongAtChosenRate(const std::string& name, const SoundFileInfo& info,
                                const RatePlan& plan);
// Seconds with as many decimals (1 to 6) as it takes for the text to differ from `other`
// ("500.000125" against 500, "2.1" against 5.4).
std::string SecondsApartFrom(double seconds, double other);
// "Could not write file PATH", and the reason on a line of its own when there is one.
std::string CouldNotWriteMessage(const std::string& path, const std::string& reason);
// What the loader works on, for messages.
std::string LoadableSoundSummary();

}  // namespace vokra

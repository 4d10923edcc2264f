#pragma once
// The name of a recording's converted copy, and a free one claimed for it: a copy never takes the
// name of a file it did not make, and two runs at once never share one name.
#include <optional>
#include <string>

namespace vokra {

// "<stem>-vokra.wav" beside the source ("/a/voice.flac" gives "/a/voice-vokra.wav").
std::string ConvertedCopyPath(const std::string& source);

// Where a converted copy wanted at `wanted` ("dir/NAME-vokra.wav") goes: that name when it is free
// or already holds exactly `bytes`, else the first of "dir/NAME-vokra-2.wav", "-3", ... that is.
// `reuse` says the file is there with these bytes already. Nothing when no name is free.
std::optional<std::string> FreeCopyPath(const std::string& wanted, const std::string& bytes,
                                        bool& reuse);

// Writes `bytes` under the first name FreeCopyPath gives. The name is claimed in one step when the
// complete copy is linked in, so a name another run takes between the look and the claim moves
// this one on to the next. The copy's path (`reuse`: it held these bytes already), or nothing
// with the message that says why in `error`.
std::optional<std::string> ClaimConvertedCopy(const std::string& wanted, const std::string& bytes,
                                              bool& reuse, std::string& error);

}  // namespace vokra

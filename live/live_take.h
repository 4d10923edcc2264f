#pragma once
// A take: the live sound, its keys (by AutoKey's rule) and the mouths shown for it, kept as a
// Vokra document when the run ends, so the performance can be corrected and exported like any
// other line. The sound is written beside the document under a free name ("<stem>-take.wav",
// "-take-2" ...; never over a file the take did not make), the document last, whole or not at all.
#include <memory>
#include <string>

#include "live/live_sink.h"

namespace vokra {

// A take to `vokPath`; `inputPath` (the file played, or empty) may not be it. Null with a
// reason when the path cannot be a take.
std::unique_ptr<LiveSink> MakeTakeSink(const std::string& vokPath, const std::string& inputPath,
                                       std::string& error);

}  // namespace vokra

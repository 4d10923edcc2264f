#pragma once
// The sinks that talk to avatar programs: VMC over OSC/UDP and VTube Studio's plugin API.
#include <memory>
#include <string>

#include "live/live_sink.h"
#include "live/live_vrm_map.h"

namespace vokra {

// "host:port", ":port", "host" or empty, the defaults filling what is left out; false when the
// port is not a number from 1 to 65535.
bool SplitHostPort(const std::string& text, const std::string& defaultHost, int defaultPort,
                   std::string& host, int& port);

// A VMC receiver at `target` (default 127.0.0.1:39540), sent VRM 0's vowel names or VRM 1's.
std::unique_ptr<LiveSink> MakeVmcSink(const std::string& target, const LiveVrmMap& map, bool vrm1,
                                      std::string& error);

}  // namespace vokra

#pragma once
// VTube Studio's public plugin API over a WebSocket: the plugin asks for a token once (the user
// allows it in VTube Studio), keeps it in the settings file and authenticates with it on every
// connection; a token refused is asked for again. Each frame sets MouthOpen and MouthSmile with
// the face found, so a performer with only a microphone never gets the "tracking lost" pose.
// The talk runs on a thread of its own; a VTube Studio that is not there or restarts is tried
// again after a growing pause, and the run never waits for it.
#include <functional>
#include <memory>
#include <string>

#include "live/live_sink.h"
#include "live/live_vrm_map.h"

namespace vokra {

struct VtsOptions {
    std::string url;           // ws://host:port[/path]; empty: ws://localhost:8001
    std::string settingsPath;  // the INI file the token is kept in
    std::string pluginName = "Vokra";
    std::string pluginDeveloper = "Vokra";
    // Told of status changes, from the talk's thread.
    std::function<void(const std::string&)> log;
    int firstRetryMs = 500;
    int lastRetryMs = 8000;
};

// The settings file of the window (VOKRA_INI, else the XDG config folder's vokra/vokra.INI).
std::string DefaultLiveSettingsPath();

std::unique_ptr<LiveSink> MakeVtsSink(const VtsOptions& options, const LiveVrmMap& map,
                                      std::string& error);

}  // namespace vokra

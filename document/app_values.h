#pragma once
// Application-wide values that several parts of the program share.
#include <cstdint>
#include <string>

namespace vokra {

extern std::string g_currentDir;    // last folder in which a document was opened or saved
extern std::int32_t g_showSeconds;  // 1: the waveform pane's ruler is in seconds
extern std::int32_t g_appReady;     // 1 once start-up has finished

}  // namespace vokra

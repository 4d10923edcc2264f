#include "document/app_values.h"

namespace vokra {
std::string g_currentDir;
std::int32_t g_showSeconds = 0;
std::int32_t g_appReady = 0;
}  // namespace vokra

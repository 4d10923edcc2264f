#pragma once
// The envelope file (*.env), the program's product: "LWEN", "1", "1", the key count, then for
// every key its opening with three decimals and "<frame> 1 0 0 0". Every line ends with "\r\n",
// and numbers never depend on the locale.
#include <ostream>

#include "document/keyframe_list.h"

namespace vokra {

// Writes every key in frame order; false when the stream reports a failure.
bool WriteEnvelope(const KeyframeList& keys, std::ostream& out);

}  // namespace vokra

#pragma once
// Forwards to the helper's home in platform/; it goes when its last users include that instead.
#include "platform/trunc_int.h"

#pragma once
// What the performer chooses about live lip sync, with the ranges each setting takes.
#include <cstdint>

namespace vokra {

struct LiveSettings {
    static constexpr int kMaxLookAheadMs = 120;
    static constexpr int kMaxHoldMs = 200;
    // How far past a moment the sound is heard before its mouth is chosen: more is surer and
    // later. Counted past the 5 ms the analysis frame always needs.
    int lookAheadMs = 40;
    // The least time a mouth is shown before another replaces it.
    int holdMs = 80;
    // The noise gate: 0 opens only for a loud voice far over the floor, 1 for a whisper just
    // over it.
    double sensitivity = 0.5;
    // How long one mouth's weight takes to pass to the next.
    int fadeMs = 40;
    bool operator==(const LiveSettings&) const = default;
};

// The settings brought into their ranges.
LiveSettings ClampedLiveSettings(LiveSettings s);

}  // namespace vokra

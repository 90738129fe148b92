#pragma once
// Paces Present to the display refresh the way a presentation interval asks:
// D3DPRESENT_INTERVAL_DEFAULT and _ONE let at most one frame through per
// refresh period (sleeping, not spinning, so an idle-driven render loop does
// not burn a core); D3DPRESENT_INTERVAL_IMMEDIATE never waits.

#include <chrono>

#include "d3d9/d3d9types.h"

namespace wbx {

class PresentPacer {
public:
    using Clock = std::chrono::steady_clock;

    // Waits, if the interval asks for it, until one refresh period (1 /
    // refreshHz seconds; 60 Hz when refreshHz is not positive) has passed
    // since the previous paced frame. A frame that comes late is let through at
    // once and the period counts from it.
    void Pace(UINT presentationInterval, double refreshHz);

    // Forgets the previous frame (after a Reset the next frame goes at once).
    void Forget() { hasPrevious_ = false; }

private:
    Clock::time_point previous_{};
    bool hasPrevious_ = false;
};

}  // namespace wbx

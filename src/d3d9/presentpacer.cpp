#include "presentpacer.h"

#include <thread>

namespace wbx {

void PresentPacer::Pace(UINT presentationInterval, double refreshHz) {
    if (presentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE) {
        hasPrevious_ = false;
        return;
    }
    if (!(refreshHz > 0.0)) refreshHz = 60.0;
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / refreshHz));
    const Clock::time_point now = Clock::now();
    if (hasPrevious_ && now < previous_ + period) {
        const Clock::time_point due = previous_ + period;
        std::this_thread::sleep_until(due);
        previous_ = due;  // the refresh the frame waited for, so rounding does not pile up
    } else {
        previous_ = now;
    }
    hasPrevious_ = true;
}

}  // namespace wbx

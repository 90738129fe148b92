#pragma once
// The device component as the viewer starts it, on a window of the caller's
// or on one in memory shared by a whole program.

#include <memory>

#include "device/korvane.h"

namespace wbx::testing {

// A component on window started as the viewer's window starts it: the stored
// DebugOption empty (no log, no halting), Loaded, then the device again at
// 640 x 480 with a depth buffer (DefaultDepthFormats, the default interval).
std::unique_ptr<TKorvane> StartViewerComponent(TKVOwnerWindow& window);

// One such component for a whole program, on an in-memory window: made at the
// first call and reused by every later one, so that each input of a fuzz
// target costs a parse, not a start-up. Every debug switch is off: a finding
// must show up as a sanitizer report or a trap, not as a log line or an
// orderly exit. Traps when no device could be made.
TKorvane& SharedDeviceComponent();

}  // namespace wbx::testing

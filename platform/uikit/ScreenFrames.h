#pragma once

#include "platform/os/RunLoop.h"

#include <cstdint>

namespace platform {

// The frames a window host puts on the glass, as the view layer's work sees
// them. A host that draws the screen into a window (the desktop host, or a
// harness drawing as one) says so for as long as it does, and tells each
// time the glass has caught up with the view tree. Work that would hold the
// main loop for a long while (the web engine's first start) waits for the
// next such frame, so that what a tap changed (a screen pushed, its loading
// view) is seen before the wait. Without a host nothing is drawn and nothing
// waits. Main thread only.
class ScreenFrames final {
public:
    // Posts the work to the main loop once the glass shows the screen as it
    // is now: after the host's next frame, or at once when no host draws.
    // Work that is waiting when the host stops drawing is posted then.
    static void afterNextFrame(Task work);

    // For the host: from the first frame it draws until it stops.
    static void setPresenting(bool presenting);
    static bool isPresenting();
    // For the host: the glass shows the view tree as it is now (a frame was
    // drawn, or nothing had changed since the last one). Posts the waiting work.
    static void frameShown();
    // How many times frameShown() was told (tests).
    static std::uint64_t shownCount();
    // How much work waits for the next frame (tests).
    static std::size_t waitingCount();
};

} // namespace platform

#pragma once

#include <functional>

namespace platform::glib {

// Drives GLib's default main context from the main run loop: its descriptors
// become run-loop sources, its next time-out a timer on the real clock (GLib
// keeps real time even when the run loop's clock is a manual one), and the
// context is turned before every wait. Called on the main thread; repeated
// calls do nothing.
void attachToMainLoop();

// Turns only GLib's context, on the calling (main) thread, until done()
// holds or the time (real seconds) has passed. Answers done()'s last value.
// The run loop's own tasks and timers wait meanwhile.
bool iterateUntil(const std::function<bool()>& done, double seconds);

} // namespace platform::glib

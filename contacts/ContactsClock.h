#pragma once

#include <functional>

namespace contacts {

// Where the time of day comes from: seconds since 1970.
using WallClockSource = std::function<double()>;

// Seconds since 1970 as the address book's freshness rule reads them: the
// system's wall clock as it reads now (put back, it is followed back; no
// offset is kept), moved on by whatever the main loop's manual clocks have
// been advanced (tests pass seven days in an instant; the program's loop runs
// on the steady clock, which adds nothing). Main thread.
double wallClockNow();

// Reads the time of day from this source instead of the system clock; an
// empty one goes back to the system clock. For tests that set the phone's
// clock.
void setWallClockSource(WallClockSource source);

} // namespace contacts

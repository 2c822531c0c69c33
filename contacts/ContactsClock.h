#pragma once

namespace contacts {

// Seconds since 1970 as the address book's freshness rule reads them: the
// wall clock, moved on by whatever the main loop's manual clock has been
// advanced (tests pass seven days in an instant; the program's loop runs on
// the steady clock, which adds nothing).
double wallClockNow();

} // namespace contacts

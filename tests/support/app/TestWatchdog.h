#pragma once

namespace testsupport {

// Fails a test that runs longer than a limit (60 s, 180 s under the thread
// sanitizer, or the seconds in ORB_TEST_WATCHDOG_SECONDS): says which test
// it was, prints the main thread's stack and ends the program, rather than
// leaving ctest to kill a silent process minutes later. Installed once per program (the application
// harness does it); later calls do nothing.
void installTestWatchdog();

// Lets the running test take this many seconds more than the limit, for a
// test whose own bounded waits, each allowed to run out without failing it,
// go past the limit on a loaded machine. Installs the watchdog when it is not.
void extendTestWatchdog(double seconds);

} // namespace testsupport

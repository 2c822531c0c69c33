#include "contacts/ContactsClock.h"

#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"

#include <memory>

namespace contacts {

namespace {

    struct ClockState {
        WallClockSource source;
        // The main loop's manual clock last read, what it read then, and
        // what the manual clocks before it had run: a new manual clock (a
        // new run of the program in the tests, starting from zero) adds its
        // time to theirs instead of starting the time over.
        std::weak_ptr<const platform::Clock> loopClock;
        double loopReading = 0;
        double loopBase = 0;
    };

    ClockState& state()
    {
        static ClockState clockState;
        return clockState;
    }

} // namespace

void setWallClockSource(WallClockSource source) { state().source = std::move(source); }

double wallClockNow()
{
    ClockState& s = state();
    // The time of day as the phone has it, read afresh every time: when the
    // clock is put back, the book's time goes back with it (a download
    // stamped "later" then reads as one from the future, which is stale).
    const double wall = s.source ? s.source() : platform::Date::now().seconds;
    const auto& clock = platform::RunLoop::main().clock();
    if (clock && clock->isManual()) {
        const double reading = clock->now();
        if (s.loopClock.lock() != clock) {
            s.loopBase += s.loopReading;
            s.loopClock = clock;
        }
        s.loopReading = reading;
    } else {
        s.loopClock.reset();
    }
    return wall + s.loopBase + s.loopReading;
}

} // namespace contacts

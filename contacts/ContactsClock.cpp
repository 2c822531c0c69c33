#include "contacts/ContactsClock.h"

#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"

#include <algorithm>

namespace contacts {

double wallClockNow()
{
    // Never earlier than a time this process has already handed out: a
    // manual clock starts again from zero when the loop gets a new one, and
    // a download stamped a moment ago must not read as one from the future.
    // A step back is taken up once, so later steps forward count in full.
    static double latest = 0;
    static double offset = 0;
    double now = platform::Date::now().seconds + offset;
    const auto& clock = platform::RunLoop::main().clock();
    if (clock && clock->isManual())
        now += clock->now();
    if (now < latest) {
        offset += latest - now;
        now = latest;
    }
    latest = now;
    return now;
}

} // namespace contacts

// What a thread allocates in blocks below the size that is mapped on its own,
// and frees again, goes back to the system once the program has set the
// allocator's bounds: a thread has a heap of its own, which the trim after a
// movie's decoder is let go does not reach, and which would otherwise keep
// what its thread freed when the thread ends, movie after movie. In the
// client the window's frames (blocks of several megabytes) are freed before
// the first movie, which raises the allocator's own bounds: each case frees
// such a block first, in a fresh process (the program started again for it).
//
// Built without the sanitizers, whose allocator replaces the C library's,
// so that it runs with the sanitizer build of the other tests.
#include "platform/os/AllocatorBounds.h"
#include "tests/support/ThreadHeap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// In the fresh process: the bounds set (or not), a frame freed, then a
// thread's memory freed. Exits 0 when that went back, 1 when it stayed.
[[noreturn]] void freeOnAThreadAndExit(bool bounds)
{
    if (bounds)
        platform::setAllocatorBounds();
    testsupport::freeAFrame();
    auto figures = testsupport::freeOnAThread();
    std::fprintf(stderr, "resident %zu KB before the thread, %zu KB after: %s\n", figures.before / 1024,
        figures.after / 1024, figures.returned() ? "returned" : "kept");
    std::_Exit(figures.returned() ? 0 : 1);
}

TEST(AllocatorBounds, WhatAThreadFreesGoesBackToTheSystemOnceTheBoundsAreSet)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Without the bounds the same thread's memory stays: the check can tell.
    struct Case {
        bool bounds;
        int status;
        const char* said;
    } cases[] = { { true, 0, "returned" }, { false, 1, "kept" } };
    for (const auto& c : cases)
        EXPECT_EXIT(freeOnAThreadAndExit(c.bounds), ::testing::ExitedWithCode(c.status), c.said)
            << (c.bounds ? "bounds set" : "bounds left to the allocator");
}

} // namespace

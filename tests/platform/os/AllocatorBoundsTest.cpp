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

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Anonymous resident memory of this process, in bytes: the heaps among it.
std::size_t anonymousResident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stoul(line.substr(8)) * 1024;
    }
    return 0;
}

// In the fresh process: the bounds set (or not), a frame freed, then 8 MB in
// blocks of 128 KB written and freed from the last by a thread that ends.
// Exits 0 when that went back (an eighth of it kept at most: the allocator
// keeps a little at the top of each heap), 1 when it stayed.
[[noreturn]] void freeOnAThreadAndExit(bool bounds)
{
    if (bounds)
        platform::setAllocatorBounds();
    constexpr std::size_t kFrames = 8 << 20;
    void* volatile frames = std::malloc(kFrames);
    std::memset(frames, 1, kFrames);
    std::free(frames);
    constexpr std::size_t kBlock = 128 << 10;
    constexpr std::size_t kBlocks = 64;
    const std::size_t before = anonymousResident();
    std::thread([&] {
        std::vector<void*> blocks;
        for (std::size_t i = 0; i < kBlocks; ++i) {
            blocks.push_back(std::malloc(kBlock));
            std::memset(blocks.back(), 1, kBlock);
        }
        while (!blocks.empty()) {
            std::free(blocks.back());
            blocks.pop_back();
        }
    }).join();
    const std::size_t after = anonymousResident();
    const bool returned = after <= before + kBlock * kBlocks / 8;
    std::fprintf(stderr, "resident %zu KB before the thread, %zu KB after: %s\n", before / 1024, after / 1024,
        returned ? "returned" : "kept");
    std::_Exit(returned ? 0 : 1);
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

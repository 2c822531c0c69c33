#pragma once

// Whether what a thread freed goes back to the system, for the tests of the
// allocator's bounds (platform/os/AllocatorBounds.h). Header only: one of
// them is built without the sanitizers, and without the fixtures' library.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Anonymous resident memory of this process, in bytes: the heaps among it.
inline std::size_t anonymousResident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stoul(line.substr(8)) * 1024;
    }
    return 0;
}

// Frees a block of several megabytes, as the client has freed the window's
// frames before its first movie (which raises the allocator's own bounds).
inline void freeAFrame()
{
    constexpr std::size_t kFrames = 8 << 20;
    void* volatile frames = std::malloc(kFrames);
    std::memset(frames, 1, kFrames);
    std::free(frames);
}

struct ThreadHeapFigures {
    std::size_t before = 0; // resident before the thread
    std::size_t after = 0; // once it has ended
    std::size_t used = 0; // what it allocated
    // An eighth of it kept at most: the allocator keeps a little at the top of each heap.
    bool returned() const { return after <= before + used / 8; }
};

// A thread allocates 8 MB in blocks of 128 KB, writes them, frees them from
// the last and ends.
inline ThreadHeapFigures freeOnAThread()
{
    constexpr std::size_t kBlock = 128 << 10;
    constexpr std::size_t kBlocks = 64;
    ThreadHeapFigures figures;
    figures.used = kBlock * kBlocks;
    figures.before = anonymousResident();
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
    figures.after = anonymousResident();
    return figures;
}

} // namespace testsupport

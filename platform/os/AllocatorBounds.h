#pragma once

namespace platform {

// Sets the C library allocator's two bounds for the whole process; called
// once, first thing in main(), by a program that plays movies (the client).
//
// - Blocks of a megabyte and more (a movie decoder's packet and frame
//   buffers, the window's frames) are mapped on their own and unmapped when
//   freed, rather than carved from a heap: left alone, the allocator raises
//   that bound to the largest block freed so far, and the heaps a movie's
//   threads leave behind grow with every movie played.
// - The free memory at the top of each heap goes back to the system once it
//   passes 128 KB. Each of a decoder's threads has a heap of its own, and
//   what is free at its top stays when the thread ends (the trim after a
//   close reaches the main heap only); left alone, the allocator raises this
//   bound too with the largest block freed (the window's frames, several
//   megabytes), and every heap a decoder's threads used would keep megabytes.
//
// Setting either bound ends the allocator's own raising of both, which is
// why it is done before anything is allocated in earnest. False when the C
// library's allocator did not take them (another allocator replaces it, as
// the sanitizers' does).
bool setAllocatorBounds();

// What setAllocatorBounds made of the bounds in this process, for the
// program's log: not asked for, set, or refused by the allocator in use.
enum class AllocatorBoundsState { NotAsked, Set, Refused };
AllocatorBoundsState allocatorBoundsState();

inline constexpr int kMapBlocksFrom = 1024 * 1024;
inline constexpr int kTrimHeapTopFrom = 128 * 1024;

} // namespace platform

#pragma once

// Hints to the system about how the program uses its memory.

#include <cstddef>

namespace tsunagi {

// Asks the system to back the memory of [data, data + bytes) with large pages as it is first
// touched, where it can: one fault for each 2 MiB instead of for each 4 KiB. For large arrays
// that are filled once; a hint, which changes nothing of what the memory holds.
void preferLargePages(const void* data, std::size_t bytes);

// The same for the next `bytes` the program allocates on its main thread, where they come
// from the top of the heap (see reuseFreedMemory): for a phase that builds many arrays of
// megabytes, each faulted in a page at a time otherwise.
void preferLargePagesOnHeap(std::size_t bytes);

// Keeps the memory the program frees for its own next use instead of handing it back to the
// system at once. A large book is read phase by phase, each building arrays of many megabytes
// and dropping them: handed back, every next array is faulted in afresh, page by page. Called
// once, first thing in main.
void reuseFreedMemory();

}  // namespace tsunagi

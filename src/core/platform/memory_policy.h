#pragma once
// Process-wide memory settings for a program that allocates and frees many picture-sized
// buffers, and the memory such buffers live in.
#include <cstddef>

namespace kivra {

// Picture buffers (megabytes each) always come from and go back to the system, instead of
// staying in the heap after the allocator's threshold has crept up; without this the resident
// size of a session grows far beyond what it holds.
void UseLargeBufferPolicy();

// Zeroed memory for one large picture buffer, straight from the system with its pages present:
// faulting them in one by one as a decoder first writes them costs a picture cache filling up a
// good part of its decoding time. Page-aligned; null when there is none. Freed with
// FreePictureMemory and the same size.
void* MapPictureMemory(size_t size);
void FreePictureMemory(void* memory, size_t size);

// The machine's memory in bytes; 0 when it cannot be told.
size_t PhysicalMemoryBytes();

}  // namespace kivra

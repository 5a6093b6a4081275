#pragma once
// Process-wide memory settings for a program that allocates and frees many picture-sized
// buffers.

namespace kivra {

// Picture buffers (megabytes each) always come from and go back to the system, instead of
// staying in the heap after the allocator's threshold has crept up; without this the resident
// size of a session grows far beyond what it holds.
void UseLargeBufferPolicy();

}  // namespace kivra

#include "platform/memory_policy.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace kivra {

void UseLargeBufferPolicy() {
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);
}

void* MapPictureMemory(size_t size) {
    if (size == 0 || size > SIZE_MAX / 2) {
        return nullptr;
    }
    void* const memory =
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
#ifdef MADV_POPULATE_WRITE
    // One call instead of a fault per page; a system without it faults them in as before.
    madvise(memory, size, MADV_POPULATE_WRITE);
#endif
    return memory;
}

void FreePictureMemory(void* memory, size_t size) {
    if (memory != nullptr) {
        munmap(memory, size);
    }
}

size_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0 || size_t(pages) > SIZE_MAX / size_t(pageSize)) {
        return 0;
    }
    return size_t(pages) * size_t(pageSize);
}

}  // namespace kivra

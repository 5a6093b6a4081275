#include "platform/memory_policy.h"

#include <malloc.h>

namespace kivra {

void UseLargeBufferPolicy() {
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);
}

}  // namespace kivra

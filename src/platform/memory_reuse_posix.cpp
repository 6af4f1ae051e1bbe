#include "platform/memory_reuse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void keep_freed_memory_for_reuse() {
#if defined(__GLIBC__)
  // Fixed thresholds also switch off glibc's sliding ones, which otherwise settle just above the
  // largest block freed so far and keep trimming the heap top after every combination.
  constexpr int kTrimThreshold = 256 << 20;
  constexpr int kMmapThreshold = 32 << 20;  // glibc's largest accepted value on 64-bit systems
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
  mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
#endif
}

}  // namespace platform

#include "platform/memory_reuse.h"

namespace platform {

// The Windows heap keeps freed blocks committed for reuse on its own.
void keep_freed_memory_for_reuse() {}

}  // namespace platform

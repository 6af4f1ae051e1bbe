#pragma once

namespace platform {

// Asks the C allocator to keep memory the program frees for its own reuse instead of handing it
// back to the operating system straight away. A batch frees and rebuilds a model of the same size
// for every combination; giving the pages back each time makes every combination fault them in
// again, which costs more than parsing the model. Peak memory is unchanged. Call once at start-up.
void keep_freed_memory_for_reuse();

}  // namespace platform

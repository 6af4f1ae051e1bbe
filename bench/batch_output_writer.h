#pragma once

#include <cstdint>
#include <filesystem>

#include "common/error.h"

namespace bench {

// What a synthetic output directory holds: the records a finished batch of `combinations`
// combinations left, line for line as the batch runner writes them.
struct BatchOutputOptions {
  std::uint64_t combinations = 10'000;
  std::uint64_t groups = 4;           // the combinations split evenly over them
  bool simulation = false;            // engine runs instead of variants only
  std::uint64_t fail_every = 0;       // simulation: every Nth run fails (keep-going); 0 never
  std::uint64_t shards = 1;           // jobs "native_test_shard_K_of_N" when more than one
  bool result_directories = false;    // one empty result directory per combination too
};

common::Result<void> write_batch_output(const std::filesystem::path& dir,
                                        const BatchOutputOptions& options);

}  // namespace bench
